// Input polling and the resize callback.
#include "app/input.h"

#include "app/frame_loop.h"

#include <glad/gl.h>

#include <cstdio>

enum MouseSlot { kCursorX, kCursorY, kLeftButton, kRightButton };

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

void framebuffer_size_callback(GLFWwindow *, int width, int height) {
    glViewport(0, 0, width, height);
    std::printf("%i:%i\n", width, height);
}
