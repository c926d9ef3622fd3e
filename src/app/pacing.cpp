// Frame deadlines and the paused wait.
#include "app/pacing.h"

#include "app/input.h"
#include "shader/watcher.h"

namespace {

constexpr double kMostBehind = 0.1; // seconds

// Set by the window system's redraw request, which carries no user data.
bool uncovered = false;

void windowRefreshCallback(GLFWwindow *) {
    uncovered = true;
}

} // namespace

Pacer startPacing(const Surface &surface, const Options &options) {
    Pacer pacer;
    pacer.on = options.maxFps > 0 || options.vsync;
    if (!pacer.on)
        return pacer;
    pacer.period = options.maxFps > 0 ? 1.0 / options.maxFps : 0.0;
    pacer.deadline = surfaceTime(surface);
    if (surface.window != nullptr) {
        glfwSetInputMode(surface.window, GLFW_STICKY_KEYS, GLFW_TRUE);
        glfwSetWindowRefreshCallback(surface.window, windowRefreshCallback);
    }
    return pacer;
}

void waitForNextFrame(Pacer &pacer, const Surface &surface) {
    // Events are taken even when the frame is already due: with --vsync alone,
    // or behind the rate.
    pollEvents(surface);
    double now = surfaceTime(surface);
    // Due times advance by whole periods, so a late wake-up or a moment
    // without the processor does not slow the rate; further behind (a pause,
    // a shader slower than the rate) the schedule restarts from now rather
    // than rushing to catch up.
    pacer.deadline += pacer.period;
    if (pacer.deadline < now - kMostBehind)
        pacer.deadline = now;
    while (now < pacer.deadline) {
        waitEvents(surface, pacer.deadline - now);
        now = surfaceTime(surface);
    }
}

bool needsRedraw(const Pacer &pacer) {
    return uncovered || framebufferSize() != pacer.shownSize;
}

void shown(Pacer &pacer) {
    uncovered = false;
    pacer.shownSize = framebufferSize();
}

void waitWhilePaused(const Surface &surface, bool watch) {
    // GLFW cannot wait on the inotify descriptor. A save shows within two
    // looks (one sees the events, one finds them settled) and the build.
    if (surface.window == nullptr)
        waitEvents(surface, ShaderWatcher::settleSeconds);
    else if (watch)
        glfwWaitEventsTimeout(ShaderWatcher::settleSeconds);
    else
        glfwWaitEvents();
}
