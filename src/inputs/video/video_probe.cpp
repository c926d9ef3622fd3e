// ffprobe as a child process, and its answer.
#include "inputs/video/video_probe.h"

#include "inputs/messages.h"
#include "inputs/video/decoding_child.h"
#include "util/child_process.h"
#include "util/text.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

constexpr std::chrono::seconds kProbeDeadline(5);
constexpr std::size_t kChunk = 4096;

double number(const std::map<std::string, std::string> &values, const std::string &key) {
    const auto found = values.find(key);
    if (found == values.end())
        return 0.0;
    char *end = nullptr;
    const double value = std::strtod(found->second.c_str(), &end);
    return end != found->second.c_str() ? value : 0.0;
}

} // namespace

std::string readProbe(const std::string &output, VideoProbe &probe) {
    std::map<std::string, std::string> values;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, equals)] = value;
    }
    probe.size = {static_cast<int>(number(values, "streams.stream.0.width")),
                  static_cast<int>(number(values, "streams.stream.0.height"))};
    if (probe.size.x <= 0 || probe.size.y <= 0)
        return kNoVideoStream;
    // The stream's own start and length where the container keeps them,
    // else the file's.
    const bool own = values.count("streams.stream.0.duration") &&
                     number(values, "streams.stream.0.duration") > 0.0;
    probe.start = number(values, own ? "streams.stream.0.start_time" : "format.start_time");
    probe.duration = number(values, own ? "streams.stream.0.duration" : "format.duration");
    return "";
}

std::string probeVideo(const std::string &ffprobe, int file, VideoProbe &probe) {
    const std::string input = fileInput("", file);
    ChildProcess child;
    const std::string failure =
        startChild({ffprobe, "-v", "error", "-select_streams", "v:0", "-show_entries",
                    "stream=width,height,start_time,duration:format=start_time,duration", "-of",
                    "flat", input},
                   child, file);
    if (!failure.empty())
        return "cannot start ffprobe: " + failure;
    std::string output, errors;
    const Deadline deadline = std::chrono::steady_clock::now() + kProbeDeadline;
    bool timedOut = false;
    for (int open = 2; open > 0;) {
        pollfd fds[] = {{child.output, POLLIN, 0}, {child.errors, POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = poll(fds, 2, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready == 0) {
            timedOut = true;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char chunk[kChunk];
            const ssize_t got = read(fds[i].fd, chunk, sizeof(chunk));
            if (got > 0) {
                (i == 0 ? output : errors).append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[i].fd);
                (i == 0 ? child.output : child.errors) = -1;
                --open;
            }
        }
    }
    const int status = endChild(child, timedOut);
    if (timedOut)
        return kNothingWithin;
    if (!exitReason("ffprobe", status).empty()) {
        const std::string said = withoutInput(lastLineOf(errors), input);
        return said.empty() ? exitReason("ffprobe", status) : said;
    }
    return readProbe(output, probe);
}
