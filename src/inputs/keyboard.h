// The keyboard as a shader reads it: 256 key codes (the codes web browsers
// report) by three rows of one byte: held, pressed on this frame, toggled.
#pragma once

#include <array>
#include <cstdint>

constexpr int kKeyCodes = 256;
enum KeyRow { kHeldRow, kPressedRow, kToggledRow, kKeyRows };

struct Keyboard {
    // Row after row, as the texture holds them: 0 or 255.
    std::array<std::uint8_t, kKeyCodes * kKeyRows> texels{};
    bool changed = false; // since the texture last had them
    bool pressed = false; // some key is on the pressed row
};

// A key went down or up; the window system's auto-repeat is no press.
void keyDown(Keyboard &keyboard, int code);
void keyUp(Keyboard &keyboard, int code);

// After a rendered frame: presses are shown on one frame only.
void frameRendered(Keyboard &keyboard);

// The browser code of a GLFW key: letters 65-90, digits 48-57, ...; 0 for a
// key without one.
int browserKeyCode(int glfwKey);

// Whether some key has this browser code (input scripts name keys by it).
bool isKeyCode(int code);
