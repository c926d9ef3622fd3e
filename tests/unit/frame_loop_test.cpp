// The frame loop with the scripted window system and the recording GL in one
// call log: what a pass draws, when the title changes, and when the loop ends.
#include "app/frame_loop.h"
#include "fake_glfw.h"
#include "output_capture.h"
#include "recording_gl.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::set<int> kSpace = {GLFW_KEY_SPACE};

GlfwPass pass(std::set<int> keys, std::vector<double> clock) {
    GlfwPass p;
    p.keys = std::move(keys);
    p.clock = std::move(clock);
    return p;
}

class FrameLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        lt = 0.0;
        fps = 0.0;
        nbFrames = 0;
        title_string[0] = '\0';
        // Only the program name matters here, not what building it reports.
        CoutCapture quiet;
        shader = std::make_unique<Shader>("/dev/null", "/dev/null", "/dev/null");
        gl.calls.clear();
        gl.uniformLocation = {{"iResolution", 1}, {"iTime", 2}, {"iMouse", 3}};
    }

    void run() {
        runFrameLoop(glfw.window(), {shader.get(), 10, glm::vec2(800.0f, 600.0f), mouse.data(),
                                     &running, &spaceHeld});
    }

    // The log without the input queries, which the input tests cover.
    std::vector<std::string> withoutInputQueries() const {
        std::vector<std::string> kept;
        for (const std::string &call : gl.calls)
            if (call.rfind("glfwGetKey", 0) && call.rfind("glfwGetMouseButton", 0) &&
                call.rfind("glfwGetCursorPos", 0) && call.rfind("glfwGetFramebufferSize", 0))
                kept.push_back(call);
        return kept;
    }

    std::size_t glCallCount() const {
        std::size_t count = 0;
        for (const std::string &call : gl.calls)
            count += call.rfind("glfw", 0) != 0;
        return count;
    }

    RecordingGl gl;
    FakeGlfw glfw{&gl.calls};
    std::unique_ptr<Shader> shader;
    std::array<double, 4> mouse{};
    bool running = false;
    bool spaceHeld = false;
};

TEST_F(FrameLoop, PausedPassesDrawNothingButStillSwapAndPoll) {
    glfw.passes = {pass({}, {1.0}), pass({}, {2.0}), pass({GLFW_KEY_A}, {3.0})};
    run();
    EXPECT_EQ(glCallCount(), 0u);
    EXPECT_EQ(
        callsNamed(gl.calls, {"glfwSwapBuffers", "glfwPollEvents", "glfwSetWindowTitle"}),
        (std::vector<std::string>{"glfwSwapBuffers()", "glfwPollEvents()", "glfwSwapBuffers()",
                                  "glfwPollEvents()", "glfwSwapBuffers()", "glfwPollEvents()"}));
    EXPECT_EQ(nbFrames, 0);
}

TEST_F(FrameLoop, RenderedPassDrawsIntoTheDefaultFramebufferWithThreeUniforms) {
    // 2^24 + 1 s narrows to 2^24 as a float; later clock reads differ, so
    // iTime shows which read it came from.
    GlfwPass first = pass(kSpace, {16777217.0, 16777217.25, 16777217.3125});
    first.cursorX = 100.25;
    first.cursorY = 150.5;
    first.framebufferWidth = 1024; // iResolution does not follow the window
    first.framebufferHeight = 768;
    first.buttons = {GLFW_MOUSE_BUTTON_LEFT};
    glfw.passes = {first};
    run();
    EXPECT_EQ(withoutInputQueries(), (std::vector<std::string>{
                                         "glfwWindowShouldClose() -> 0",
                                         "glfwGetTime() -> 16777217",
                                         "glfwGetTime() -> 16777217.25", // the press edge
                                         "glBindFramebuffer(GL_FRAMEBUFFER, 0)",
                                         "glClearColor(0, 0, 0, 0)",
                                         "glClear(GL_COLOR_BUFFER_BIT)",
                                         "glUseProgram(3)",
                                         "glBindVertexArray(10)",
                                         "glGetUniformLocation(3, \"iResolution\") -> 1",
                                         "glUniform2f(1, 800, 600)",
                                         "glGetUniformLocation(3, \"iTime\") -> 2",
                                         "glUniform1f(2, 16777216)",
                                         "glGetUniformLocation(3, \"iMouse\") -> 3",
                                         "glUniform4f(3, 100.25, 617.5, 1, 0)",
                                         "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, 0)",
                                         "glfwGetTime() -> 16777217.3125", // under 0.1 s: no title
                                         "glfwSwapBuffers()",
                                         "glfwPollEvents()",
                                         "glfwWindowShouldClose() -> 1",
                                     }));
    EXPECT_EQ(nbFrames, 1);
}

