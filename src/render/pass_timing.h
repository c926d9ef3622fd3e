// The GPU time of each pass of a frame, from timer queries read a few frames
// later, so that asking never waits for the GPU.
#pragma once

#include "shader/shader_files.h"

#include <glad/gl.h>

#include <array>

constexpr int kImagePass = kPasses; // timed after buffer passes A to D and the cube-map pass
constexpr int kTimedPasses = kPasses + 1;
constexpr int kTimedFrames = 4; // frames whose queries may still be pending

struct PassTiming {
    std::array<std::array<GLuint, kTimedPasses>, kTimedFrames> queries{};
    std::array<unsigned, kTimedFrames> issued{}; // bit p: pass p was timed in that frame
    int frame = 0;
    std::array<float, kTimedPasses> milliseconds{}; // the latest result of each pass
};

void createPassTiming(PassTiming &timing);

// Around the GL calls of one pass (passes do not nest); nothing without timing.
void beginPassTime(PassTiming *timing, int pass);
void endPassTime(const PassTiming *timing);

// After a frame: takes the results of the oldest frame's queries that are
// ready and moves on to reuse them.
void nextTimedFrame(PassTiming &timing);

void deletePassTiming(const PassTiming &timing);
