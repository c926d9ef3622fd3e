// iMouse in the click style that code written for other tools expects: xy
// follows the cursor while the left button is held and keeps its last value
// after release; zw is where the last press happened, z positive while the
// button is held and negative after release, w positive only on the first
// frame after the press; all zero before the first press.
#pragma once

struct ClickMouse {
    double value[4] = {}; // what the frame's iMouse reads
    bool held = false;    // the button was down at the last frame
};

// Steps to the next rendered frame: the cursor (x, y up from the bottom) and
// whether the left button is down, or was pressed since the last frame.
void stepClickMouse(ClickMouse &mouse, double x, double y, bool down);
