// Mixing and writing the audio track.
#include "output/sound_track.h"

#include "inputs/sound/sound_format.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr long long kChunkFrames = 4096;

// Returns false once the reader has gone or the write failed otherwise.
bool writeAll(int file, const std::vector<float> &samples) {
    const char *bytes = reinterpret_cast<const char *>(samples.data());
    std::size_t size = samples.size() * sizeof(float);
    while (size > 0) {
        const ssize_t written = ::write(file, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

SoundTrack::SoundTrack(Sound &sound, int input, long long first, long long end)
    : sound_(sound), input_(input), next_(first), end_(end),
      chunk_(static_cast<std::size_t>(kChunkFrames * kSoundChannels)) {
    // A pipe that ffmpeg closed must fail the write, not end the process:
    // SIGPIPE stays blocked in the thread, which inherits this mask.
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    writer_ = std::thread(&SoundTrack::write, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

SoundTrack::~SoundTrack() {
    finish();
    writer_.join();
}

void SoundTrack::writeThrough(long long through) {
    through += kTrackLeadFrames;
    if (end_ >= 0)
        through = std::min(through, end_);
    while (next_ < through) {
        const long long count = std::min(kChunkFrames, through - next_);
        mixSound(sound_, next_, count, chunk_.data());
        next_ += count;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queued_.insert(queued_.end(), chunk_.begin(),
                           chunk_.begin() + static_cast<std::ptrdiff_t>(count * kSoundChannels));
        }
        filled_.notify_one();
    }
    if (next_ == end_)
        finish();
}

void SoundTrack::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    filled_.notify_one();
}

void SoundTrack::write() {
    std::vector<float> writing;
    bool failed = false;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            filled_.wait(lock, [this] { return !queued_.empty() || closing_; });
            if (queued_.empty())
                break;
            // Both keep their capacity, so the swap allocates nothing.
            writing.swap(queued_);
        }
        failed = failed || !writeAll(input_, writing);
        writing.clear();
    }
    close(input_);
    // Taken off this thread, where it waits while blocked.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    const timespec now{};
    sigtimedwait(&pipeSignal, nullptr, &now);
}
