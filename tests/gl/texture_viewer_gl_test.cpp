// The texture viewer pass on a real driver: what lands where.
#include "gl_fixture.h"

#include "render/quad.h"
#include "render/render_targets.h"
#include "render/texture_viewer.h"
#include "shader/Shader.h"

#include <glm/vec2.hpp>

#include <memory>

namespace {

using gltest::GlFixture;
using gltest::kHeight;
using gltest::kWidth;
using gltest::Rgba8;
using gltest::shippedShader;
using gltest::toRgba8;
using Colour = std::array<float, 4>;

// Bottom left, bottom right, top left, top right.
using Quadrants = std::array<Colour, 4>;

constexpr int kHalfWidth = kWidth / 2;
constexpr int kHalfHeight = kHeight / 2;

int quadrantOf(int x, int y) {
    return (y >= kHalfHeight ? 2 : 0) + (x >= kHalfWidth ? 1 : 0);
}

void clearTo(const Colour &c) {
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
}

// RGB within one step of 255: the 8-bit conversion may round either way.
::testing::AssertionResult rgbNear(const Rgba8 &actual, const Rgba8 &expected) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(actual[i] - expected[i]) > 1)
            return ::testing::AssertionFailure()
                   << "got (" << actual[0] << ", " << actual[1] << ", " << actual[2]
                   << "), expected (" << expected[0] << ", " << expected[1] << ", " << expected[2]
                   << ")";
    return ::testing::AssertionSuccess();
}

class TextureViewerGl : public GlFixture {
  protected:
    void SetUp() override {
        GlFixture::SetUp();
        if (HasFatalFailure())
            return;
        const std::string common = shippedShader("common.incl");
        const std::string vertex = shippedShader("TextureViewer.vs.vert");
        const std::string fragment = shippedShader("TextureViewer.fs.frag");
        viewer_ = std::make_unique<Shader>(common.c_str(), vertex.c_str(), fragment.c_str());
        quad_ = createViewerQuad();
        targets_ = createRenderTargets(kWidth, kHeight);
    }

    void TearDown() override {
        if (viewer_) {
            deleteRenderTargets(targets_);
            deleteQuad(quad_);
        }
        GlFixture::TearDown();
    }

    // Fills a target quadrant by quadrant and leaves the default framebuffer bound.
    void fill(const RenderTarget &target, const Quadrants &colours) {
        glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
        glViewport(0, 0, kWidth, kHeight);
        glEnable(GL_SCISSOR_TEST);
        for (int q = 0; q < 4; ++q) {
            glScissor((q & 1) * kHalfWidth, (q >> 1) * kHalfHeight, kHalfWidth, kHalfHeight);
            clearTo(colours[q]);
        }
        glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    void show(const RenderTarget &target, Shader &shader,
              glm::vec2 resolution = {kWidth, kHeight}) {
        DisplayFramebufferTexture(target.colour, &shader, quad_.vao, resolution);
    }

    std::unique_ptr<Shader> viewer_;
    Quad quad_{};
    RenderTargets targets_{};
};

const Colour kBackground = {0.5f, 0.0f, 0.5f, 1.0f};

TEST_F(TextureViewerGl, ShowsTheTargetOverTheWholeWindow) {
    struct Case {
        const char *name;
        Quadrants colours;
    };
    const Case cases[] = {
        {"uniform",
         {{{0.2f, 0.4f, 0.6f, 1.0f},
           {0.2f, 0.4f, 0.6f, 1.0f},
           {0.2f, 0.4f, 0.6f, 1.0f},
           {0.2f, 0.4f, 0.6f, 1.0f}}}},
        {"black", {{{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}}}},
        // Tells a flipped or mirrored picture from the right one.
        {"quadrants", {{{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fill(targets_[0], c.colours);
        clearTo(kBackground);
        show(targets_[0], *viewer_);

        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        const std::vector<Rgba8> pixels = readPixels8(0, 0, kWidth, kHeight);
        int wrong = 0;
        for (int y = 0; y < kHeight && wrong < 5; ++y) {
            for (int x = 0; x < kWidth && wrong < 5; ++x) {
                // Texel and pixel centres coincide, but a linear filter's
                // fixed-point weights may leak a trace of the neighbour
                // across a quadrant border; those two lines are not checked.
                if (x == kHalfWidth - 1 || x == kHalfWidth || y == kHalfHeight - 1 ||
                    y == kHalfHeight)
                    continue;
                const auto check = rgbNear(pixels[static_cast<std::size_t>(y) * kWidth + x],
                                           toRgba8(c.colours[quadrantOf(x, y)]));
                if (!check) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << check.message();
                    ++wrong;
                }
            }
        }
    }
}

TEST_F(TextureViewerGl, DrawsIntoTheBoundTargetAndLeavesTheWindowAlone) {
    const Colour shown = {0.25f, 0.5f, 0.75f, 1.0f};
    fill(targets_[0], {shown, shown, shown, shown});
    fill(targets_[1], {{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}});
    clearTo(kBackground);

    glBindFramebuffer(GL_FRAMEBUFFER, targets_[1].framebuffer);
    show(targets_[0], *viewer_);

    GLint drawFramebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
    EXPECT_EQ(static_cast<GLuint>(drawFramebuffer), targets_[1].framebuffer);

    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    const std::vector<Rgba8> window = readPixels8(0, 0, kWidth, kHeight);
    std::size_t untouched = 0;
    for (const Rgba8 &p : window)
        untouched += rgbNear(p, toRgba8(kBackground)) ? 1 : 0;
    EXPECT_EQ(untouched, window.size());

    glBindFramebuffer(GL_READ_FRAMEBUFFER, targets_[1].framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    const std::vector<Colour> target = readPixelsF(0, 0, kWidth, kHeight);
    std::size_t copied = 0;
    // Float storage and texel-centre sampling: the values come through exactly.
    for (const Colour &p : target)
        copied += p == shown ? 1 : 0;
    EXPECT_EQ(copied, target.size());
}

} // namespace
