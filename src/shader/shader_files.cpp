// Shader file names, in the order the program forms them.
#include "shader/shader_files.h"

#include <algorithm>

namespace {
const char *const kNames[] = {
    "VertexShader.vs", "TextureViewer.vs.vert",
    "Image.frag",      "BufferA.fs",
    "BufferB.fs",      "BufferC.fs",
    "BufferD.fs",      "TextureViewer.fs.frag",
    "common.incl",     "Sound.fs",
};
} // namespace

std::string shaderRootOf(const std::filesystem::path &workingDirectory) {
    return workingDirectory.parent_path().native();
}

std::string defaultShaderDir(const std::string &shaderRoot) {
    return shaderRoot + "/Shaders";
}

ShaderFiles shaderFilesIn(const std::string &dir) {
    const std::string d = dir + "/";
    return ShaderFiles{
        d + kNames[0], d + kNames[1],
        d + kNames[2], {d + kNames[3], d + kNames[4], d + kNames[5], d + kNames[6]},
        d + kNames[7], d + kNames[8],
        d + kNames[9],
    };
}

bool isShaderFileName(const std::string &name) {
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char *known) { return name == known; });
}
