// Where the shader files live and what each is called. The files sit in a
// Shaders directory beside the working directory, so the program runs in place
// from a build directory one level below the project.
#pragma once

#include <filesystem>
#include <string>

struct ShaderFiles {
    std::string vertex;
    std::string viewerVertex;
    std::string image;
    std::string bufferA;
    std::string bufferB;
    std::string bufferC;
    std::string bufferD;
    std::string viewerFragment;
    std::string common;
};

// The parent of the working directory, as text. The root's parent is the root.
std::string shaderRootOf(const std::filesystem::path &workingDirectory);

// Each path is the root followed directly by a fixed suffix: joined as text,
// not normalised, so "/" gives "//Shaders/...", which the file system accepts.
ShaderFiles shaderFilesIn(const std::string &shaderRoot);
