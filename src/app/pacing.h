// Opt-in pacing (--max-fps, --vsync): frames on a deadline clock, and a paused
// window that sleeps until something changes instead of spinning.
#pragma once

#include "app/options.h"
#include "app/surface.h"

#include <glm/vec2.hpp>

struct Pacer {
    bool on = false;       // false: the loop runs unthrottled and spins while paused
    double period = 0.0;   // seconds between frame deadlines; 0: no rate limit
    double deadline = 0.0; // when the next frame is due
    glm::ivec2 shownSize{0, 0};
};

// Only when paced: keys become sticky, so a tap between two looks at the
// keyboard is still seen, and an uncovered window asks for a redraw.
Pacer startPacing(const Surface &surface, const Options &options);

// After a rendered frame's swap: handles events, and more until the next
// frame is due.
void waitForNextFrame(Pacer &pacer, const Surface &surface);

// Paused: whether the window was uncovered or resized since it last showed a
// frame. Swapping a frame in resets it, through shown().
bool needsRedraw(const Pacer &pacer);
void shown(Pacer &pacer);

// Paused: sleeps until an event; with watch, no longer than the watcher may
// wait between looks at the directory. Without a window (paused by a
// message) it sleeps that long, as nothing else can wake it.
void waitWhilePaused(const Surface &surface, bool watch);