TEST_F(FrameLoop, TitleRefreshesOnlyAfterATenthOfASecondAndEveryRenderedPassCounts) {
    glfw.passes = {
        pass(kSpace, {1.0, 1.0, 1.0625}), // resume at 1.0; 0.0625 s: no title
        pass(kSpace, {1.125}),            // 0.125 s, 1 frame: 8 fps
        pass({}, {1.1875}),               // 0.0625 s since the refresh
        pass({}, {1.25}),                 // 0.125 s, 2 frames: 16 fps
        pass(kSpace, {1.5}),              // pause: lt restarts, nothing counted
        pass({}, {2.0}),                  //
        pass(kSpace, {3.0, 3.0, 3.0625}), // resume at 3.0: no title yet
    };
    run();
    const std::string draw = "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, 0)",
                      swap = "glfwSwapBuffers()";
    EXPECT_EQ(callsNamed(gl.calls, {"glDrawElements", "glfwSetWindowTitle", "glfwSwapBuffers"}),
              (std::vector<std::string>{
                  draw, swap,                                                //
                  draw, "glfwSetWindowTitle(\"Quorlin - FPS = 8 \")", swap,  //
                  draw, swap,                                                //
                  draw, "glfwSetWindowTitle(\"Quorlin - FPS = 16 \")", swap, //
                  swap,                                                      //
                  swap,                                                      //
                  draw, swap,                                                //
              }));
    EXPECT_STREQ(title_string, "Quorlin - FPS = 16 ");
    EXPECT_EQ(nbFrames, 2); // one from before the pause, one after
    EXPECT_EQ(lt, 3.0);
}

TEST_F(FrameLoop, CloseFlagIsCheckedAtTheTopSoTheClosingPassStillSwapsAndPolls) {
    struct Case {
        const char *label;
        bool closedBefore;
        std::vector<GlfwPass> passes;
        int passesRun, draws;
    } cases[] = {
        {"closed before the first pass", true, {pass({}, {0.0})}, 0, 0},
        {"escape while paused",
         false,
         {pass({}, {0.0}), pass({GLFW_KEY_ESCAPE}, {1.0}), pass({}, {2.0})},
         2,
         0},
        {"escape with a space press draws that one frame",
         false,
         {pass({GLFW_KEY_ESCAPE, GLFW_KEY_SPACE}, {1.0}), pass({}, {2.0})},
         1,
         1},
        {"escape while rendering",
         false,
         {pass(kSpace, {1.0}), pass({}, {2.0}), pass({GLFW_KEY_ESCAPE}, {3.0}), pass({}, {4.0})},
         3,
         3},
        {"window manager close at the end of the script",
         false,
         {pass({}, {0.0}), pass({}, {1.0})},
         2,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        gl.calls.clear();
        glfw.passes = c.passes;
        glfw.pass = 0;
        glfw.shouldClose = c.closedBefore;
        running = spaceHeld = false;
        run();
        std::vector<std::string> expected;
        for (int i = 0; i < c.passesRun; ++i)
            expected.insert(expected.end(), {"glfwWindowShouldClose() -> 0", "glfwSwapBuffers()",
                                             "glfwPollEvents()"});
        expected.push_back("glfwWindowShouldClose() -> 1");
        EXPECT_EQ(
            callsNamed(gl.calls, {"glfwWindowShouldClose", "glfwSwapBuffers", "glfwPollEvents"}),
            expected);
        EXPECT_EQ(callsNamed(gl.calls, {"glDrawElements"}).size(),
                  static_cast<std::size_t>(c.draws));
    }
}

} // namespace
