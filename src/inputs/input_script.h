// Input scripts (--input FILE): key and mouse events for a run, each before a
// chosen frame, so an interactive shader renders the same way every time.
// One event a line: "FRAME key down|up CODE" or "FRAME mouse X Y [down|up]
// [left|right]"; "#" starts a comment.
#pragma once

#include "inputs/keyboard.h"

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

struct ScriptEvent {
    enum Kind { kKeyDown, kKeyUp, kMouseMove, kMousePress, kMouseRelease };
    int frame; // the iFrame of the frame before which it applies
    Kind kind;
    int code;    // a key's browser code
    double x, y; // the pointer, pixels up from the bottom
    bool right;  // the right button, else the left
};

struct InputScript {
    std::vector<ScriptEvent> events; // by frame, in the file's order within one
};

// An empty string, or "NAME:LINE: WHAT" for the first bad line.
std::string parseInputScript(std::istream &in, const std::string &name, InputScript &script);

// Where a run is in its script, and the pointer it has made.
struct ScriptPlayer {
    std::size_t next = 0;
    double mouse[4] = {};     // x, y, left and right held: the button style's iMouse
    bool leftPressed = false; // since the last frame, for the click style
};

// Applies the events before frame to the keyboard and the pointer.
void playScript(const InputScript &script, ScriptPlayer &player, int frame, Keyboard &keyboard);
