// What the frame loop shows its frames on: the window, or where there is no
// display server an off-screen framebuffer of the render size standing in for
// it; and the clock the loop reads.
#pragma once

#include "app/headless_context.h"
#include "app/options.h"
#include "render/passes.h"

#include <GLFW/glfw3.h>

#include <chrono>

struct Surface {
    GLFWwindow *window = nullptr; // null: no window, GLFW is not even started
    HeadlessContext headless;
    WindowFramebuffer standIn; // all 0 with a window
    bool closing = false;      // the stand-in's close flag
    std::chrono::steady_clock::time_point opened;
};

// --headless, or a run that needs no window (it has an end: --frames,
// --output, --expect) where neither DISPLAY nor WAYLAND_DISPLAY is set.
bool rendersHeadless(const Options &options);

// Opens the window and its context, or the headless context and its
// stand-in, and loads GL; a failure prints its line and returns false, with
// everything opened so far closed again.
bool openSurface(Surface &surface, const Options &options);

// Deletes the stand-in, then ends the context and the window system: every
// GL object still alive goes with the context.
void closeSurface(const Surface &surface);

// The loop's view of either: GLFW's with a window; otherwise a close flag, a
// steady clock from the opening, nothing to poll or wait for, no title, and a
// flush where the window would swap.
bool closeRequested(const Surface &surface);
void requestClose(Surface &surface);
double surfaceTime(const Surface &surface);
void showTitle(const Surface &surface, const char *title);
void swapBuffers(const Surface &surface);
void pollEvents(const Surface &surface);
// Waits for events at most seconds; without a window, sleeps that long.
void waitEvents(const Surface &surface, double seconds);
