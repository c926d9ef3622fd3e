// Screen quads: set-up and release call sequences, and the geometry both
// quads must have to cover the viewport with the right texture coordinates.
#include "recording_gl.h"
#include "render/quad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<unsigned char> bytesOf(const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    return {bytes, bytes + size};
}

TEST(QuadSetUp, UploadsDataAndDescribesAttributesInOrder) {
    auto setUp = [](const std::string &vertexBytes, std::vector<std::string> attributes) {
        std::vector<std::string> calls = {
            "glGenVertexArrays(1, [10])",
            "glGenBuffers(1, [20])",
            "glGenBuffers(1, [21])",
            "glBindVertexArray(10)",
            "glBindBuffer(GL_ARRAY_BUFFER, 20)",
            "glBufferData(GL_ARRAY_BUFFER, " + vertexBytes + ", data, GL_STREAM_DRAW)",
            "glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 21)",
            "glBufferData(GL_ELEMENT_ARRAY_BUFFER, 24, data, GL_STREAM_DRAW)",
        };
        calls.insert(calls.end(), attributes.begin(), attributes.end());
        return calls;
    };
    struct Case {
        const char *label;
        Quad (*create)();
        std::vector<unsigned char> vertexBytes;
        std::vector<std::string> calls;
    } cases[] = {
        {"image quad", createImageQuad, bytesOf(vertices, 128),
         setUp("128", {"glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 32, 0)",
                       "glEnableVertexAttribArray(0)",
                       "glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 32, 12)",
                       "glEnableVertexAttribArray(1)",
                       "glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 32, 24)",
                       "glEnableVertexAttribArray(2)"})},
        {"viewer quad", createViewerQuad, bytesOf(TVvertices, 64),
         setUp("64", {"glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 16, 0)",
                      "glEnableVertexAttribArray(0)",
                      "glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, 8)",
                      "glEnableVertexAttribArray(1)"})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        RecordingGl gl;
        Quad quad = c.create();
        EXPECT_EQ(gl.calls, c.calls);
        EXPECT_EQ(std::vector<GLuint>({quad.vao, quad.vbo, quad.ebo}),
                  std::vector<GLuint>({10, 20, 21}));
        EXPECT_EQ(gl.bufferBytes[20], c.vertexBytes);
        EXPECT_EQ(gl.bufferBytes[21], bytesOf(indices, 24));
        // Nothing is unbound: the quad's vertex array and buffer stay current.
        EXPECT_EQ(gl.bound(GL_VERTEX_ARRAY_BINDING), 10u);
        EXPECT_EQ(gl.bound(GL_ARRAY_BUFFER), 20u);
    }
}

TEST(QuadRelease, DeletesVertexArrayThenVertexBufferThenElementBuffer) {
    RecordingGl gl;
    deleteQuad(Quad{7, 8, 9});
    EXPECT_EQ(gl.calls,
              (std::vector<std::string>{"glDeleteVertexArrays(1, [7])", "glDeleteBuffers(1, [8])",
                                        "glDeleteBuffers(1, [9])"}));
}

struct Layout {
    const char *label;
    const float *data;
    int stride; // floats per vertex
    int texOffset;
};
const Layout kLayouts[] = {
    {"vertices", vertices, 8, 6},
    {"TVvertices", TVvertices, 4, 2},
};

TEST(QuadData, TextureCoordinateIsPositionMappedFromClipSpaceToUnitSquare) {
    for (const Layout &layout : kLayouts) {
        std::set<std::pair<float, float>> corners;
        for (int v = 0; v < 4; ++v) {
            SCOPED_TRACE(std::string(layout.label) + " vertex " + std::to_string(v));
            const float *vertex = layout.data + v * layout.stride;
            EXPECT_EQ(vertex[layout.texOffset], (vertex[0] + 1.0f) / 2.0f);
            EXPECT_EQ(vertex[layout.texOffset + 1], (vertex[1] + 1.0f) / 2.0f);
            EXPECT_EQ(std::abs(vertex[0]), 1.0f);
            EXPECT_EQ(std::abs(vertex[1]), 1.0f);
            corners.insert({vertex[0], vertex[1]});
        }
        EXPECT_EQ(corners.size(), 4u) << layout.label << " must reach all four corners";
    }
    for (int v = 0; v < 4; ++v)
        EXPECT_EQ(vertices[v * 8 + 2], 0.0f) << "z of vertex " << v;
}

TEST(QuadData, IndicesFormTwoClockwiseTrianglesSharingTheFallingDiagonal) {
    EXPECT_EQ(std::vector<unsigned>(indices, indices + 6),
              (std::vector<unsigned>{0, 1, 3, 1, 2, 3}));
    for (const Layout &layout : kLayouts) {
        auto at = [&](unsigned index) { return layout.data + index * layout.stride; };
        for (int t = 0; t < 2; ++t) {
            SCOPED_TRACE(std::string(layout.label) + " triangle " + std::to_string(t));
            const float *a = at(indices[3 * t]), *b = at(indices[3 * t + 1]),
                        *c = at(indices[3 * t + 2]);
            // Negative z of (b - a) x (c - a): clockwise with y up, as on screen.
            float cross = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
            EXPECT_LT(cross, 0.0f);
        }
        // The two triangles share exactly the bottom-right and top-left corners.
        std::set<std::pair<float, float>> shared;
        for (int i = 0; i < 3; ++i)
            for (int j = 3; j < 6; ++j)
                if (indices[i] == indices[j])
                    shared.insert({at(indices[i])[0], at(indices[i])[1]});
        EXPECT_EQ(shared, (std::set<std::pair<float, float>>{{1.0f, -1.0f}, {-1.0f, 1.0f}}));
    }
}

TEST(QuadData, CornerColoursAreRedGreenBlueYellowClockwiseFromTopRight) {
    struct Corner {
        float x, y, r, g, b;
    } corners[] = {
        {1, 1, 1, 0, 0},   // top right: red
        {1, -1, 0, 1, 0},  // bottom right: green
        {-1, -1, 0, 0, 1}, // bottom left: blue
        {-1, 1, 1, 1, 0},  // top left: yellow
    };
    for (const Corner &corner : corners) {
        SCOPED_TRACE("corner " + std::to_string(corner.x) + ", " + std::to_string(corner.y));
        int found = 0;
        for (int v = 0; v < 4; ++v) {
            const float *vertex = vertices + v * 8;
            if (vertex[0] != corner.x || vertex[1] != corner.y)
                continue;
            ++found;
            EXPECT_EQ(vertex[3], corner.r);
            EXPECT_EQ(vertex[4], corner.g);
            EXPECT_EQ(vertex[5], corner.b);
        }
        EXPECT_EQ(found, 1);
    }
}

} // namespace
