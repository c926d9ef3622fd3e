// How a fragment stage's source is put together from the common include and
// a fragment file, including files written around a mainImage or mainSound
// function.
#pragma once

#include <glad/gl.h>

#include <array>
#include <string>

// The cube-map pass's faces are this many texels a side.
constexpr int kCubeFaceSize = 1024;
// The face the cube-map pass draws, 0 to 5 in GL's order: set before each draw.
constexpr const char *kCubeFaceUniform = "quorlinCubeFace";

// header, then common followed directly by file. When the file defines
// mainImage and neither defines main, a main that calls mainImage with the
// stage's colour output and gl_FragCoord.xy follows, after everything the
// author wrote, so the driver numbers the author's lines as it would without
// it. The output is the first out vec4 declared at global scope, or one the
// appended code declares when there is none. A file that defines
// mainCubemap instead gets a main that calls it with the output, the texel,
// rayOri (0, 0, 0) and rayDir, the direction of that texel of the face
// kCubeFaceUniform names. A file that defines mainSound gets a main that
// writes mainSound's two samples for the fragment's sample number (see
// sound_main.h) to that output's red and green.
std::string composeFragment(const std::string &header, const std::string &common,
                            const std::string &file);

// Whether a #version directive begins one of text's lines, comments aside.
bool declaresVersion(const std::string &text);

// For a stage whose include and file declare nothing (no #version): the
// version and every uniform the program feeds, channel n declared as a
// sampler2D or, for GL_TEXTURE_CUBE_MAP, a samplerCube.
std::string generatedHeader(const std::array<GLenum, 4> &channels);
