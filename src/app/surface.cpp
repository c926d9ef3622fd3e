// The window or its off-screen stand-in.
#include "app/surface.h"

#include "app/input.h"
#include "app/no_window.h"

#include <cstdlib>
#include <iostream>
#include <thread>

namespace {

bool isSet(const char *variable) {
    const char *value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

bool openWindow(Surface &surface, const Options &options) {
    // A failed init shows up as a failed window creation.
    rememberWindowSystemErrors();
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    if (!options.sound.empty())
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE); // it makes sound, no picture
    surface.window = glfwCreateWindow(options.width, options.height, "Quorlin", nullptr, nullptr);
    if (surface.window == nullptr) {
        std::cout << "Failed to create GLFW window" << std::endl;
        explainNoWindow();
        glfwTerminate();
        return false;
    }
    glfwMakeContextCurrent(surface.window);
    // Unthrottled unless asked, so the title shows the rate the shader reaches.
    glfwSwapInterval(options.vsync ? 1 : 0);
    glfwSetFramebufferSizeCallback(surface.window, framebuffer_size_callback);
    glfwSetKeyCallback(surface.window, key_callback);
    if (!gladLoadGL(glfwGetProcAddress)) {
        std::cout << "Failed to initialize GLAD" << std::endl;
        glfwTerminate();
        return false;
    }
    glm::ivec2 size;
    glfwGetFramebufferSize(surface.window, &size.x, &size.y);
    rememberFramebufferSize(size);
    return true;
}

// 8-bit RGBA like the window's pixels. Drawn top row first, as Mesa draws a
// window, where the driver offers it: the rasteriser then steps through the
// same blocks of pixels, so pictures match the window's bit for bit. Without
// mipmaps the texture must not filter between levels, or GL counts it
// incomplete.
void createStandIn(WindowFramebuffer &standIn, glm::ivec2 size) {
    glGenFramebuffers(1, &standIn.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, standIn.framebuffer);
    glGenTextures(1, &standIn.texture);
    glBindTexture(GL_TEXTURE_2D, standIn.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.x, size.y, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, standIn.texture, 0);
    if (GLAD_GL_MESA_framebuffer_flip_y) {
        glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
        standIn.topDown = true;
    }
    // A context without a surface starts with an empty viewport; a window's
    // starts at the window's size.
    glViewport(0, 0, size.x, size.y);
    rememberFramebufferSize(size);
}

} // namespace

bool rendersHeadless(const Options &options) {
    const bool ends = options.frames > 0 || !options.record.empty() || !options.sound.empty();
    return options.headless || (ends && !isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY"));
}

bool openSurface(Surface &surface, const Options &options) {
    if (!rendersHeadless(options))
        return openWindow(surface, options);
    surface.opened = std::chrono::steady_clock::now();
    const std::string failure = createHeadlessContext(surface.headless);
    if (!failure.empty()) {
        std::cout << "Failed to create a headless OpenGL context: " << failure << std::endl;
        destroyHeadlessContext(surface.headless);
        return false;
    }
    createStandIn(surface.standIn, {options.width, options.height});
    return true;
}

void closeSurface(const Surface &surface) {
    if (surface.window != nullptr) {
        glfwTerminate();
        return;
    }
    glDeleteFramebuffers(1, &surface.standIn.framebuffer);
    glDeleteTextures(1, &surface.standIn.texture);
    destroyHeadlessContext(surface.headless);
}

bool closeRequested(const Surface &surface) {
    return surface.window != nullptr ? glfwWindowShouldClose(surface.window) : surface.closing;
}

void requestClose(Surface &surface) {
    if (surface.window != nullptr)
        glfwSetWindowShouldClose(surface.window, true);
    else
        surface.closing = true;
}

double surfaceTime(const Surface &surface) {
    if (surface.window != nullptr)
        return glfwGetTime();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - surface.opened).count();
}

void showTitle(const Surface &surface, const char *title) {
    if (surface.window != nullptr)
        glfwSetWindowTitle(surface.window, title);
}

void swapBuffers(const Surface &surface) {
    if (surface.window != nullptr)
        glfwSwapBuffers(surface.window);
    else // as a swap would: the frame is rendered now, not when a read needs it
        glFlush();
}

void pollEvents(const Surface &surface) {
    if (surface.window != nullptr)
        glfwPollEvents();
}

void waitEvents(const Surface &surface, double seconds) {
    if (surface.window != nullptr)
        glfwWaitEventsTimeout(seconds);
    else
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}
