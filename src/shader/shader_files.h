// Where the shader files live and what each is called. By default the files
// sit in a Shaders directory beside the working directory, so the program runs
// in place from a build directory one level below the project.
#pragma once

#include <array>
#include <filesystem>
#include <string>

constexpr int kBufferPasses = 4;

// The programs whose samplers read inputs: buffer passes A to D, the
// cube-map pass, then the image. A pass's id is its index among the passes.
enum ProgramId { kBufferA, kBufferB, kBufferC, kBufferD, kCubeA, kImageProgram, kSamplingPrograms };

// The passes that draw before the image: the buffers and the cube-map pass.
constexpr int kPasses = kCubeA + 1;

// The mask bit of channel, buffer pass or program n.
inline unsigned passBit(int n) {
    return 1u << n;
}

// "BufferA" to "BufferD", "CubeA", "Image".
const char *programName(int program);

// The bare name of pass x's file, BufferA.fs to BufferD.fs or CubeA.fs.
const char *bufferFileName(int x);

struct ShaderFiles {
    std::string vertex;
    std::string viewerVertex;
    std::string image;
    std::array<std::string, kPasses> buffers; // BufferA.fs to BufferD.fs, CubeA.fs
    std::string viewerFragment;
    std::string common;
    std::string sound; // Sound.fs: the sound pass
};

// The parent of the working directory, as text. The root's parent is the root.
std::string shaderRootOf(const std::filesystem::path &workingDirectory);

// The default directory: the root followed by "/Shaders", joined as text.
std::string defaultShaderDir(const std::string &shaderRoot);

// Each path is the directory followed directly by "/" and a fixed name: joined
// as text, not normalised, so "//Shaders" stays as it is.
ShaderFiles shaderFilesIn(const std::string &dir);

// Why the file at path cannot be read as text, as the system words it
// ("No such file or directory").
std::string unreadableReason(const std::string &path);

// Whether a bare file name is one of the set's eleven.
bool isShaderFileName(const std::string &name);
