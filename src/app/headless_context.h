// An OpenGL 3.3 core context with no window system, made through EGL where
// there is no display server: Mesa's surfaceless platform (software or GPU),
// else the device platform of drivers that render without a display. It has
// no default framebuffer: frames go to framebuffer objects.
#pragma once

#include <string>

struct HeadlessContext {
    void *display = nullptr; // the EGLDisplay
    void *context = nullptr; // the EGLContext
};

// Makes the context current with no surface and loads the GL entry points.
// Returns "" or why there is no such context.
std::string createHeadlessContext(HeadlessContext &context);

// Releases the context, then the display and the EGL library.
void destroyHeadlessContext(const HeadlessContext &context);
