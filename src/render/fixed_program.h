// GL programs of the program's own, from fixed sources known to build.
#pragma once

#include <glad/gl.h>

// Compiles and links the two stages; no log is read. The caller deletes the
// program, which frees the stages with it.
GLuint createFixedProgram(const char *vertexSource, const char *fragmentSource);
