// EGL display, context and GL loading without a window system.
#include "app/headless_context.h"

#include <glad/egl.h>
#include <glad/gl.h>

namespace {

constexpr EGLint kMostDevices = 16;

// Without EGL_KHR_no_config_context: any configuration that renders OpenGL,
// whatever surfaces it could have (a surface type of 0 asks for none).
const EGLint kAnyOpenGLConfig[] = {
    EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE,
};

const EGLint kCoreContext[] = {
    EGL_CONTEXT_MAJOR_VERSION,
    3,
    EGL_CONTEXT_MINOR_VERSION,
    3,
    EGL_CONTEXT_OPENGL_PROFILE_MASK,
    EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
    EGL_NONE,
};

struct ErrorName {
    EGLint code;
    const char *name;
};

const ErrorName kErrorNames[] = {
    {EGL_NOT_INITIALIZED, "EGL_NOT_INITIALIZED"},
    {EGL_BAD_ACCESS, "EGL_BAD_ACCESS"},
    {EGL_BAD_ALLOC, "EGL_BAD_ALLOC"},
    {EGL_BAD_ATTRIBUTE, "EGL_BAD_ATTRIBUTE"},
    {EGL_BAD_CONFIG, "EGL_BAD_CONFIG"},
    {EGL_BAD_CONTEXT, "EGL_BAD_CONTEXT"},
    {EGL_BAD_DISPLAY, "EGL_BAD_DISPLAY"},
    {EGL_BAD_MATCH, "EGL_BAD_MATCH"},
    {EGL_BAD_PARAMETER, "EGL_BAD_PARAMETER"},
    {EGL_BAD_SURFACE, "EGL_BAD_SURFACE"},
};

// The last EGL error, in parentheses, for the end of a reason.
std::string lastError() {
    const EGLint code = eglGetError();
    for (const ErrorName &error : kErrorNames)
        if (error.code == code)
            return std::string(" (") + error.name + ")";
    return " (EGL error " + std::to_string(code) + ")";
}

EGLDisplay initialised(EGLDisplay display) {
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr))
        return display;
    return EGL_NO_DISPLAY;
}

// Surfaceless first: Mesa's, which renders on the GPU when it can and in
// software otherwise; then each device in turn, for drivers without it.
EGLDisplay openDisplay() {
    if (!GLAD_EGL_EXT_platform_base)
        return EGL_NO_DISPLAY;
    if (GLAD_EGL_MESA_platform_surfaceless) {
        const EGLDisplay display = initialised(
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
        if (display != EGL_NO_DISPLAY)
            return display;
    }
    EGLDeviceEXT devices[kMostDevices];
    EGLint count = 0;
    if (!GLAD_EGL_EXT_platform_device || !GLAD_EGL_EXT_device_enumeration ||
        !eglQueryDevicesEXT(kMostDevices, devices, &count))
        return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        const EGLDisplay display =
            initialised(eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
        if (display != EGL_NO_DISPLAY)
            return display;
    }
    return EGL_NO_DISPLAY;
}

std::string makeContext(HeadlessContext &headless) {
    const EGLDisplay display = headless.display;
    // The display's own functions and extensions, beyond what the client offers.
    if (!gladLoaderLoadEGL(display))
        return "the EGL display's functions cannot be loaded";
    if (!eglBindAPI(EGL_OPENGL_API))
        return "the EGL display offers no OpenGL" + lastError();
    EGLConfig config = EGL_NO_CONFIG_KHR;
    EGLint configs = 0;
    if (!GLAD_EGL_KHR_no_config_context &&
        (!eglChooseConfig(display, kAnyOpenGLConfig, &config, 1, &configs) || configs == 0))
        return "the EGL display has no OpenGL configuration";
    headless.context = eglCreateContext(display, config, EGL_NO_CONTEXT, kCoreContext);
    if (headless.context == EGL_NO_CONTEXT)
        return "no OpenGL 3.3 core context" + lastError();
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, headless.context))
        return "the context cannot be made current without a surface" + lastError();
    if (!gladLoadGL(reinterpret_cast<GLADloadfunc>(eglGetProcAddress)))
        return "the OpenGL entry points cannot be loaded";
    return "";
}

} // namespace

std::string createHeadlessContext(HeadlessContext &headless) {
    // Client functions and extensions only: there is no display yet.
    if (!gladLoaderLoadEGL(EGL_NO_DISPLAY))
        return "the EGL library (libEGL.so.1) cannot be loaded";
    headless.display = openDisplay();
    if (headless.display == EGL_NO_DISPLAY)
        return "no EGL display on the surfaceless or the device platform";
    return makeContext(headless);
}

void destroyHeadlessContext(const HeadlessContext &headless) {
    if (headless.display != EGL_NO_DISPLAY) {
        eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (headless.context != EGL_NO_CONTEXT)
            eglDestroyContext(headless.display, headless.context);
        eglTerminate(headless.display);
        eglReleaseThread();
    }
    gladLoaderUnloadEGL();
}
