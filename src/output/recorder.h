// Writes rendered frames while rendering goes on: to ffmpeg through a pipe,
// or as PNG files encoded on every core. A bounded set of frame buffers sits
// between the two sides, so a slow writer makes rendering wait; nothing is
// dropped and memory does not grow with the recording.
#pragma once

#include <glm/vec2.hpp>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How frames arrive: BGRA at the render size, bottom row first, or pictures
// converted on the GPU to planar Y'CbCr (BT.709, limited range), top row
// first and already at the file's size.
enum class FrameFormat { kBgra, kYuv420, kYuv444 };

struct RecordingTarget {
    std::string path;    // the video, the sequence's pattern, or "-": a stream
    bool sequence;       // PNG files numbered by frame
    std::string prefix;  // a sequence's name before its number
    std::string suffix;  //  and after it
    int digits;          // the number's least width
    int firstFrame;      // number of the first frame
    glm::ivec2 size;     // the render size
    double rate;         // frames per second
    std::string encoder; // ffmpeg's path, for a video
    FrameFormat format;
    int stream; // where a YUV4MPEG2 stream goes, 4:4:4 frames; -1: none
};

class Recorder {
  public:
    // Starts the writers, and ffmpeg for a video; a failure to start shows in
    // failed() and finish().
    explicit Recorder(const RecordingTarget &target);
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Takes the next frame, in the target's format, and returns once it is
    // copied; waits while every buffer is in use.
    void submit(const unsigned char *pixels);

    // Whether a write failed; later frames are then not written.
    bool failed();

    // Writes what is queued, ends ffmpeg and waits for it, or closes the
    // stream. Returns "" or why the recording failed, with ffmpeg's last
    // words on lines of their own.
    std::string finish();

    // Whether the stream's reader closed it: the end of a stream, not a failure.
    bool readerClosed();

    // The size of the recorded pictures: a video's sides are made even.
    glm::ivec2 fileSize() const { return fileSize_; }

  private:
    struct Frame {
        int buffer;
        int number;
    };
    void write();
    std::string writeFrame(std::vector<unsigned char> &pixels, int number);
    std::string writeAll(const void *data, std::size_t size);
    void startEncoder();
    std::string encoderFailure(const std::string &reason);

    RecordingTarget target_;
    glm::ivec2 fileSize_;
    std::vector<std::vector<unsigned char>> buffers_;
    std::vector<int> free_;    // buffers the renderer may fill
    std::vector<Frame> ready_; // filled buffers in order, a ring of buffers_.size()
    std::size_t readyHead_ = 0;
    std::size_t readyCount_ = 0;
    int submitted_ = 0;
    bool closing_ = false;
    std::string failure_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::condition_variable filled_;
    std::vector<std::thread> writers_;
    int pipe_ = -1;    // ffmpeg's standard input
    int errors_ = -1;  // ffmpeg's standard error, kept in memory
    int encoder_ = -1; // ffmpeg's process id
    bool finished_ = false;
    std::string streamHeader_; // written before the stream's first frame
};
