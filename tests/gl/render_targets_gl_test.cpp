// The four off-screen render targets as a real driver sees them.
#include "gl_fixture.h"

#include "app/input.h"
#include "render/render_targets.h"

#include <set>

namespace {

using gltest::capturedStdout;
using gltest::kHeight;
using gltest::kWidth;

class RenderTargetsGl : public gltest::GlFixture {
  protected:
    // What the driver reports for one target; asserts nothing by itself so
    // that a caller's SCOPED_TRACE names the target.
    static void expectTarget(const RenderTarget &target) {
        GLint value = 0;
        glBindTexture(GL_TEXTURE_2D, target.colour);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, kWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
        EXPECT_EQ(value, kHeight);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
        EXPECT_EQ(value, GL_RGBA32F);
        glBindTexture(GL_TEXTURE_2D, 0);

        glBindRenderbuffer(GL_RENDERBUFFER, target.renderbuffer);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &value);
        EXPECT_EQ(value, kWidth);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &value);
        EXPECT_EQ(value, kHeight);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &value);
        EXPECT_EQ(value, GL_DEPTH24_STENCIL8);

        glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum{GL_FRAMEBUFFER_COMPLETE});
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &value);
        EXPECT_EQ(static_cast<GLuint>(value), target.colour);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &value);
        EXPECT_EQ(static_cast<GLuint>(value), target.renderbuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
};

TEST_F(RenderTargetsGl, AreCreatedCompleteWithoutMessage) {
    RenderTargets targets{};
    const std::string output =
        capturedStdout([&] { targets = createRenderTargets(kWidth, kHeight); });
    EXPECT_EQ(output, "");

    std::set<GLuint> framebuffers;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SCOPED_TRACE("target " + std::to_string(i + 1));
        framebuffers.insert(targets[i].framebuffer);
        expectTarget(targets[i]);
    }
    EXPECT_EQ(framebuffers.size(), targets.size()) << "each target has a framebuffer of its own";
    deleteRenderTargets(targets);
}

// Size last passed to the program's resize callback.
int resizedWidth = 0;
int resizedHeight = 0;

void recordingResizeCallback(GLFWwindow *window, int width, int height) {
    framebuffer_size_callback(window, width, height);
    resizedWidth = width;
    resizedHeight = height;
}

TEST_F(RenderTargetsGl, KeepTheirSizeWhenTheWindowIsResized) {
    // The program's own callback, watched: the server knows the new size
    // before the configure event reaches GLFW and the callback runs.
    resizedWidth = resizedHeight = 0;
    glfwSetFramebufferSizeCallback(window_, recordingResizeCallback);
    const RenderTargets targets = createRenderTargets(kWidth, kHeight);

    const std::string output = capturedStdout([&] {
        glfwSetWindowSize(window_, 1000, 700);
        const double deadline = glfwGetTime() + 20.0;
        while ((resizedWidth != 1000 || resizedHeight != 700) && glfwGetTime() < deadline)
            glfwWaitEventsTimeout(0.05);
    });
    ASSERT_EQ(resizedWidth, 1000);
    ASSERT_EQ(resizedHeight, 700);
    EXPECT_EQ(output, "1000:700\n");
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 1000, 700}));

    for (std::size_t i = 0; i < targets.size(); ++i) {
        SCOPED_TRACE("target " + std::to_string(i + 1));
        expectTarget(targets[i]);
    }
    deleteRenderTargets(targets);
}

} // namespace
