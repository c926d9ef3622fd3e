// The window system's first error, kept for the explanation.
#include "app/no_window.h"

#include "shader/error_lines.h"

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

std::string firstError;

void keepFirst(int, const char *description) {
    if (firstError.empty())
        firstError = description;
}

} // namespace

void rememberWindowSystemErrors() {
    glfwSetErrorCallback(keepFirst);
}

void explainNoWindow() {
    if (!standardOutputIsTerminal())
        return;
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        std::cout << "DISPLAY is not set: there is no display to open a window on" << std::endl;
    else
        std::cout << "The window system said: " << firstError << std::endl;
    std::cout << "--output renders without a window, such as: quorlin --output picture.png"
              << std::endl;
}
