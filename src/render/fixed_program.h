// Programs of Quorlin's own, built from sources fixed in the code.
#pragma once

#include <glad/gl.h>

// Compiles and links the two stages. The sources are fixed and known to
// build, so no log is read.
GLuint createFixedProgram(const char *vertexSource, const char *fragmentSource);
