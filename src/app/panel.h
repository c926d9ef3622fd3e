// The parameter panel over the window (Tab): a control per parameter, Reset,
// Save, the last frames' times and each pass's GPU time. Dear ImGui, started
// at the first showing, so a run that never shows the panel never starts it.
#pragma once

#include "render/pass_timing.h"
#include "render/passes.h"

#include <GLFW/glfw3.h>

#include <array>
#include <string>

constexpr int kFrameTimes = 120;

struct Panel {
    bool shown = false;
    bool started = false; // ImGui, its back-ends and the timer queries
    std::array<float, kFrameTimes> frameMilliseconds{};
    int frames = 0; // recorded so far, the newest at (frames - 1) % kFrameTimes
    PassTiming timing;
};

// Shows or hides the panel; the first showing starts ImGui on window and makes
// the timer queries. Sets or clears scene.timing.
void togglePanel(Panel &panel, GLFWwindow *window, Scene &scene);

// Whether the pointer is the panel's (over it, or dragging one of its
// controls), and so not the shader's.
bool panelHoldsPointer(const Panel &panel);

// Whether a control takes typed text, so keys are not commands.
bool panelTakesKeys(const Panel &panel);

// A rendered frame took this long.
void recordFrameTime(Panel &panel, double seconds);

// Draws the shown panel over the default framebuffer, which must be bound,
// and acts on its controls: a Save writes paramsPath and prints a line. Takes
// the timer queries' results. Leaves GL state as it found it.
void drawPanel(Panel &panel, Scene &scene, const std::string &paramsPath);

// Stops ImGui and deletes the queries, when started; before the context goes.
void endPanel(Panel &panel, Scene &scene);
