// libpulse's threaded main loop, one context and its streams.
#include "inputs/sound/sound_server.h"

#include "inputs/sound/sound_format.h"

#include <pulse/pulseaudio.h>

#include <vector>

namespace {

constexpr const char *kClientName = "Quorlin";
// What is queued ahead of the output: long enough not to run dry on a busy
// machine. A pause (cork) or a jump (flush) takes effect at once whatever its
// length, and what is heard is reported with it taken into account.
constexpr pa_usec_t kQueuedMicroseconds = 250000;
constexpr double kMicroseconds = 1e6;
// A capture's fragments: each frame sees samples at most this old.
constexpr pa_usec_t kCaptureFragmentMicroseconds = 10000;

const pa_sample_spec kSpec{PA_SAMPLE_FLOAT32LE, kSampleRate, kSoundChannels};

std::string errorOf(pa_context *context) {
    return pa_strerror(pa_context_errno(context));
}

// Waits, with the lock held, until the stream is ready or has failed.
std::string awaitStream(pa_threaded_mainloop *loop, pa_context *context, pa_stream *stream) {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY)
            return "";
        if (!PA_STREAM_IS_GOOD(state))
            return errorOf(context);
        pa_threaded_mainloop_wait(loop);
    }
}

} // namespace

SoundServer::~SoundServer() {
    if (loop_ == nullptr)
        return;
    pa_threaded_mainloop_stop(loop_);
    if (context_ != nullptr) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
}

void SoundServer::stateChanged(pa_context *context, void *server) {
    auto *self = static_cast<SoundServer *>(server);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY)
        self->ready_ = true;
    else if (self->ready_ && !PA_CONTEXT_IS_GOOD(state) && self->loss_.empty())
        self->loss_ = errorOf(context);
    pa_threaded_mainloop_signal(self->loop_, 0);
}

std::string SoundServer::connect() {
    if (loop_ != nullptr)
        return failure_;
    loop_ = pa_threaded_mainloop_new();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), kClientName);
    pa_context_set_state_callback(context_, &SoundServer::stateChanged, this);
    // A server is used where one runs, never started for the program.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        failure_ = errorOf(context_);
        return failure_;
    }
    lock();
    pa_threaded_mainloop_start(loop_);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            failure_ = errorOf(context_);
            break;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    unlock();
    return failure_;
}

std::string SoundServer::takeLoss() {
    if (!connected())
        return "";
    lock();
    const std::string loss = lossTaken_ ? "" : loss_;
    lossTaken_ = lossTaken_ || !loss_.empty();
    unlock();
    return loss;
}

void SoundServer::lock() {
    pa_threaded_mainloop_lock(loop_);
}

void SoundServer::unlock() {
    pa_threaded_mainloop_unlock(loop_);
}

void SoundServer::streamChanged(pa_stream *, void *server) {
    pa_threaded_mainloop_signal(static_cast<SoundServer *>(server)->loop_, 0);
}

std::string SoundServer::openStream(pa_stream *&stream,
                                    const std::function<int(pa_stream *)> &start) {
    std::string reason = connect();
    if (!reason.empty())
        return reason;
    lock();
    stream = pa_stream_new(context_, kClientName, &kSpec, nullptr);
    if (stream == nullptr) {
        reason = errorOf(context_);
    } else {
        pa_stream_set_state_callback(stream, &SoundServer::streamChanged, this);
        reason = start(stream) < 0 ? errorOf(context_) : awaitStream(loop_, context_, stream);
        if (!reason.empty())
            endStream(stream);
    }
    unlock();
    return reason;
}

void SoundServer::endStream(pa_stream *&stream) {
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

void SoundServer::closeStream(pa_stream *&stream) {
    if (stream == nullptr)
        return;
    lock();
    endStream(stream);
    unlock();
}

PlaybackStream::~PlaybackStream() {
    if (server_ != nullptr)
        server_->closeStream(stream_);
}

void PlaybackStream::wanted(pa_stream *stream, std::size_t bytes, void *self) {
    void *data = nullptr;
    if (pa_stream_begin_write(stream, &data, &bytes) < 0 || data == nullptr)
        return;
    const long long frames = static_cast<long long>(bytes / pa_frame_size(&kSpec));
    static_cast<PlaybackStream *>(self)->feed_(static_cast<float *>(data), frames);
    pa_stream_write(stream, data, static_cast<std::size_t>(frames) * pa_frame_size(&kSpec), nullptr,
                    0, PA_SEEK_RELATIVE);
}

std::string PlaybackStream::open(SoundServer &server, SoundFeed feed) {
    server_ = &server;
    feed_ = std::move(feed);
    const std::uint32_t any = static_cast<std::uint32_t>(-1);
    const pa_buffer_attr attributes{
        any, static_cast<std::uint32_t>(pa_usec_to_bytes(kQueuedMicroseconds, &kSpec)), any, any,
        any};
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                       PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    return server.openStream(stream_, [&](pa_stream *stream) {
        pa_stream_set_write_callback(stream, &PlaybackStream::wanted, this);
        return pa_stream_connect_playback(stream, nullptr, &attributes, flags, nullptr, nullptr);
    });
}

void PlaybackStream::play(bool on) {
    server_->lock();
    if (pa_operation *operation = pa_stream_cork(stream_, on ? 0 : 1, nullptr, nullptr))
        pa_operation_unref(operation);
    server_->unlock();
}

void PlaybackStream::dropQueued() {
    if (pa_operation *operation = pa_stream_flush(stream_, nullptr, nullptr))
        pa_operation_unref(operation);
}

double PlaybackStream::heardSeconds() {
    pa_usec_t heard = 0;
    server_->lock();
    const bool known = pa_stream_get_time(stream_, &heard) == 0;
    server_->unlock();
    return known ? static_cast<double>(heard) / kMicroseconds : -1.0;
}

CaptureStream::~CaptureStream() {
    if (server_ != nullptr)
        server_->closeStream(stream_);
}

void CaptureStream::arrived(pa_stream *stream, std::size_t, void *self) {
    auto *capture = static_cast<CaptureStream *>(self);
    const void *data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0) {
        if (bytes == 0)
            break;
        // A hole (data null) is dropped like the rest, unheard.
        const auto *frames = static_cast<const float *>(data);
        const std::size_t count = bytes / pa_frame_size(&kSpec);
        for (std::size_t i = 0; data != nullptr && i < count; ++i)
            capture->ring_[capture->captured_++ % kWindowSamples] =
                0.5f * (frames[2 * i] + frames[2 * i + 1]);
        pa_stream_drop(stream);
    }
}

std::string CaptureStream::open(SoundServer &server, const char *device) {
    server_ = &server;
    const std::uint32_t any = static_cast<std::uint32_t>(-1);
    const pa_buffer_attr attributes{
        any, any, any, any,
        static_cast<std::uint32_t>(pa_usec_to_bytes(kCaptureFragmentMicroseconds, &kSpec))};
    return server.openStream(stream_, [&](pa_stream *stream) {
        pa_stream_set_read_callback(stream, &CaptureStream::arrived, this);
        return pa_stream_connect_record(stream, device, &attributes, PA_STREAM_ADJUST_LATENCY);
    });
}

void CaptureStream::newest(float *window, int count) {
    server_->lock();
    for (int i = 0; i < count; ++i) {
        const long long at = captured_ - count + i;
        window[i] = at < 0 ? 0.0f : ring_[at % kWindowSamples];
    }
    server_->unlock();
}

double CaptureStream::capturedSeconds() {
    server_->lock();
    const long long captured = captured_;
    server_->unlock();
    return static_cast<double>(captured) / kSampleRate;
}
