// Input polling and the resize callback.
#include "app/input.h"

#include "app/frame_loop.h"
#include "app/progress.h"
#include "inputs/keyboard.h"

#include <glad/gl.h>

#include <cstdio>

namespace {

enum MouseSlot { kCursorX, kCursorY, kLeftButton, kRightButton };

const int kCommandKeyCodes[kCommandKeys] = {
    GLFW_KEY_R, GLFW_KEY_S, GLFW_KEY_0, GLFW_KEY_1,   GLFW_KEY_2,
    GLFW_KEY_3, GLFW_KEY_4, GLFW_KEY_5, GLFW_KEY_TAB,
};

// The keys whose presses are latched: the command keys, then these two.
enum { kSpaceLatch = kCommandKeys, kEscapeLatch, kLatchedKeys };

glm::ivec2 lastFramebufferSize{0, 0};
// Presses seen in key events and not yet acted on; set inside event polling,
// which hands the callback no state of the loop's.
int latchedPresses[kLatchedKeys] = {};
// The keyboard the shader reads, while one does; set by the loop.
Keyboard *shaderKeyboard = nullptr;

int latchOf(int key) {
    if (key == GLFW_KEY_SPACE)
        return kSpaceLatch;
    if (key == GLFW_KEY_ESCAPE)
        return kEscapeLatch;
    for (int k = 0; k < kCommandKeys; ++k)
        if (kCommandKeyCodes[k] == key)
            return k;
    return -1;
}

// One latched press of the key, taken.
bool takePress(int latch) {
    if (latchedPresses[latch] == 0)
        return false;
    --latchedPresses[latch];
    return true;
}

// A key held, as far as Quorlin's own keys go: while the shader reads the
// keyboard they come only from presses with Control, which events carry.
bool polledDown(GLFWwindow *window, int key) {
    return shaderKeyboard == nullptr && glfwGetKey(window, key) == GLFW_PRESS;
}

} // namespace

void processInput(GLFWwindow *window, double *mouse, bool *running, bool *spaceHeld) {
    if (takePress(kEscapeLatch) || glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS)
        glfwSetWindowShouldClose(window, true);

    glfwGetCursorPos(window, &mouse[kCursorX], &mouse[kCursorY]);
    mouse[kLeftButton] = 0.0;
    mouse[kRightButton] = 0.0;
    if (glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS)
        mouse[kLeftButton] = 1.0;
    if (glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS)
        mouse[kRightButton] = 1.0;

    // Pixel height even where screen units differ, so y counts framebuffer rows.
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    mouse[kCursorY] = height - mouse[kCursorY];

    // A press both latched and seen held acts once.
    const bool latched = takePress(kSpaceLatch);
    if ((polledDown(window, GLFW_KEY_SPACE) && !*spaceHeld) || latched) {
        *running = !*running;
        lt = glfwGetTime();
        *spaceHeld = true;
    }
    if (!polledDown(window, GLFW_KEY_SPACE))
        *spaceHeld = false;
}

unsigned pollCommandKeys(GLFWwindow *window, CommandLatches &latches) {
    unsigned pressed = 0;
    for (int k = 0; k < kCommandKeys; ++k) {
        const bool down = polledDown(window, kCommandKeyCodes[k]);
        const bool latched = takePress(k);
        if ((down && !latches.held[k]) || latched)
            pressed |= 1u << k;
        latches.held[k] = down;
    }
    return pressed;
}

void key_callback(GLFWwindow *, int key, int, int action, int mods) {
    const bool control = (mods & GLFW_MOD_CONTROL) != 0;
    const int latch = latchOf(key);
    const bool own = shaderKeyboard == nullptr || control || key == GLFW_KEY_ESCAPE;
    if (action == GLFW_PRESS && latch >= 0 && own)
        ++latchedPresses[latch];
    const int code = browserKeyCode(key);
    if (shaderKeyboard == nullptr || key == GLFW_KEY_ESCAPE || code == 0)
        return;
    // A release goes to the shader whatever was held; a repeat is no press.
    if (action == GLFW_PRESS && !control)
        keyDown(*shaderKeyboard, code);
    else if (action == GLFW_RELEASE)
        keyUp(*shaderKeyboard, code);
}

void routeKeys(Keyboard *keyboard) {
    shaderKeyboard = keyboard;
}

bool pressesPending() {
    for (int presses : latchedPresses)
        if (presses > 0)
            return true;
    return false;
}

void framebuffer_size_callback(GLFWwindow *, int width, int height) {
    glViewport(0, 0, width, height);
    lastFramebufferSize = {width, height};
    clearProgress();
    std::printf("%i:%i\n", width, height);
}

void rememberFramebufferSize(glm::ivec2 size) {
    lastFramebufferSize = size;
}

glm::ivec2 framebufferSize() {
    return lastFramebufferSize;
}
