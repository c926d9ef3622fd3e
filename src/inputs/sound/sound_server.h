// The sound server: PulseAudio, or PipeWire through the PulseAudio interface
// it also speaks. One connection, made only by a set that plays or captures
// sound, and the streams that play and record through it. The connection's
// thread runs every stream callback; the main thread takes its lock for
// every call into it, so that one lock guards what the two share.
#pragma once

#include "inputs/sound/analysis.h"

#include <functional>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class SoundServer {
  public:
    SoundServer() = default;
    ~SoundServer();
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    // Connects the first time, starting the connection's thread; returns ""
    // or why there is no server (the same reason on later calls).
    std::string connect();
    bool connected() const { return context_ != nullptr && failure_.empty(); }

    // Why the server went away since it was connected, given once; "" while
    // it is there.
    std::string takeLoss();

    // Held by the streams around their calls.
    void lock();
    void unlock();

    // For the streams, the server unlocked: connects if need be, makes a
    // stream that start gives its callback and connects (returning what
    // pa_stream_connect_* returns), and waits until it is ready. Returns ""
    // or why not, leaving no stream then.
    std::string openStream(pa_stream *&stream, const std::function<int(pa_stream *)> &start);
    // Ends a stream, its callbacks taken away first; nothing for none.
    void closeStream(pa_stream *&stream);

  private:
    static void endStream(pa_stream *&stream); // with the server locked
    static void stateChanged(pa_context *context, void *server);
    static void streamChanged(pa_stream *stream, void *server);
    pa_threaded_mainloop *loop_ = nullptr;
    pa_context *context_ = nullptr;
    std::string failure_; // why connect failed
    std::string loss_;    // why a connected server went away
    bool lossTaken_ = false;
    bool ready_ = false;
};

// Fills frames stereo frames from the feed's own position on, which it then
// advances; runs on the connection's thread, under its lock.
using SoundFeed = std::function<void(float *stereo, long long frames)>;

class PlaybackStream {
  public:
    PlaybackStream() = default;
    ~PlaybackStream();
    PlaybackStream(const PlaybackStream &) = delete;
    PlaybackStream &operator=(const PlaybackStream &) = delete;

    // Connects a stream to the default output, paused; returns "" or why not.
    std::string open(SoundServer &server, SoundFeed feed);
    bool isOpen() const { return stream_ != nullptr; }

    // Pauses or resumes what is heard.
    void play(bool on);

    // Drops what is queued but not heard, so the feed's next samples, from
    // wherever it now stands, are heard next. Call with the server locked.
    void dropQueued();

    // Seconds of the stream heard so far, pauses and the output's latency
    // taken into account; negative while the server cannot say (before the
    // stream has played, or once it has gone).
    double heardSeconds();

  private:
    static void wanted(pa_stream *stream, std::size_t bytes, void *self);
    SoundServer *server_ = nullptr;
    pa_stream *stream_ = nullptr;
    SoundFeed feed_;
};

class CaptureStream {
  public:
    CaptureStream() = default;
    ~CaptureStream();
    CaptureStream(const CaptureStream &) = delete;
    CaptureStream &operator=(const CaptureStream &) = delete;

    // Records from device (nullptr: the default input; "@DEFAULT_MONITOR@":
    // what the default output plays); returns "" or why not.
    std::string open(SoundServer &server, const char *device);
    bool isOpen() const { return stream_ != nullptr; }

    // The newest count samples of the mono mix, oldest first; zeros for what
    // was not captured yet. count is at most kWindowSamples.
    void newest(float *window, int count);

    // Seconds captured so far.
    double capturedSeconds();

  private:
    static void arrived(pa_stream *stream, std::size_t bytes, void *self);
    SoundServer *server_ = nullptr;
    pa_stream *stream_ = nullptr;
    float ring_[kWindowSamples] = {}; // the newest mono samples; the oldest at captured_ % size
    long long captured_ = 0;
};
