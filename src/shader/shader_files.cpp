// Shader file names, in the order the program forms them.
#include "shader/shader_files.h"

#include "shader/shipped_set.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {
const char *const kNames[] = {
    "VertexShader.vs",
    "TextureViewer.vs.vert",
    "Image.frag",
    "BufferA.fs",
    "BufferB.fs",
    "BufferC.fs",
    "BufferD.fs",
    "CubeA.fs",
    "TextureViewer.fs.frag",
    "common.incl",
    "Sound.fs",
};
constexpr int kFirstBufferName = 3;
const char *const kProgramNames[kSamplingPrograms] = {"BufferA", "BufferB", "BufferC",
                                                      "BufferD", "CubeA",   "Image"};
} // namespace

const char *programName(int program) {
    return kProgramNames[program];
}

const char *bufferFileName(int x) {
    return kNames[kFirstBufferName + x];
}

std::string shaderRootOf(const std::filesystem::path &workingDirectory) {
    return workingDirectory.parent_path().native();
}

std::string defaultShaderDir(const std::string &shaderRoot) {
    return shaderRoot + "/Shaders";
}

ShaderFiles shaderFilesIn(const std::string &dir) {
    const std::string d = dir + "/";
    return ShaderFiles{
        d + kNames[0],
        d + kNames[1],
        d + kNames[2],
        {d + bufferFileName(0), d + bufferFileName(1), d + bufferFileName(2), d + bufferFileName(3),
         d + bufferFileName(kCubeA)},
        d + kNames[8],
        d + kNames[9],
        d + kNames[10],
    };
}

std::string shippedText(const std::string &name) {
    for (std::size_t k = 0; k < kShippedFiles; ++k)
        if (name == kShippedSet[k].name)
            return {reinterpret_cast<const char *>(kShippedSet[k].bytes), kShippedSet[k].size};
    return "";
}

bool isShaderFileName(const std::string &name) {
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char *known) { return name == known; });
}

std::string unreadableReason(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error)
        return error.message();
    if (fs::is_directory(status))
        return std::strerror(EISDIR);
    if (!fs::is_regular_file(status))
        return "Not a regular file";
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::strerror(errno);
    close(file);
    return "Cannot be read";
}
