// The two screen quads drawn by a real driver.
#include "gl_fixture.h"

#include "render/quad.h"
#include "render/render_targets.h"
#include "shader/Shader.h"

namespace {

using gltest::GlFixture;
using gltest::kHeight;
using gltest::kWidth;
using gltest::Rgba8;
using gltest::shippedShader;

class QuadGl : public GlFixture {
  protected:
    Shader build(const char *vertexFile, const std::string &fragmentText) {
        const std::string common = shippedShader("common.incl");
        const std::string vertex = shippedShader(vertexFile);
        const std::string fragment = writeShader("test.frag", fragmentText);
        return Shader(common.c_str(), vertex.c_str(), fragment.c_str());
    }
};

TEST_F(QuadGl, ImageQuadCarriesItsCornerColours) {
    Shader shader = build("VertexShader.vs", R"(
in vec3 Colour;
void main()
{
    FragColor = vec4(Colour, 1.0);
}
)");
    const Quad quad = createImageQuad();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    shader.use();
    glBindVertexArray(quad.vao);
    drawQuad();

    struct Corner {
        const char *name;
        int x;
        int y;
        Rgba8 colour;
    };
    const Corner corners[] = {
        {"top right", kWidth - 1, kHeight - 1, {255, 0, 0, 255}},
        {"bottom right", kWidth - 1, 0, {0, 255, 0, 255}},
        {"bottom left", 0, 0, {0, 0, 255, 255}},
        {"top left", 0, kHeight - 1, {255, 255, 0, 255}},
    };
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    const std::vector<Rgba8> pixels = readPixels8(0, 0, kWidth, kHeight);
    for (const Corner &corner : corners) {
        SCOPED_TRACE(corner.name);
        const Rgba8 &p = pixels[static_cast<std::size_t>(corner.y) * kWidth + corner.x];
        // A corner pixel's centre is half a pixel in from the vertex, so its
        // colour is a fraction of a step of 255 off the vertex colour, plus
        // the rounding to 8 bits: two steps hold both.
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p[i], corner.colour[i], 2) << "channel " << i;
    }
    // Every corner colour sums to at least 1, so any blend of them is far from
    // black: a black pixel is one the quad missed.
    std::size_t covered = 0;
    for (const Rgba8 &p : pixels)
        covered += p[0] + p[1] + p[2] >= 250 ? 1 : 0;
    EXPECT_EQ(covered, pixels.size());
    deleteQuad(quad);
}

TEST_F(QuadGl, EachQuadCoversItsViewportOnceWithTextureCoordinatesFromTheCorner) {
    // Additive blending counts how often each pixel is drawn (0.25 a time);
    // the texture coordinate lands in red and green.
    const char *fragment = R"(
in vec2 TexCoord;
void main()
{
    FragColor = vec4(TexCoord, 0.25, 0.0);
}
)";
    struct QuadCase {
        const char *name;
        const char *vertexFile;
        Quad (*create)();
    };
    const QuadCase quads[] = {
        {"image quad", "VertexShader.vs", createImageQuad},
        {"viewer quad", "TextureViewer.vs.vert", createViewerQuad},
    };
    const std::array<GLint, 4> viewports[] = {{0, 0, kWidth, kHeight}, {100, 50, 320, 240}};

    // A float target, so the texture coordinate comes back unrounded.
    const RenderTargets targets = createRenderTargets(kWidth, kHeight);
    glBindFramebuffer(GL_FRAMEBUFFER, targets[0].framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBlendFunc(GL_ONE, GL_ONE);

    for (const QuadCase &q : quads) {
        Shader shader = build(q.vertexFile, fragment);
        const Quad quad = q.create();
        for (const auto &vp : viewports) {
            SCOPED_TRACE(::testing::Message() << q.name << " in viewport " << vp[0] << ", " << vp[1]
                                              << ", " << vp[2] << " x " << vp[3]);
            glViewport(0, 0, kWidth, kHeight);
            glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glViewport(vp[0], vp[1], vp[2], vp[3]);
            glEnable(GL_BLEND);
            shader.use();
            glBindVertexArray(quad.vao);
            drawQuad();
            glDisable(GL_BLEND);

            const auto pixels = readPixelsF(0, 0, kWidth, kHeight);
            int wrong = 0;
            for (int y = 0; y < kHeight && wrong < 5; ++y) {
                for (int x = 0; x < kWidth && wrong < 5; ++x) {
                    const auto &p = pixels[static_cast<std::size_t>(y) * kWidth + x];
                    const bool inside =
                        x >= vp[0] && x < vp[0] + vp[2] && y >= vp[1] && y < vp[1] + vp[3];
                    const float u = inside ? (x - vp[0] + 0.5f) / vp[2] : 0.0f;
                    const float v = inside ? (y - vp[1] + 0.5f) / vp[3] : 0.0f;
                    // 1e-4 is well under the 6e-4 of half a pixel's step in
                    // u or v, and well over float interpolation error.
                    if (p[2] != (inside ? 0.25f : 0.0f) || std::abs(p[0] - u) > 1e-4f ||
                        std::abs(p[1] - v) > 1e-4f) {
                        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is (" << p[0] << ", "
                                      << p[1] << ", " << p[2] << "), expected (" << u << ", " << v
                                      << ", " << (inside ? 0.25f : 0.0f) << ")";
                        ++wrong;
                    }
                }
            }
        }
        deleteQuad(quad);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    deleteRenderTargets(targets);
}

} // namespace
