// The click style's steps from frame to frame.
#include "app/click_mouse.h"

#include <cmath>

namespace {
enum Slot { kX, kY, kPressX, kPressY };
} // namespace

void stepClickMouse(ClickMouse &mouse, double x, double y, bool down) {
    double *v = mouse.value;
    if (down) {
        v[kX] = x;
        v[kY] = y;
    }
    if (down && !mouse.held) {
        v[kPressX] = x;
        v[kPressY] = y;
    } else {
        v[kPressY] = -std::fabs(v[kPressY]);
    }
    v[kPressX] = down ? std::fabs(v[kPressX]) : -std::fabs(v[kPressX]);
    mouse.held = down;
}
