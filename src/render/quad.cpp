// Screen quad data and set-up.
#include "render/quad.h"

#include <cstddef>

const float vertices[32] = {
    // position         colour             texture coordinate
    1.0f,  1.0f,  0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, // top right
    1.0f,  -1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, // bottom right
    -1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, // bottom left
    -1.0f, 1.0f,  0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, // top left
};

const float TVvertices[16] = {
    // position   texture coordinate
    1.0f,  1.0f,  1.0f, 1.0f, // top right
    1.0f,  -1.0f, 1.0f, 0.0f, // bottom right
    -1.0f, -1.0f, 0.0f, 0.0f, // bottom left
    -1.0f, 1.0f,  0.0f, 1.0f, // top left
};

const unsigned int indices[6] = {0, 1, 3, 1, 2, 3};

namespace {

constexpr GLsizei kIndexCount = sizeof(indices) / sizeof(indices[0]);

struct Attribute {
    GLuint location;
    GLint components;
    std::size_t offset;
};

constexpr Attribute kImageAttributes[] = {
    {0, 3, 0 * sizeof(float)}, // position
    {1, 3, 3 * sizeof(float)}, // colour
    {2, 2, 6 * sizeof(float)}, // texture coordinate
};
constexpr GLsizei kImageStride = 8 * sizeof(float);

constexpr Attribute kViewerAttributes[] = {
    {0, 2, 0 * sizeof(float)}, // position
    {1, 2, 2 * sizeof(float)}, // texture coordinate
};
constexpr GLsizei kViewerStride = 4 * sizeof(float);

template <std::size_t VertexFloats, std::size_t AttributeCount>
Quad createQuad(const float (&data)[VertexFloats], const Attribute (&attributes)[AttributeCount],
                GLsizei stride) {
    Quad quad{};
    glGenVertexArrays(1, &quad.vao);
    glGenBuffers(1, &quad.vbo);
    glGenBuffers(1, &quad.ebo);
    glBindVertexArray(quad.vao);
    glBindBuffer(GL_ARRAY_BUFFER, quad.vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(data), data, GL_STREAM_DRAW);
    // Bound while the vertex array is, so the element buffer becomes part of it.
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quad.ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STREAM_DRAW);
    for (const Attribute &a : attributes) {
        glVertexAttribPointer(a.location, a.components, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void *>(a.offset));
        glEnableVertexAttribArray(a.location);
    }
    return quad;
}

} // namespace

Quad createImageQuad() {
    return createQuad(vertices, kImageAttributes, kImageStride);
}

Quad createViewerQuad() {
    return createQuad(TVvertices, kViewerAttributes, kViewerStride);
}

void deleteQuad(const Quad &quad) {
    glDeleteVertexArrays(1, &quad.vao);
    glDeleteBuffers(1, &quad.vbo);
    glDeleteBuffers(1, &quad.ebo);
}

void drawQuad() {
    glDrawElements(GL_TRIANGLES, kIndexCount, GL_UNSIGNED_INT, nullptr);
}
