// Shader file names, in the order the program forms them.
#include "shader/shader_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {
const char *const kNames[] = {
    "VertexShader.vs", "TextureViewer.vs.vert",
    "Image.frag",      "BufferA.fs",
    "BufferB.fs",      "BufferC.fs",
    "BufferD.fs",      "TextureViewer.fs.frag",
    "common.incl",
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
    };
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
