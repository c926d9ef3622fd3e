// The texture viewer pass on a real driver: what lands where, and what state
// it leaves behind.
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

TEST_F(TextureViewerGl, LeavesNoProgramNoVertexArrayAndUnitZeroWithTheTexture) {
    const Colour shown = {0.25f, 0.5f, 0.75f, 1.0f};
    fill(targets_[0], {shown, shown, shown, shown});

    // State the pass must override: another program and vertex array, another
    // unit active, and the viewer's sampler pointing at a decoy on that unit.
    const std::string common = shippedShader("common.incl");
    const std::string vertex = shippedShader("VertexShader.vs");
    const std::string fragment = shippedShader("Image.frag");
    Shader other(common.c_str(), vertex.c_str(), fragment.c_str());
    const Quad otherQuad = createImageQuad();
    GLuint decoy = 0;
    const std::uint8_t magenta[4] = {255, 0, 255, 255};
    glGenTextures(1, &decoy);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, decoy);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, magenta);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    viewer_->use();
    glUniform1i(glGetUniformLocation(viewer_->programId, "fboAttachment"), 3);
    other.use();
    glBindVertexArray(otherQuad.vao);

    // The pass sets no viewport and clears nothing: only this rectangle changes.
    const Colour clear = {0.1f, 0.2f, 0.3f, 1.0f};
    clearTo(clear);
    const GLint viewport[4] = {100, 50, 200, 100};
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);

    show(targets_[0], *viewer_);

    GLint value = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), targets_[0].colour);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(value, 0);
    GLint viewportAfter[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewportAfter);
    EXPECT_EQ(std::vector<GLint>(viewportAfter, viewportAfter + 4),
              std::vector<GLint>(viewport, viewport + 4));
    GLfloat clearAfter[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearAfter);
    EXPECT_EQ(Colour({clearAfter[0], clearAfter[1], clearAfter[2], clearAfter[3]}), clear);

    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    const std::vector<Rgba8> pixels = readPixels8(0, 0, kWidth, kHeight);
    int wrong = 0;
    for (int y = 0; y < kHeight && wrong < 5; ++y) {
        for (int x = 0; x < kWidth && wrong < 5; ++x) {
            const bool inside = x >= viewport[0] && x < viewport[0] + viewport[2] &&
                                y >= viewport[1] && y < viewport[1] + viewport[3];
            const auto check = rgbNear(pixels[static_cast<std::size_t>(y) * kWidth + x],
                                       toRgba8(inside ? shown : clear));
            if (!check) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") "
                              << (inside ? "inside" : "outside") << ": " << check.message();
                ++wrong;
            }
        }
    }

    glDeleteTextures(1, &decoy);
    deleteQuad(otherQuad);
}

TEST_F(TextureViewerGl, SendsTheResolutionItIsGiven) {
    // A viewer that writes iResolution next to the sampled texel.
    const std::string common = shippedShader("common.incl");
    const std::string vertex = shippedShader("TextureViewer.vs.vert");
    const std::string fragment = writeShader("resolution.frag", R"(
in vec2 TexCoord;
uniform sampler2D fboAttachment;
void main()
{
    FragColor = vec4(iResolution, texture(fboAttachment, TexCoord).rg);
}
)");
    Shader probe(common.c_str(), vertex.c_str(), fragment.c_str());
    const Colour source = {0.5f, 0.75f, 0.0f, 1.0f};
    fill(targets_[0], {source, source, source, source});

    // Bit for bit, whatever the window's size: odd fractions and extremes too.
    const glm::vec2 resolutions[] = {
        {800.0f, 600.0f}, {1.0f, 2.0f}, {1234.5f, 0.1f}, {3.0e7f, -0.25f}};
    for (const glm::vec2 &resolution : resolutions) {
        SCOPED_TRACE(::testing::Message() << resolution.x << " x " << resolution.y);
        glBindFramebuffer(GL_FRAMEBUFFER, targets_[1].framebuffer);
        glViewport(0, 0, kWidth, kHeight);
        show(targets_[0], probe, resolution);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, targets_[1].framebuffer);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        const Colour centre = readPixelsF(kHalfWidth, kHalfHeight, 1, 1)[0];
        EXPECT_EQ(centre, Colour({resolution.x, resolution.y, source[0], source[1]}));
    }
}

} // namespace
