// A video decoded ahead on a thread of its own into a few slots of memory that
// the GL side lends (mapped pixel buffers), and the frame for each rendered
// frame picked from them by the channel's clock.
//
// A file's frames carry their time on the channel's clock (loops add the
// clip's length); the frame shown at time t is the latest at or before t.
// Exact feeds (the fixed clock) wait for that frame, so renders repeat; the
// others never wait, and a frame whose successor is already due is skipped.
// A stream shows its newest frame and is opened again after a failure.
#pragma once

#include "inputs/video/decoding_child.h"

#include <array>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int kVideoSlots = 4;

struct SlotMemory {
    unsigned char *pixels = nullptr; // mapped, written by the decoding thread
    std::size_t capacity = 0;
};

struct FeedSettings {
    DecodeRequest request; // without its seek
    bool loop = true;
    bool exact = false;
    double start = 0.0;     // a file's first time in its own timeline
    double duration = 0.0;  // a file's length; 0: learnt at its end
    double firstTime = 0.0; // the channel time of the first frame to show
};

// A failure the user is told of, once a minute at most.
struct FeedNote {
    bool opened; // false: no frame came before it
    std::string reason;
};

struct Frame {
    int slot = -1;
    glm::ivec2 size{0, 0};
    double time = 0.0; // on the channel's clock; a stream's since its first frame
};

// Where a file's decoder starts: the loop and the position in the clip, and
// how much a seek may drop (0: frames well before the position are dropped
// before conversion; 1: only the demuxer seeks; 2: no seek).
struct Cursor {
    double loop = 0.0;
    double position = 0.0;
    int seekLevel = 0;
};

class VideoFeed {
  public:
    explicit VideoFeed(const FeedSettings &settings);
    ~VideoFeed();
    VideoFeed(const VideoFeed &) = delete;
    VideoFeed &operator=(const VideoFeed &) = delete;

    // A slot whose memory is missing or too small for the frame being
    // decoded, and the bytes it needs; -1 when none.
    int memoryWanted(std::size_t &bytes);
    // Gives a slot memory (its old memory is no longer used).
    void lend(int slot, SlotMemory memory);

    enum class Pick { kKeep, kShow, kNeedMemory };
    // The frame to show at channel time: kShow with the slot to upload, which
    // is the caller's until shown(); kKeep when the frame shown stays; an
    // exact feed waiting for a frame returns kNeedMemory when the decoder
    // waits for memory, to be lent before asking again.
    Pick pick(double time, Frame &frame);
    // After the upload: the slot's memory, mapped again.
    void shown(int slot, SlotMemory memory);

    // Waits until the first frame is decoded, the decoder needs memory or
    // has ended, or the deadline.
    void waitForFirstFrame(Deadline deadline);

    // Failures since the last call, in order.
    std::vector<FeedNote> takeNotes();
    long skipped();
    // The clip's length: the probe's, or learnt at the end; 0 before that.
    double duration();

  private:
    enum class State { kEmpty, kFree, kFilling, kReady, kTaken };
    struct Slot {
        State state = State::kEmpty;
        SlotMemory memory;
        Frame frame;
        long sequence = 0;
        double next = 0.0; // the following frame's time, once it is decoded
    };
    void run();
    DecodeRequest requestAt(const Cursor &cursor) const;
    void runFile();
    void runStream();
    int acquire(std::size_t bytes);
    void publish(int slot, const FrameHeader &header, double time);
    void releaseSlot(int slot);
    void note(bool opened, const std::string &reason);
    void finish();
    int recyclable() const;
    int latestAtOrBefore(double time) const;
    int readyBy(bool bySequence, bool highest) const;
    bool readyAfter(double time) const;
    void prune(double time);
    bool memoryShort() const;
    void drop(Slot &slot);
    double target();
    bool waitFor(std::chrono::steady_clock::duration span);

    FeedSettings settings_;
    int wake_ = -1; // an eventfd: readable once the feed is stopping
    std::unique_ptr<DecodingChild> child_;
    std::unique_ptr<DecodingChild> next_; // a looping file's next loop, started early
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable decoderWake_;
    std::condition_variable rendererWake_;
    std::array<Slot, kVideoSlots> slots_;
    long sequence_ = 0;
    std::size_t wanted_ = 0;
    double target_ = 0.0;
    double decodedUntil_ = 0.0; // no frame still to come is due before this time
    bool anyShown_ = false;
    bool finished_ = false;
    bool stopping_ = false;
    long skipped_ = 0;
    // The clock of the latest picks, newest at picks_[pickCount_ % size].
    std::array<double, 64> picks_{};
    long pickCount_ = 0;
    int lastPublished_ = -1;
    double duration_ = 0.0;
    std::vector<FeedNote> notes_;
    std::chrono::steady_clock::time_point lastNote_{};
    bool noted_ = false;
};
