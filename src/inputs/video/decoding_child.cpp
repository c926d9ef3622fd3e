// ffmpeg's command line for decoding, and reading its frames and log lines.
#include "inputs/video/decoding_child.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr int kPipeBytes = 1 << 20;
const std::string kInfo = "[info] ";
const std::string kLevels[] = {"[error] ", "[fatal] ", "[panic] "};
const std::string kTimeBase = "config in time_base: ";
const std::string kFrameLine = "n:";
const std::string kPts = " pts:";
const std::string kSize = " s:";

std::string seconds(double value) {
    char text[48];
    std::snprintf(text, sizeof(text), "%.6f", value);
    return text;
}

// Milliseconds for poll; -1 waits without end.
int millisecondsUntil(Deadline deadline) {
    if (deadline == kNoDeadline)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// "[context @ 0x...] " that ffmpeg puts before a component's lines.
std::size_t afterContext(const std::string &line) {
    const std::size_t close = line.find("] ");
    if (line.empty() || line[0] != '[' || close == std::string::npos || line.find(" @ ") > close)
        return 0;
    return close + 2;
}

bool startsWith(const std::string &text, std::size_t at, const std::string &start) {
    return text.compare(at, start.size(), start) == 0;
}

} // namespace

std::string fileInput(const std::string &path, int file) {
    return file >= 0 ? "file:/dev/fd/" + std::to_string(kPassedDescriptor) : "file:" + path;
}

std::string withoutInput(const std::string &line, const std::string &input) {
    const std::string prefix = input + ": ";
    return line.compare(0, prefix.size(), prefix) == 0 ? line.substr(prefix.size()) : line;
}

std::vector<std::string> decodeArguments(const DecodeRequest &request) {
    std::vector<std::string> arguments = {request.ffmpeg, "-nostdin",  "-hide_banner",
                                          "-nostats",     "-loglevel", "level+info"};
    std::string filters = "showinfo=checksum=0";
    if (request.stream) {
        // The newest frame matters, not a smooth start: ffmpeg would otherwise
        // read seconds of a thin stream to learn what it holds.
        arguments.insert(arguments.end(),
                         {"-fflags", "nobuffer", "-probesize", "32", "-analyzeduration", "0"});
        if (!request.format.empty())
            arguments.insert(arguments.end(), {"-f", request.format});
        if (!request.size.empty())
            arguments.insert(arguments.end(), {"-video_size", request.size});
        arguments.insert(arguments.end(), {"-i", request.input});
    } else {
        // From the key frame before the position, keeping the file's own
        // times, so the frame at or before it is among those that come out;
        // the earlier ones are dropped before they are converted.
        if (request.seek > 0.0) {
            arguments.insert(arguments.end(), {"-noaccurate_seek", "-ss", seconds(request.seek)});
            if (request.keepFrom > 0.0)
                filters = "select='gte(t," + seconds(request.keepFrom) + ")'," + filters;
        }
        arguments.insert(arguments.end(),
                         {"-copyts", "-i", fileInput(request.input, request.file)});
    }
    if (request.vflip)
        filters += ",vflip";
    filters += ",format=rgba";
    arguments.insert(arguments.end(), {"-map", "0:v:0", "-vf", filters, "-fps_mode", "passthrough",
                                       "-f", "rawvideo", "-flush_packets", "1", "pipe:1"});
    return arguments;
}

bool readLogLine(const std::string &line, LogReading &reading, FrameHeader &header) {
    const std::size_t level = afterContext(line);
    for (const std::string &error : kLevels) {
        if (startsWith(line, level, error)) {
            const std::size_t text = level + error.size();
            reading.lastError = line.substr(text + afterContext(line.substr(text)));
            return false;
        }
    }
    if (!startsWith(line, level, kInfo))
        return false;
    const std::size_t text = level + kInfo.size();
    if (startsWith(line, text, kTimeBase)) {
        const char *numbers = line.c_str() + text + kTimeBase.size();
        char *slash = nullptr;
        const double numerator = std::strtod(numbers, &slash);
        const double denominator = *slash == '/' ? std::strtod(slash + 1, nullptr) : 0.0;
        reading.timeBase = denominator > 0.0 ? numerator / denominator : 0.0;
        return false;
    }
    const std::size_t pts = line.find(kPts, text);
    const std::size_t size = line.find(kSize, text);
    if (!startsWith(line, text, kFrameLine) || pts == std::string::npos ||
        size == std::string::npos)
        return false;
    char *end = nullptr;
    const long long stamp = std::strtoll(line.c_str() + pts + kPts.size(), &end, 10);
    // A frame without a time (NOPTS) keeps the one before.
    if (end != line.c_str() + pts + kPts.size())
        reading.lastTime = static_cast<double>(stamp) * reading.timeBase;
    char *x = nullptr;
    const long width = std::strtol(line.c_str() + size + kSize.size(), &x, 10);
    const long height = *x == 'x' ? std::strtol(x + 1, nullptr, 10) : 0;
    if (width <= 0 || height <= 0)
        return false;
    header.time = reading.lastTime;
    header.size = {static_cast<int>(width), static_cast<int>(height)};
    return true;
}

