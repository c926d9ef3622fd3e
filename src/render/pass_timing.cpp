// Timer queries around passes.
#include "render/pass_timing.h"

namespace {
constexpr double kNanosecondsPerMillisecond = 1e6;
}

void createPassTiming(PassTiming &timing) {
    for (auto &frame : timing.queries)
        glGenQueries(kTimedPasses, frame.data());
}

void beginPassTime(PassTiming *timing, int pass) {
    if (timing == nullptr)
        return;
    const auto frame = static_cast<std::size_t>(timing->frame);
    timing->issued[frame] |= 1u << pass;
    glBeginQuery(GL_TIME_ELAPSED, timing->queries[frame][static_cast<std::size_t>(pass)]);
}

void endPassTime(const PassTiming *timing) {
    if (timing != nullptr)
        glEndQuery(GL_TIME_ELAPSED);
}

void nextTimedFrame(PassTiming &timing) {
    timing.frame = (timing.frame + 1) % kTimedFrames;
    const auto frame = static_cast<std::size_t>(timing.frame);
    for (std::size_t pass = 0; pass < kTimedPasses; ++pass) {
        if (!(timing.issued[frame] & (1u << pass)))
            continue;
        GLint ready = 0;
        glGetQueryObjectiv(timing.queries[frame][pass], GL_QUERY_RESULT_AVAILABLE, &ready);
        if (!ready)
            continue;
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(timing.queries[frame][pass], GL_QUERY_RESULT, &nanoseconds);
        timing.milliseconds[pass] =
            static_cast<float>(static_cast<double>(nanoseconds) / kNanosecondsPerMillisecond);
    }
    timing.issued[frame] = 0;
}

void deletePassTiming(const PassTiming &timing) {
    for (const auto &frame : timing.queries)
        glDeleteQueries(kTimedPasses, frame.data());
}
