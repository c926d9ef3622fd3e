// processInput against the scripted window system, and the resize callback.
#include "app/frame_loop.h"
#include "app/input.h"
#include "fake_glfw.h"
#include "output_capture.h"
#include "recording_gl.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

class Input : public ::testing::Test {
  protected:
    void SetUp() override { lt = -1.0; }

    // Runs processInput once per scripted pass, as the frame loop would.
    void runPasses() {
        for (std::size_t i = 0; i < glfw.passes.size(); ++i) {
            processInput(glfw.window(), mouse.data(), &running, &spaceHeld);
            after.push_back({running, spaceHeld, lt});
            glfw.nextPass();
        }
    }

    FakeGlfw glfw;
    std::array<double, 4> mouse{};
    bool running = false;
    bool spaceHeld = false;
    struct After {
        bool running, spaceHeld;
        double lt;
    };
    std::vector<After> after;
};

GlfwPass keys(std::set<int> down, double clock = 0.0) {
    GlfwPass pass;
    pass.keys = std::move(down);
    pass.clock = {clock};
    return pass;
}

// If the library's references bound to libglfw instead, GLFW would be
// uninitialised: every key reads released and the clock reads 0.
TEST_F(Input, LibraryCallsReachTheFakeWindowSystem) {
    glfw.passes = {keys({GLFW_KEY_SPACE, GLFW_KEY_ESCAPE}, 42.5)};
    processInput(glfw.window(), mouse.data(), &running, &spaceHeld);
    EXPECT_TRUE(running);
    EXPECT_EQ(lt, 42.5);
    EXPECT_TRUE(glfw.shouldClose);
    EXPECT_FALSE(glfw.log.empty());
}

TEST_F(Input, EscapeSetsTheCloseFlagAndTheRestOfTheCallStillRuns) {
    struct Case {
        const char *label;
        std::set<int> keys;
        std::vector<std::string> closeCalls;
        bool running;
    } cases[] = {
        {"escape", {GLFW_KEY_ESCAPE}, {"glfwSetWindowShouldClose(1)"}, false},
        {"escape with a space press",
         {GLFW_KEY_ESCAPE, GLFW_KEY_SPACE},
         {"glfwSetWindowShouldClose(1)"},
         true},
        {"space alone", {GLFW_KEY_SPACE}, {}, true},
        {"nothing", {}, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        glfw.log.clear();
        glfw.shouldClose = false;
        glfw.passes = {keys(c.keys)};
        glfw.passes[0].cursorX = 12.0;
        running = spaceHeld = false;
        mouse = {-7.0, -7.0, -7.0, -7.0};
        processInput(glfw.window(), mouse.data(), &running, &spaceHeld);
        EXPECT_EQ(callsNamed(glfw.log, {"glfwSetWindowShouldClose"}), c.closeCalls);
        EXPECT_EQ(glfw.shouldClose, !c.closeCalls.empty());
        EXPECT_EQ(running, c.running);
        EXPECT_EQ(mouse[0], 12.0);
    }
}

TEST_F(Input, MouseHoldsCursorWithYUpFromTheBottomAndFreshButtonStates) {
    struct Case {
        const char *label;
        double x, y;
        int height;
        std::set<int> buttons;
        std::array<double, 4> mouse;
    } cases[] = {
        {"top left, no buttons", 0.0, 0.0, 600, {}, {0.0, 600.0, 0.0, 0.0}},
        {"bottom left", 0.0, 600.0, 600, {}, {0.0, 0.0, 0.0, 0.0}},
        {"fractional, left held",
         100.25,
         150.5,
         768,
         {GLFW_MOUSE_BUTTON_LEFT},
         {100.25, 617.5, 1.0, 0.0}},
        {"right held", 5.0, 5.0, 600, {GLFW_MOUSE_BUTTON_RIGHT}, {5.0, 595.0, 0.0, 1.0}},
        {"both held",
         5.0,
         5.0,
         600,
         {GLFW_MOUSE_BUTTON_LEFT, GLFW_MOUSE_BUTTON_RIGHT},
         {5.0, 595.0, 1.0, 1.0}},
        {"middle button is not reported",
         5.0,
         5.0,
         600,
         {GLFW_MOUSE_BUTTON_MIDDLE},
         {5.0, 595.0, 0.0, 0.0}},
        {"outside the window", -30.5, 700.0, 600, {}, {-30.5, -100.0, 0.0, 0.0}},
        // Height in pixels, not screen units, flips the cursor.
        {"framebuffer twice the window", 10.0, 100.0, 1200, {}, {10.0, 1100.0, 0.0, 0.0}},
        {"zero height negates y", 3.0, 40.0, 0, {}, {3.0, -40.0, 0.0, 0.0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        GlfwPass pass;
        pass.cursorX = c.x;
        pass.cursorY = c.y;
        pass.framebufferHeight = c.height;
        pass.buttons = c.buttons;
        glfw.passes = {pass};
        glfw.pass = 0;
        // Values left from before must all be replaced, buttons included.
        mouse = {1e9, 1e9, 0.5, 0.5};
        processInput(glfw.window(), mouse.data(), &running, &spaceHeld);
        EXPECT_EQ(mouse, c.mouse);
    }
}

TEST_F(Input, SpaceTogglesOncePerPressAndEachToggleRestartsTheFrameRateWindow) {
    const std::set<int> down = {GLFW_KEY_SPACE}, up = {};
    glfw.passes = {keys(up, 1.0),   keys(down, 2.0), keys(down, 3.0),
                   keys(down, 4.0), keys(up, 5.0),   keys(down, 6.0),
                   keys(down, 7.0), keys(up, 8.0),   keys(down, 9.0)};
    runPasses();
    const std::vector<After> expected = {
        {false, false, -1.0}, // untouched until a press
        {true, true, 2.0},    // press edge: resume, lt restarts at the clock
        {true, true, 2.0},    // held: no toggle, lt kept
        {true, true, 2.0},    //
        {true, false, 2.0},   // release reopens the latch
        {false, true, 6.0},   // next press pauses, lt restarts too
        {false, true, 6.0},   //
        {false, false, 6.0},  //
        {true, true, 9.0},    // and resumes again
    };
    ASSERT_EQ(after.size(), expected.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE("pass " + std::to_string(i));
        EXPECT_EQ(after[i].running, expected[i].running);
        EXPECT_EQ(after[i].spaceHeld, expected[i].spaceHeld);
        EXPECT_EQ(after[i].lt, expected[i].lt);
    }
}

TEST(ResizeCallback, SetsTheViewportAndPrintsTheSize) {
    struct Case {
        int width, height;
        const char *line;
    } cases[] = {
        {800, 600, "800:600\n"},
        {1, 1, "1:1\n"},
        {0, 0, "0:0\n"},
        {3840, 2160, "3840:2160\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        RecordingGl gl;
        std::string output;
        {
            StdoutCapture capture;
            framebuffer_size_callback(nullptr, c.width, c.height);
            output = capture.text();
        }
        EXPECT_EQ(output, c.line);
        EXPECT_EQ(gl.calls, std::vector<std::string>{"glViewport(0, 0, " + std::to_string(c.width) +
                                                     ", " + std::to_string(c.height) + ")"});
    }
}

} // namespace
