// Input polling and the resize callback.
#include "app/input.h"

#include "app/frame_loop.h"
#include "app/progress.h"

#include <glad/gl.h>

#include <cstdio>

namespace {

enum MouseSlot { kCursorX, kCursorY, kLeftButton, kRightButton };

const int kCommandKeyCodes[kCommandKeys] = {
    GLFW_KEY_R, GLFW_KEY_S, GLFW_KEY_0, GLFW_KEY_1,
    GLFW_KEY_2, GLFW_KEY_3, GLFW_KEY_4, GLFW_KEY_TAB,
};

glm::ivec2 lastFramebufferSize{0, 0};

} // namespace

void processInput(GLFWwindow *window, double *mouse, bool *running, bool *spaceHeld) {
    if (glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS)
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

    if (glfwGetKey(window, GLFW_KEY_SPACE) == GLFW_PRESS && !*spaceHeld) {
        *running = !*running;
        lt = glfwGetTime();
        *spaceHeld = true;
    }
    if (glfwGetKey(window, GLFW_KEY_SPACE) == GLFW_RELEASE)
        *spaceHeld = false;
}

unsigned pollCommandKeys(GLFWwindow *window, CommandLatches &latches) {
    unsigned pressed = 0;
    for (int k = 0; k < kCommandKeys; ++k) {
        const bool down = glfwGetKey(window, kCommandKeyCodes[k]) == GLFW_PRESS;
        if (down && !latches.held[k])
            pressed |= 1u << k;
        latches.held[k] = down;
    }
    return pressed;
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
