// The progress line.
#include "app/progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <streambuf>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kInterval = 0.1; // seconds between updates
constexpr const char *kClear = "\r\033[K";

struct Line {
    bool active = false;
    bool shown = false;
    int total = 0;
    Clock::time_point start;
    Clock::time_point last;
    std::streambuf *standardOutput = nullptr;
};
Line line;

// Standard output through this clears the line first, so that a compile
// report never lands on it.
class ClearingBuffer : public std::streambuf {
  protected:
    int overflow(int c) override {
        clearProgress();
        return c == traits_type::eof() ? 0 : line.standardOutput->sputc(static_cast<char>(c));
    }
    std::streamsize xsputn(const char *text, std::streamsize count) override {
        clearProgress();
        return line.standardOutput->sputn(text, count);
    }
    int sync() override { return line.standardOutput->pubsync(); }
};
ClearingBuffer clearing;

void draw(int done, Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - line.start).count();
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    char text[128];
    if (line.total > 0)
        std::snprintf(text, sizeof(text), "%sFrame %d of %d (%d%%), %.0f s left, %.1f fps", kClear,
                      done, line.total, static_cast<int>(100.0 * done / line.total),
                      rate > 0.0 ? (line.total - done) / rate : 0.0, rate);
    else
        std::snprintf(text, sizeof(text), "%sFrame %d, %.1f fps", kClear, done, rate);
    std::fputs(text, stderr);
    line.shown = true;
    line.last = now;
}

} // namespace

void startProgress(int total) {
    if (!isatty(STDERR_FILENO))
        return;
    line.active = true;
    line.total = total;
    line.start = line.last = Clock::now();
    std::cout.flush();
    line.standardOutput = std::cout.rdbuf(&clearing);
}

void showProgress(int done) {
    if (!line.active)
        return;
    const Clock::time_point now = Clock::now();
    if (std::chrono::duration<double>(now - line.last).count() >= kInterval)
        draw(done, now);
}

void clearProgress() {
    if (!line.shown)
        return;
    std::fputs(kClear, stderr);
    line.shown = false;
}

void endProgress(int done) {
    if (!line.active)
        return;
    draw(done, Clock::now());
    std::fputs("\n", stderr);
    line.shown = false;
    std::cout.rdbuf(line.standardOutput);
    line.active = false;
}
