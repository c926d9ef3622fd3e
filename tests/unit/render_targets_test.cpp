// Off-screen render targets: the set-up sequence per target, completeness
// messages, the state left bound and the release order.
#include "output_capture.h"
#include "recording_gl.h"
#include "render/render_targets.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

const std::string kIncomplete = "ERROR::FRAMEBUFFER:: Framebuffer is not complete!\n";

std::vector<std::string> targetSetUp(GLuint framebuffer, GLuint texture, GLuint renderbuffer,
                                     const std::string &status) {
    const std::string fb = std::to_string(framebuffer), tex = std::to_string(texture),
                      rb = std::to_string(renderbuffer);
    return {
        "glGenFramebuffers(1, [" + fb + "])",
        "glBindFramebuffer(GL_FRAMEBUFFER, " + fb + ")",
        "glGenTextures(1, [" + tex + "])",
        "glBindTexture(GL_TEXTURE_2D, " + tex + ")",
        "glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 800, 600, 0, GL_RGBA, GL_UNSIGNED_BYTE, null)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR)",
        "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR)",
        "glGenerateMipmap(GL_TEXTURE_2D)",
        "glBindTexture(GL_TEXTURE_2D, 0)",
        "glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, " + tex +
            ", 0)",
        "glGenRenderbuffers(1, [" + rb + "])",
        "glBindRenderbuffer(GL_RENDERBUFFER, " + rb + ")",
        "glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, 800, 600)",
        "glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, " +
            rb + ")",
        "glCheckFramebufferStatus(GL_FRAMEBUFFER) -> " + status,
    };
}

TEST(RenderTargets, EachTargetIsSetUpInSeventeenStepsInCreationOrder) {
    RecordingGl gl;
    CoutCapture output;
    RenderTargets targets = createRenderTargets(800, 600);

    std::vector<std::string> expected;
    for (GLuint i = 0; i < 4; ++i) {
        std::vector<std::string> steps =
            targetSetUp(40 + i, 30 + i, 50 + i, "GL_FRAMEBUFFER_COMPLETE");
        expected.insert(expected.end(), steps.begin(), steps.end());
        EXPECT_EQ(targets[i].framebuffer, 40 + i);
        EXPECT_EQ(targets[i].colour, 30 + i);
        EXPECT_EQ(targets[i].renderbuffer, 50 + i);
    }
    EXPECT_EQ(gl.calls, expected);
    EXPECT_EQ(output.text(), "");
    // Left bound: the last target's framebuffer and renderbuffer, no texture.
    EXPECT_EQ(gl.bound(GL_FRAMEBUFFER), 43u);
    EXPECT_EQ(gl.bound(GL_RENDERBUFFER), 53u);
    EXPECT_EQ(gl.bound(GL_TEXTURE_2D), 0u);
}

TEST(RenderTargets, EachIncompleteTargetPrintsOneLineAndSetUpGoesOn) {
    const GLenum ok = GL_FRAMEBUFFER_COMPLETE;
    struct Case {
        const char *label;
        std::deque<GLenum> statuses;
        int messages;
    } cases[] = {
        {"second missing an attachment", {ok, GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT, ok, ok}, 1},
        {"first and last unsupported",
         {GL_FRAMEBUFFER_UNSUPPORTED, ok, ok, GL_FRAMEBUFFER_UNSUPPORTED},
         2},
        {"0, which GL returns on error, counts as incomplete", {ok, ok, 0, ok}, 1},
        {"all incomplete",
         {GL_FRAMEBUFFER_UNDEFINED, GL_FRAMEBUFFER_UNDEFINED, GL_FRAMEBUFFER_UNDEFINED,
          GL_FRAMEBUFFER_UNDEFINED},
         4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        RecordingGl gl;
        gl.framebufferStatus = c.statuses;
        CoutCapture output;
        createRenderTargets(800, 600);
        std::string expected;
        for (int i = 0; i < c.messages; ++i)
            expected += kIncomplete;
        EXPECT_EQ(output.text(), expected);
        EXPECT_EQ(callsNamed(gl.calls, {"glCheckFramebufferStatus"}).size(), 4u);
        EXPECT_EQ(gl.calls.size(), 4 * 17u);
    }
}

TEST(RenderTargets, ReleaseDeletesFramebuffersThenRenderbuffersThenTexturesOneAtATime) {
    RecordingGl gl;
    deleteRenderTargets({{{40, 30, 50}, {41, 31, 51}, {42, 32, 52}, {43, 33, 53}}});
    EXPECT_EQ(gl.calls, (std::vector<std::string>{
                            "glDeleteFramebuffers(1, [40])",
                            "glDeleteFramebuffers(1, [41])",
                            "glDeleteFramebuffers(1, [42])",
                            "glDeleteFramebuffers(1, [43])",
                            "glDeleteRenderbuffers(1, [50])",
                            "glDeleteRenderbuffers(1, [51])",
                            "glDeleteRenderbuffers(1, [52])",
                            "glDeleteRenderbuffers(1, [53])",
                            "glDeleteTextures(1, [30])",
                            "glDeleteTextures(1, [31])",
                            "glDeleteTextures(1, [32])",
                            "glDeleteTextures(1, [33])",
                        }));
}

} // namespace
