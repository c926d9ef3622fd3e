// A scripted window system for the app tests. fake_glfw.cpp defines the GLFW
// entry points the app code calls; being part of the test executable, those
// definitions take the place of libglfw's for every reference in
// quorlin_core, so no display is needed.
#pragma once

#include <GLFW/glfw3.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

// What the window system reports during one pass of the frame loop.
struct GlfwPass {
    std::set<int> keys;    // held down
    std::set<int> buttons; // held down
    double cursorX = 0.0;
    double cursorY = 0.0;
    int framebufferWidth = 800;
    int framebufferHeight = 600;
    std::vector<double> clock = {0.0}; // successive glfwGetTime readings; the last repeats
};

class FakeGlfw {
    std::vector<std::string> ownLog_; // declared first: log may refer to it

  public:
    // Calls are recorded into log, or into a log of its own; pass a
    // RecordingGl's calls to get one order across GL and the window system.
    explicit FakeGlfw(std::vector<std::string> *log = nullptr);
    ~FakeGlfw();
    FakeGlfw(const FakeGlfw &) = delete;
    FakeGlfw &operator=(const FakeGlfw &) = delete;

    // The only handle the fake accepts; any other fails the test.
    GLFWwindow *window();

    // The script, one entry per pass. glfwPollEvents moves to the next pass;
    // polling during the last one sets the close flag, as a window manager
    // close would, so a loop always ends with the script.
    std::vector<GlfwPass> passes = {GlfwPass{}};
    std::size_t pass = 0;
    bool shouldClose = false;
    std::vector<std::string> &log;

    const GlfwPass &current() const;
    void nextPass();
    double readClock();

  private:
    std::size_t clockReads_ = 0;
    char handle_ = 0;
};
