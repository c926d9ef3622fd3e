// Reading a program's files and putting the sources of its two stages
// together: the vertex file; a generated header where the set declares
// nothing, common.incl, the fragment file and an appended main.
#pragma once

#include "shader/error_lines.h"

#include <glad/gl.h>

#include <array>
#include <string>
#include <vector>

struct StageSources {
    std::string vertex;
    std::string fragment;
    // Left as they are, no message is located: a source that could not be
    // read is empty, and a shipped one holds nothing the author wrote.
    StageOrigin vertexOrigin;
    StageOrigin fragmentOrigin;
    // A file that could not be read, as the window shows it; the sources are
    // then empty.
    std::vector<std::string> failure;
};

struct Composition {
    // How a generated header declares channel n: GL_TEXTURE_2D (sampler2D)
    // or GL_TEXTURE_CUBE_MAP (samplerCube).
    std::array<GLenum, 4> channels{GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D};
    // A missing vertex file reads as the shipped one.
    bool shippedFallbacks = false;
    // So does a missing fragment file: only the viewer's, whose shipped text
    // then comes after a header of its own, not common.incl. A missing image
    // is the author's to write, never the shipped one in disguise.
    bool shippedFragment = false;
};

// Reads the vertex file, the fragment file and common.incl (missing: empty),
// in that order; the first that cannot be read is reported and ends the
// reading. A stage with no #version in common.incl or its file gets the
// generated header, and common.incl a line end when it lacks one.
StageSources readStages(const std::string &commonPath, const std::string &vertexPath,
                        const std::string &fragmentPath, const Composition &composition);

// Whether the stage made of these files gets the generated header; a file
// that cannot be read counts as empty.
bool generatesHeader(const std::string &commonPath, const std::string &fragmentPath);