std::string DecodingChild::start(const DecodeRequest &request) {
    end(true);
    const std::vector<std::string> arguments = decodeArguments(request);
    input_ = *(std::find(arguments.begin(), arguments.end(), "-i") + 1);
    const std::string failure = startChild(arguments, child_, request.file);
    // A larger pipe takes a frame in fewer reads.
    if (failure.empty())
        fcntl(child_.output, F_SETPIPE_SZ, kPipeBytes);
    return failure;
}

bool DecodingChild::takeErrors() {
    char chunk[kChunk];
    const ssize_t got = read(child_.errors, chunk, sizeof(chunk));
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0) {
        errorsClosed_ = true;
        return false;
    }
    partial_.append(chunk, static_cast<std::size_t>(got));
    std::size_t begin = 0;
    for (std::size_t end = partial_.find('\n'); end != std::string::npos;
         end = partial_.find('\n', begin)) {
        FrameHeader header;
        if (readLogLine(partial_.substr(begin, end - begin), log_, header))
            headers_.push_back(header);
        begin = end + 1;
    }
    partial_.erase(0, begin);
    return true;
}

Waited DecodingChild::nextFrame(FrameHeader &header, Deadline deadline, int wake) {
    while (headers_.empty()) {
        if (errorsClosed_ || child_.pid <= 0)
            return Waited::kEnded;
        pollfd fds[] = {{child_.errors, POLLIN, 0}, {wake, POLLIN, 0}};
        const int ready = poll(fds, 2, millisecondsUntil(deadline));
        if (ready < 0 && errno != EINTR)
            return Waited::kEnded;
        if (ready == 0)
            return Waited::kTimedOut;
        if (fds[1].revents != 0)
            return Waited::kWoken;
        if (fds[0].revents != 0)
            takeErrors();
    }
    header = headers_.front();
    headers_.pop_front();
    return Waited::kDone;
}

Waited DecodingChild::readPixels(unsigned char *into, std::size_t bytes, Deadline deadline,
                                 int wake) {
    std::size_t done = 0;
    while (done < bytes) {
        // Its log is read meanwhile: a full error pipe would stop it writing pixels.
        pollfd fds[] = {{child_.output, POLLIN, 0},
                        {errorsClosed_ ? -1 : child_.errors, POLLIN, 0},
                        {wake, POLLIN, 0}};
        const int ready = poll(fds, 3, millisecondsUntil(deadline));
        if (ready < 0 && errno != EINTR)
            return Waited::kEnded;
        if (ready == 0)
            return Waited::kTimedOut;
        if (fds[2].revents != 0)
            return Waited::kWoken;
        if (fds[1].revents != 0)
            takeErrors();
        if (fds[0].revents == 0)
            continue;
        const ssize_t got = read(child_.output, into + done, bytes - done);
        if (got > 0)
            done += static_cast<std::size_t>(got);
        else if (got == 0 || (errno != EINTR && errno != EAGAIN))
            return Waited::kEnded;
    }
    return Waited::kDone;
}

std::string DecodingChild::end(bool kill) {
    if (child_.pid <= 0)
        return "";
    const int status = endChild(child_, kill);
    std::string reason = exitReason("ffmpeg", status);
    if (!reason.empty() && !log_.lastError.empty())
        reason = withoutInput(log_.lastError, input_);
    partial_.clear();
    headers_.clear();
    log_ = LogReading{};
    errorsClosed_ = false;
    return kill ? "" : reason;
}
