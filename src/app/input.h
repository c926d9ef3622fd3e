// Keyboard, mouse and window-size handling for the one window.
#pragma once

#include <GLFW/glfw3.h>
#include <glm/vec2.hpp>

struct Keyboard;

// Polled once per pass. Escape sets the close flag. mouse receives cursor x,
// cursor y measured up from the bottom (flipped with the framebuffer height),
// and 1.0 or 0.0 for the left and right buttons. A space press toggles
// *running and restarts the frame-rate window; *spaceHeld latches until a
// release is seen, so a held key toggles once. A press that key_callback
// latched counts as one too, seen or not.
void processInput(GLFWwindow *window, double *mouse, bool *running, bool *spaceHeld);

// The keys beyond space and Escape, each acted on once per press.
enum CommandKey {
    kReloadKey,
    kScreenshotKey,
    kView0Key,
    kView1Key,
    kView2Key,
    kView3Key,
    kView4Key,
    kView5Key,
    kPanelKey,
    kCommandKeys
};

// One latch per command key, closed while the key is held.
struct CommandLatches {
    bool held[kCommandKeys] = {};
};

// Returns a mask with bit k set for each command key k newly pressed, or
// whose press key_callback latched.
unsigned pollCommandKeys(GLFWwindow *window, CommandLatches &latches);

// Latches each press of Quorlin's own keys (space, Escape, the command keys),
// so that a tap that starts and ends between two passes still acts, at the
// next pass. Two presses of one key before a pass act at two passes.
void key_callback(GLFWwindow *window, int key, int scancode, int action, int mods);

// With a keyboard, the Control rule: the window's keys go to it but Escape,
// and Quorlin's own keys (space and the command keys) act only when pressed
// with Control, which keeps them from the shader; with none, the keys are
// Quorlin's alone.
void routeKeys(Keyboard *keyboard);
constexpr const char *kControlRuleLine =
    "The shader reads the keyboard: Ctrl+Space pauses, Ctrl+R reloads, Ctrl+S saves, Ctrl+1..4 "
    "and Ctrl+0 choose the view";

// Whether a latched press is still waiting for a pass: a paused window must
// not sleep on it.
bool pressesPending();

// Follows the framebuffer with the viewport and prints "W:H".
void framebuffer_size_callback(GLFWwindow *window, int width, int height);

// The framebuffer size the callback last saw, seeded once at start-up so
// that the frame loop never has to ask the window system for it.
void rememberFramebufferSize(glm::ivec2 size);
glm::ivec2 framebufferSize();
