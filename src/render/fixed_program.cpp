// Building a program from fixed sources.
#include "render/fixed_program.h"

namespace {

GLuint compile(GLenum type, const char *source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

} // namespace

GLuint createFixedProgram(const char *vertexSource, const char *fragmentSource) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // Still attached, so GL frees the stages together with the program.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}
