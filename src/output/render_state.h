// What a long render stops and goes on with, on this machine or another: the
// render targets of the running buffer and cube-map passes, the next frame's
// number and the fixed clock, in a file that a later run continues from bit
// for bit.
#pragma once

#include "app/options.h"
#include "render/passes.h"

#include <string>

struct StateHeader {
    glm::ivec2 size;  // of the render targets
    unsigned passes;  // bit x: pass x (a buffer or the cube-map pass) ran, and its target is kept
    int nextFrame;    // the first frame that the continuation renders
    double startTime; // the fixed clock: frame k gets startTime + k / rate
    double rate;
};

// Reads the header of path. Returns "" or why it is no state this program
// can continue from, as the words after "FILE: ".
std::string readStateHeader(const std::string &path, StateHeader &header);

// Takes --time, --rate and --start-frame from the state of --state-in, which
// must agree with any given (timeGiven and so on). Returns "" or the problem,
// as a bad-usage line after "quorlin: ".
std::string applyState(Options &options, bool timeGiven, bool rateGiven, bool startGiven);

// After the set is built and its targets prepared: loads the running passes'
// targets from path, which must hold the same passes. Returns 0, or after
// saying why on standard error, the bad-usage status. Leaves texture unit 0
// active with the last target loaded bound.
int loadState(const std::string &path, Scene &scene);

// Writes the running passes' targets, with nextFrame and the fixed clock, to
// path, complete or not at all. Returns 0, or 1 after saying why. Leaves
// texture unit 0 active with the last target written bound.
int saveState(const std::string &path, const Scene &scene, int nextFrame, const Options &options);
