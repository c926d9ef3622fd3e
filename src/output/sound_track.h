// A recording's audio track: the set's sound, mixed on the main thread for
// each frame before its picture is handed on, and written to ffmpeg's audio
// input by a thread of its own. The main thread never waits for ffmpeg to
// read sound, so ffmpeg, which opens its inputs one after the other and
// reads each as it needs, never waits for sound behind a picture.
#pragma once

#include "inputs/sound/sound.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class SoundTrack {
  public:
    // The track holds the frames [first, end) of the sound; end < 0 while
    // the recording's length is not known. Starts the writing thread, which
    // owns input and closes it when it ends.
    SoundTrack(Sound &sound, int input, long long first, long long end);
    // Waits for the thread: after finish(), and after ffmpeg has read or
    // stopped reading what was queued.
    ~SoundTrack();
    SoundTrack(const SoundTrack &) = delete;
    SoundTrack &operator=(const SoundTrack &) = delete;

    // Queues the track up to kTrackLeadFrames beyond frame through, capped
    // at the end, which finishes the track: ffmpeg reads its last packet of
    // sound only once the input has ended.
    void writeThrough(long long through);

    // Nothing more is queued: the thread writes what is and ends, closing
    // ffmpeg's audio input. Returns at once, since ffmpeg may read the rest
    // only once its pictures have ended. After a failed write nothing more
    // is written: ffmpeg has gone, and the recording says why.
    void finish();

  private:
    void write();

    Sound &sound_;
    int input_;
    long long next_; // the next frame to queue
    long long end_;
    std::vector<float> chunk_;  // mixed on the main thread
    std::vector<float> queued_; // handed to the thread
    bool closing_ = false;
    std::mutex mutex_;
    std::condition_variable filled_;
    std::thread writer_;
};
