// Keyboard, mouse and window-size handling for the one window.
#pragma once

#include <GLFW/glfw3.h>

// Polled once per pass. Escape sets the close flag. mouse receives cursor x,
// cursor y measured up from the bottom (flipped with the framebuffer height),
// and 1.0 or 0.0 for the left and right buttons. A space press toggles
// *running and restarts the frame-rate window; *spaceHeld latches until a
// release is seen, so a held key toggles once.
void processInput(GLFWwindow *window, double *mouse, bool *running, bool *spaceHeld);

// Follows the framebuffer with the viewport and prints "W:H".
void framebuffer_size_callback(GLFWwindow *window, int width, int height);
