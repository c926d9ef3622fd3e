// The keyboard's rows and the browser key codes.
#include "inputs/keyboard.h"

#include <GLFW/glfw3.h>

namespace {

constexpr std::uint8_t kOn = 255;

// GLFW keys first to last take browser codes from code on; left and right
// variants share a code.
struct KeyRange {
    int first;
    int last;
    int code;
};

constexpr KeyRange kKeyRanges[] = {
    {GLFW_KEY_A, GLFW_KEY_Z, 65},
    {GLFW_KEY_0, GLFW_KEY_9, 48},
    {GLFW_KEY_SPACE, GLFW_KEY_SPACE, 32},
    {GLFW_KEY_ENTER, GLFW_KEY_ENTER, 13},
    {GLFW_KEY_KP_ENTER, GLFW_KEY_KP_ENTER, 13},
    {GLFW_KEY_ESCAPE, GLFW_KEY_ESCAPE, 27},
    {GLFW_KEY_TAB, GLFW_KEY_TAB, 9},
    {GLFW_KEY_BACKSPACE, GLFW_KEY_BACKSPACE, 8},
    {GLFW_KEY_LEFT_SHIFT, GLFW_KEY_LEFT_SHIFT, 16},
    {GLFW_KEY_RIGHT_SHIFT, GLFW_KEY_RIGHT_SHIFT, 16},
    {GLFW_KEY_LEFT_CONTROL, GLFW_KEY_LEFT_CONTROL, 17},
    {GLFW_KEY_RIGHT_CONTROL, GLFW_KEY_RIGHT_CONTROL, 17},
    {GLFW_KEY_LEFT_ALT, GLFW_KEY_LEFT_ALT, 18},
    {GLFW_KEY_RIGHT_ALT, GLFW_KEY_RIGHT_ALT, 18},
    {GLFW_KEY_LEFT, GLFW_KEY_LEFT, 37},
    {GLFW_KEY_UP, GLFW_KEY_UP, 38},
    {GLFW_KEY_RIGHT, GLFW_KEY_RIGHT, 39},
    {GLFW_KEY_DOWN, GLFW_KEY_DOWN, 40},
    {GLFW_KEY_PAGE_UP, GLFW_KEY_PAGE_UP, 33},
    {GLFW_KEY_PAGE_DOWN, GLFW_KEY_PAGE_DOWN, 34},
    {GLFW_KEY_END, GLFW_KEY_END, 35},
    {GLFW_KEY_HOME, GLFW_KEY_HOME, 36},
    {GLFW_KEY_INSERT, GLFW_KEY_INSERT, 45},
    {GLFW_KEY_DELETE, GLFW_KEY_DELETE, 46},
    {GLFW_KEY_KP_0, GLFW_KEY_KP_9, 96},
    {GLFW_KEY_F1, GLFW_KEY_F12, 112},
    {GLFW_KEY_SEMICOLON, GLFW_KEY_SEMICOLON, 186},
    {GLFW_KEY_EQUAL, GLFW_KEY_EQUAL, 187},
    {GLFW_KEY_COMMA, GLFW_KEY_COMMA, 188},
    {GLFW_KEY_MINUS, GLFW_KEY_MINUS, 189},
    {GLFW_KEY_PERIOD, GLFW_KEY_PERIOD, 190},
    {GLFW_KEY_SLASH, GLFW_KEY_SLASH, 191},
    {GLFW_KEY_GRAVE_ACCENT, GLFW_KEY_GRAVE_ACCENT, 192},
    {GLFW_KEY_LEFT_BRACKET, GLFW_KEY_LEFT_BRACKET, 219},
    {GLFW_KEY_BACKSLASH, GLFW_KEY_BACKSLASH, 220},
    {GLFW_KEY_RIGHT_BRACKET, GLFW_KEY_RIGHT_BRACKET, 221},
    {GLFW_KEY_APOSTROPHE, GLFW_KEY_APOSTROPHE, 222},
};

std::uint8_t &texel(Keyboard &keyboard, int code, KeyRow row) {
    return keyboard.texels[static_cast<std::size_t>(row * kKeyCodes + code)];
}

bool inRange(int code) {
    return code >= 0 && code < kKeyCodes;
}

} // namespace

void keyDown(Keyboard &keyboard, int code) {
    // Held already: a second key of the same code, or a repeated line.
    if (!inRange(code) || texel(keyboard, code, kHeldRow) != 0)
        return;
    texel(keyboard, code, kHeldRow) = kOn;
    texel(keyboard, code, kPressedRow) = kOn;
    texel(keyboard, code, kToggledRow) ^= kOn;
    keyboard.changed = true;
    keyboard.pressed = true;
}

void keyUp(Keyboard &keyboard, int code) {
    if (!inRange(code) || texel(keyboard, code, kHeldRow) == 0)
        return;
    texel(keyboard, code, kHeldRow) = 0;
    keyboard.changed = true;
}

void frameRendered(Keyboard &keyboard) {
    if (!keyboard.pressed)
        return;
    for (int code = 0; code < kKeyCodes; ++code)
        texel(keyboard, code, kPressedRow) = 0;
    keyboard.pressed = false;
    keyboard.changed = true;
}

int browserKeyCode(int glfwKey) {
    for (const KeyRange &range : kKeyRanges)
        if (glfwKey >= range.first && glfwKey <= range.last)
            return range.code + glfwKey - range.first;
    return 0;
}

bool isKeyCode(int code) {
    for (const KeyRange &range : kKeyRanges)
        if (code >= range.code && code <= range.code + range.last - range.first)
            return true;
    return false;
}
