// The two full-screen quads: fixed geometry and the GL objects that hold it.
#pragma once

#include <glad/gl.h>

// Position, colour, texture coordinate per corner; texture coordinate is
// (position + 1) / 2, so (0, 0) is bottom left.
extern const float vertices[32];
// Position and texture coordinate per corner, same corners and mapping.
extern const float TVvertices[16];
// Two clockwise triangles sharing the bottom-right to top-left diagonal.
extern const unsigned int indices[6];

struct Quad {
    GLuint vao;
    GLuint vbo;
    GLuint ebo;
};

// Each leaves its vertex array and vertex buffer bound.
Quad createImageQuad();
Quad createViewerQuad();

// Vertex array first, then vertex buffer, then element buffer.
void deleteQuad(const Quad &quad);

// Draws the bound vertex array's six indices as two triangles.
void drawQuad();
