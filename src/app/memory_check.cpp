// The set's render targets, the window and the frames kept for saving,
// against the driver's memory or, for the software renderer, the machine's.
#include "app/memory_check.h"

#include "output/frame_capture.h"
#include "render/passes.h"

#include <glad/gl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
constexpr double kKiB = 1024.0;
constexpr double kFrameBytesPerPixel = 4.0;
constexpr double kWindowFrames = 2.0; // front and back buffer
// A recording's frames beyond the pack buffers: the capture's own, the
// writers' copies (at most one a core and two more) and the one compared.
constexpr double kRecordingExtraFrames = 4.0;
constexpr double kPictureFrames = 2.0; // read back, then encoded
// Enumerants of extensions that glad was not asked to load.
constexpr GLenum kTotalMemoryNvx = 0x9048;       // GL_GPU_MEMORY_INFO_TOTAL_AVAILABLE_MEMORY_NVX
constexpr GLenum kTextureFreeMemoryAti = 0x87FC; // GL_TEXTURE_FREE_MEMORY_ATI
constexpr int kAtiValues = 4;

bool hasExtension(const char *name) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i)
        if (std::strcmp(reinterpret_cast<const char *>(glGetStringi(GL_EXTENSIONS, i)), name) == 0)
            return true;
    return false;
}

double framesHeld(const Options &options) {
    if (!options.record.empty() || !options.expect.empty())
        return kPackBuffers + kRecordingExtraFrames + std::thread::hardware_concurrency();
    return options.output.empty() ? 0.0 : kPictureFrames;
}

struct Memory {
    double bytes = 0.0; // 0: not known
    const char *whose = "";
};

Memory available() {
    const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    if (renderer != nullptr && std::strstr(renderer, "llvmpipe") != nullptr) {
        // It draws in the program's own memory, beside everything else.
        Memory memory{static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE) / 2,
                      "that the software renderer may take (half of this machine's memory)"};
        rlimit limit{};
        if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            static_cast<double>(limit.rlim_cur) < memory.bytes)
            memory = {static_cast<double>(limit.rlim_cur), "this process may address (ulimit -v)"};
        return memory;
    }
    if (hasExtension("GL_NVX_gpu_memory_info")) {
        GLint kib = 0;
        glGetIntegerv(kTotalMemoryNvx, &kib);
        return {kib * kKiB, "of graphics memory the driver reports"};
    }
    if (hasExtension("GL_ATI_meminfo")) {
        GLint free[kAtiValues] = {};
        glGetIntegerv(kTextureFreeMemoryAti, free);
        return {free[0] * kKiB, "of free texture memory the driver reports"};
    }
    return {};
}

} // namespace

std::string memoryProblem(const Programs &programs, const Options &options) {
    const double pixels = static_cast<double>(options.width) * options.height;
    const double targets = std::bitset<kBufferPasses>(usedTargets(programs, options.view)).count();
    const double spares = std::bitset<kBufferPasses>(selfReadingPasses(programs)).count();
    const double needed = pixels * (targets * kTargetBytesPerPixel + spares * kSpareBytesPerPixel +
                                    (kWindowFrames + framesHeld(options)) * kFrameBytesPerPixel);
    const Memory memory = available();
    if (memory.bytes == 0.0 || needed <= memory.bytes)
        return "";
    char line[256];
    std::snprintf(line, sizeof(line),
                  "--size %dx%d: this set needs about %.1f GiB, more than the %.1f GiB %s",
                  options.width, options.height, needed / kGiB, memory.bytes / kGiB, memory.whose);
    return line;
}
