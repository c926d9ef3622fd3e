// Why no window could be opened, told to a person at a terminal; a pipe gets
// only the failure line, as before.
#pragma once

// Keeps the window system's first error from here on. Call before glfwInit.
void rememberWindowSystemErrors();

// After the failure line, on a terminal only: why, and the way without a window.
void explainNoWindow();
