// One ffmpeg decoding a video into RGBA frames on its standard output. Each
// frame is announced on its standard error by a line of ffmpeg's showinfo
// filter giving the frame's presentation time and size, written before the
// frame's pixels, so the line says how many bytes to read.
#pragma once

#include "util/child_process.h"

#include <glm/vec2.hpp>

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

using Deadline = std::chrono::steady_clock::time_point;
constexpr Deadline kNoDeadline = Deadline::max();

struct DecodeRequest {
    std::string ffmpeg;
    std::string input; // a file, or a stream's URL or device
    bool stream = false;
    std::string format;    // a stream's input format ("v4l2"); empty: ffmpeg's guess
    std::string size;      // a stream's requested picture size, WxH; empty: its own
    bool vflip = true;     // the bottom row first, as GL counts rows
    double seek = 0.0;     // a file's position to start at, in seconds from its start
    double keepFrom = 0.0; // with a seek: frames before this time (the file's own) are dropped
    int file = -1; // the file opened once, which every ffmpeg then reads, renamed over or not
};

// How ffmpeg and ffprobe are told to read a file: the descriptor a child
// is passed (file, when not -1), else its path.
std::string fileInput(const std::string &path, int file);

// A line ffmpeg or ffprobe wrote about its input, without the input's name,
// which the user's line carries already.
std::string withoutInput(const std::string &line, const std::string &input);

// ffmpeg's command line for the request.
std::vector<std::string> decodeArguments(const DecodeRequest &request);

struct FrameHeader {
    double time = 0.0; // seconds, in the input's own timeline
    glm::ivec2 size{0, 0};
    std::size_t bytes() const { return static_cast<std::size_t>(size.x) * size.y * 4; }
};

// What ffmpeg's log lines tell: a frame, the time base of the frames that
// follow, or an error worth repeating to the user.
struct LogReading {
    double timeBase = 0.0;
    double lastTime = 0.0;
    std::string lastError; // the last error line, without its level and context
};
bool readLogLine(const std::string &line, LogReading &reading, FrameHeader &header);

enum class Waited { kDone, kEnded, kTimedOut, kWoken };

class DecodingChild {
  public:
    DecodingChild() = default;
    DecodingChild(const DecodingChild &) = delete;
    DecodingChild &operator=(const DecodingChild &) = delete;
    ~DecodingChild() { end(true); }

    // Returns an empty string, or why ffmpeg could not start.
    std::string start(const DecodeRequest &request);
    bool running() const { return child_.pid > 0; }

    // Waits for the next frame's line. wake, readable, interrupts the wait.
    Waited nextFrame(FrameHeader &header, Deadline deadline, int wake);
    // Reads the announced frame's pixels.
    Waited readPixels(unsigned char *into, std::size_t bytes, Deadline deadline, int wake);

    // Waits for ffmpeg (killing it first when kill is set). Returns why it
    // failed, its last error when it said one, or an empty string.
    std::string end(bool kill);

  private:
    bool takeErrors();

    ChildProcess child_;
    std::string input_;   // as ffmpeg was told it
    std::string partial_; // an unfinished line of its standard error
    std::deque<FrameHeader> headers_;
    LogReading log_;
    bool errorsClosed_ = false;
};
