// Shader file names, in the order the program forms them.
#include "shader/shader_files.h"

std::string shaderRootOf(const std::filesystem::path &workingDirectory) {
    return workingDirectory.parent_path().native();
}

ShaderFiles shaderFilesIn(const std::string &shaderRoot) {
    return ShaderFiles{
        shaderRoot + "/Shaders/VertexShader.vs", shaderRoot + "/Shaders/TextureViewer.vs.vert",
        shaderRoot + "/Shaders/Image.frag",      shaderRoot + "/Shaders/BufferA.fs",
        shaderRoot + "/Shaders/BufferB.fs",      shaderRoot + "/Shaders/BufferC.fs",
        shaderRoot + "/Shaders/BufferD.fs",      shaderRoot + "/Shaders/TextureViewer.fs.frag",
        shaderRoot + "/Shaders/common.incl",
    };
}
