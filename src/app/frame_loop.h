// The frame loop and its frame-rate title.
#pragma once

#include "app/options.h"
#include "app/surface.h"
#include "params/osc.h"
#include "render/passes.h"

#include <string>

// Frame-rate display, shared with the input handler (which restarts lt).
extern double lt;             // start of the current frame-rate window, seconds
extern double fps;            // last computed frame rate
extern int nbFrames;          // frames rendered since lt
extern char title_string[50]; // last title set

// Called once per rendered frame with the clock; when strictly more than 0.1 s
// has passed since lt, recomputes fps, writes title_string and returns true.
// Does not count the frame itself.
bool refreshFrameRate(double now);

// Runs until the surface's close flag is set: input every pass; while running,
// the frame's passes and the frame-rate title. Throttled only by --max-fps
// and --vsync, which also make a paused window wait for events. Owns the
// clock, the pause state, the keys' latches, the pacing, the watcher and what
// tunes parameters; osc listens when --osc is given. Returns the process
// status: 0, or 1 when --frames was cut short or --output failed.
int runFrameLoop(Surface &surface, Scene &scene, const std::string &shaderDir,
                 const ShaderFiles &files, const Options &options, OscServer &osc);
