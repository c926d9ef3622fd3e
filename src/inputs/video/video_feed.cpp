// The decoding thread and the choice of frames.
#include "inputs/video/video_feed.h"

#include "inputs/messages.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Frames this much before a seek's position are kept: the latest frame at or
// before it is among them unless the clip stands still longer than that.
constexpr double kSeekMargin = 0.5;
// Further behind the clock than this, the decoder seeks instead of decoding
// every frame on the way.
constexpr double kSeekGap = 2.0;
// How long before a clip's end the decoder of its next loop starts.
constexpr double kPrefetch = 1.0;
// Times closer than this are the same time: a frame's time and the clock's
// are computed differently.
constexpr double kSameTime = 1e-6;
constexpr auto kStreamDeadline = std::chrono::seconds(5);
constexpr auto kNoteInterval = std::chrono::minutes(1);

Cursor cursorFor(double time, double duration, bool loop) {
    time = std::max(time, 0.0);
    Cursor cursor;
    if (duration > 0.0 && loop) {
        cursor.loop = std::floor(time / duration);
        cursor.position = time - cursor.loop * duration;
    } else {
        cursor.position = duration > 0.0 ? std::min(time, duration) : time;
    }
    return cursor;
}

} // namespace

VideoFeed::VideoFeed(const FeedSettings &settings)
    : settings_(settings), wake_(eventfd(0, EFD_CLOEXEC)),
      child_(std::make_unique<DecodingChild>()), next_(std::make_unique<DecodingChild>()),
      duration_(settings.duration) {
    thread_ = std::thread(&VideoFeed::run, this);
}

VideoFeed::~VideoFeed() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    const std::uint64_t one = 1;
    if (write(wake_, &one, sizeof(one)) < 0) {
        // An eventfd write fails only on overflow; the flag above still stops the thread.
    }
    decoderWake_.notify_all();
    rendererWake_.notify_all();
    thread_.join();
    close(wake_);
}

void VideoFeed::run() {
    if (settings_.request.stream)
        runStream();
    else
        runFile();
    child_->end(true);
    next_->end(true);
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    rendererWake_.notify_all();
}

DecodeRequest VideoFeed::requestAt(const Cursor &cursor) const {
    DecodeRequest request = settings_.request;
    if (cursor.position > kSeekMargin && cursor.seekLevel < 2) {
        request.seek = cursor.position;
        if (cursor.seekLevel == 0)
            request.keepFrom = settings_.start + cursor.position - kSeekMargin;
    }
    return request;
}

void VideoFeed::runFile() {
    Cursor cursor = cursorFor(settings_.firstTime, settings_.duration, settings_.loop);
    double duration = settings_.duration;
    bool everAny = false;
    for (;;) {
        const DecodeRequest request = requestAt(cursor);
        const bool seeking = request.seek > 0.0;
        const std::string failure = child_->running() ? "" : child_->start(request);
        if (!failure.empty()) {
            note(everAny, "cannot start ffmpeg: " + failure);
            return;
        }
        const double base = cursor.loop * duration;
        bool any = false;
        bool restart = false;
        double last = 0.0;
        double beforeLast = -1.0;
        for (;;) {
            FrameHeader header;
            Waited waited = child_->nextFrame(header, kNoDeadline, wake_);
            if (waited == Waited::kWoken)
                return;
            if (waited != Waited::kDone)
                break;
            const double position = header.time - settings_.start;
            if (seeking && !any && position > cursor.position + kSameTime) {
                // The frame at or before the position did not come out.
                ++cursor.seekLevel;
                restart = true;
                break;
            }
            const int slot = acquire(header.bytes());
            if (slot < 0)
                return;
            waited =
                child_->readPixels(slots_[slot].memory.pixels, header.bytes(), kNoDeadline, wake_);
            if (waited != Waited::kDone) {
                releaseSlot(slot);
                if (waited == Waited::kWoken)
                    return;
                break;
            }
            publish(slot, header, base + position);
            beforeLast = any ? last : -1.0;
            last = position;
            any = everAny = true;
            const double now = target();
            if (duration > 0.0 && now - (base + position) > kSeekGap) {
                cursor = cursorFor(now, duration, settings_.loop);
                restart = true;
                break;
            }
            // The next loop's decoder starts before this one ends, so the
            // wrap waits for no start-up.
            if (settings_.loop && duration > 0.0 && !next_->running() &&
                position > duration - kPrefetch)
                next_->start(requestAt(Cursor{cursor.loop + 1.0, 0.0, 0}));
        }
        if (restart) {
            child_->end(true);
            next_->end(true);
            continue;
        }
        const std::string reason = child_->end(false);
        if (!reason.empty()) {
            note(everAny, reason);
            return;
        }
        if (!any) {
            // A position past the last frame: ask less of the seek.
            if (seeking) {
                ++cursor.seekLevel;
                continue;
            }
            if (!everAny)
                note(false, kNoPicture);
            return;
        }
        if (duration <= 0.0) {
            duration = last + (beforeLast >= 0.0 ? last - beforeLast : 0.0);
            std::lock_guard<std::mutex> lock(mutex_);
            duration_ = duration;
        }
        if (!settings_.loop || duration <= 0.0)
            return;
        const double now = target();
        cursor = Cursor{cursor.loop + 1.0, 0.0, 0};
        if (now > (cursor.loop + 1.0) * duration)
            cursor = cursorFor(now, duration, true);
        if (cursor.position == 0.0)
            std::swap(child_, next_);
        next_->end(true);
        std::lock_guard<std::mutex> lock(mutex_);
        decodedUntil_ = cursor.loop * duration;
        rendererWake_.notify_all();
    }
}

void VideoFeed::runStream() {
    for (;;) {
        const auto attempt = std::chrono::steady_clock::now();
        std::string reason = child_->start(settings_.request);
        if (!reason.empty())
            reason = "cannot start ffmpeg: " + reason;
        bool any = false;
        double first = 0.0;
        Deadline deadline = attempt + kStreamDeadline;
        while (reason.empty()) {
            FrameHeader header;
            Waited waited = child_->nextFrame(header, deadline, wake_);
            int slot = -1;
            if (waited == Waited::kDone) {
                slot = acquire(header.bytes());
                if (slot < 0)
                    return;
                waited =
                    child_->readPixels(slots_[slot].memory.pixels, header.bytes(), deadline, wake_);
            }
            if (waited == Waited::kDone) {
                first = any ? first : header.time;
                publish(slot, header, header.time - first);
                any = true;
                deadline = std::chrono::steady_clock::now() + kStreamDeadline;
                continue;
            }
            if (slot >= 0)
                releaseSlot(slot);
            if (waited == Waited::kWoken)
                return;
            if (waited == Waited::kTimedOut) {
                child_->end(true);
                reason = any ? kNothingFor : kNothingWithin;
            } else {
                reason = child_->end(false);
                if (reason.empty())
                    reason = kStreamEnded;
            }
        }
        note(any, reason);
        if (!waitFor(attempt + kStreamDeadline - std::chrono::steady_clock::now()))
            return;
    }
}

int VideoFeed::acquire(std::size_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Every slot is to hold frames of this size, not only the next free one.
    if (wanted_ != bytes) {
        wanted_ = bytes;
        rendererWake_.notify_all();
    }
    for (;;) {
        if (stopping_)
            return -1;
        for (int i = 0; i < kVideoSlots; ++i) {
            Slot &slot = slots_[i];
            if (slot.state == State::kFree && slot.memory.capacity >= bytes) {
                slot.state = State::kFilling;
                return i;
            }
        }
        const int spare = recyclable();
        if (spare >= 0) {
            drop(slots_[spare]);
            continue;
        }
        decoderWake_.wait(lock);
    }
}

// A ready frame that will never be shown: a stream's oldest, or, while the
// renderer does not wait, one whose successor is already due.
int VideoFeed::recyclable() const {
    int oldest = -1;
    const bool stream = settings_.request.stream;
    const int due = stream || settings_.exact ? -1 : latestAtOrBefore(target_);
    for (int i = 0; i < kVideoSlots; ++i) {
        const Slot &slot = slots_[i];
        if (slot.state != State::kReady ||
            (!stream && (due < 0 || i == due || slot.frame.time > slots_[due].frame.time)))
            continue;
        if (oldest < 0 || slot.sequence < slots_[oldest].sequence)
            oldest = i;
    }
    return oldest;
}

void VideoFeed::publish(int slot, const FrameHeader &header, double time) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot &s = slots_[slot];
    s.frame = Frame{slot, header.size, time};
    s.sequence = ++sequence_;
    s.state = State::kReady;
    if (lastPublished_ >= 0 && slots_[lastPublished_].sequence == s.sequence - 1)
        slots_[lastPublished_].next = time;
    lastPublished_ = slot;
    rendererWake_.notify_all();
}

void VideoFeed::releaseSlot(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[slot].state = State::kFree;
}

void VideoFeed::note(bool opened, const std::string &reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (noted_ && now - lastNote_ < kNoteInterval)
        return;
    noted_ = true;
    lastNote_ = now;
    notes_.push_back({opened, reason});
}

bool VideoFeed::waitFor(std::chrono::steady_clock::duration span) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !decoderWake_.wait_for(lock, span, [this] { return stopping_; });
}

double VideoFeed::target() {
    std::lock_guard<std::mutex> lock(mutex_);
    return target_;
}

int VideoFeed::latestAtOrBefore(double time) const {
    int latest = -1;
    for (int i = 0; i < kVideoSlots; ++i) {
        const Slot &slot = slots_[i];
        if (slot.state == State::kReady && slot.frame.time <= time + kSameTime &&
            (latest < 0 || slot.frame.time > slots_[latest].frame.time))
            latest = i;
    }
    return latest;
}

// The ready frame with the highest (or lowest) sequence number or time.
int VideoFeed::readyBy(bool bySequence, bool highest) const {
    int found = -1;
    for (int i = 0; i < kVideoSlots; ++i) {
        const Slot &slot = slots_[i];
        if (slot.state != State::kReady)
            continue;
        const double key = bySequence ? slot.sequence : slot.frame.time;
        const double best = found < 0    ? 0.0
                            : bySequence ? slots_[found].sequence
                                         : slots_[found].frame.time;
        if (found < 0 || (highest ? key > best : key < best))
            found = i;
    }
    return found;
}

bool VideoFeed::readyAfter(double time) const {
    return std::any_of(slots_.begin(), slots_.end(), [time](const Slot &slot) {
        return slot.state == State::kReady && slot.frame.time > time + kSameTime;
    });
}

// Lets go of the ready frames older than the one to show.
void VideoFeed::prune(double time) {
    const int keep = settings_.request.stream ? readyBy(true, true) : latestAtOrBefore(time);
    if (keep < 0)
        return;
    bool freed = false;
    for (int i = 0; i < kVideoSlots; ++i) {
        Slot &slot = slots_[i];
        const bool older = settings_.request.stream ? slot.sequence < slots_[keep].sequence
                                                    : slot.frame.time < slots_[keep].frame.time;
        if (slot.state != State::kReady || i == keep || !older)
            continue;
        drop(slot);
        freed = true;
    }
    if (freed)
        decoderWake_.notify_all();
}

// A frame let go unshown was skipped when it was due at a rendered frame: a
// frame the clock passed between two rendered frames (rendering slower than
// the clip, or paused) was never due.
void VideoFeed::drop(Slot &slot) {
    slot.state = State::kFree;
    if (settings_.request.stream || settings_.exact)
        return;
    const long kept = std::min<long>(pickCount_, static_cast<long>(picks_.size()));
    for (long i = 0; i < kept; ++i) {
        const double pick = picks_[static_cast<std::size_t>(pickCount_ - 1 - i) % picks_.size()];
        if (pick + kSameTime >= slot.frame.time && pick + kSameTime < slot.next) {
            ++skipped_;
            return;
        }
    }
}

bool VideoFeed::memoryShort() const {
    return wanted_ > 0 && std::any_of(slots_.begin(), slots_.end(), [this](const Slot &slot) {
               return (slot.state == State::kFree || slot.state == State::kEmpty) &&
                      slot.memory.capacity < wanted_;
           });
}

int VideoFeed::memoryWanted(std::size_t &bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!memoryShort())
        return -1;
    for (int i = 0; i < kVideoSlots; ++i) {
        Slot &slot = slots_[i];
        if ((slot.state == State::kFree || slot.state == State::kEmpty) &&
            slot.memory.capacity < wanted_) {
            slot.state = State::kTaken;
            bytes = wanted_;
            return i;
        }
    }
    return -1;
}

void VideoFeed::lend(int slot, SlotMemory memory) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[slot].memory = memory;
    slots_[slot].state = memory.pixels != nullptr ? State::kFree : State::kEmpty;
    decoderWake_.notify_all();
}

VideoFeed::Pick VideoFeed::pick(double time, Frame &frame) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (time > target_) {
        target_ = time;
        decoderWake_.notify_all();
    }
    picks_[static_cast<std::size_t>(pickCount_++) % picks_.size()] = time;
    const bool stream = settings_.request.stream;
    const bool waits = settings_.exact && !stream;
    for (;;) {
        prune(time);
        if (!waits || finished_ || readyAfter(time) || decodedUntil_ > time + kSameTime)
            break;
        if (memoryShort())
            return Pick::kNeedMemory;
        rendererWake_.wait(lock);
    }
    // prune() left a stream one frame. Before any frame is due, the first
    // one stands in.
    int chosen = stream ? readyBy(true, true) : latestAtOrBefore(time);
    if (chosen < 0 && !anyShown_)
        chosen = readyBy(false, false);
    if (chosen < 0)
        return Pick::kKeep;
    slots_[chosen].state = State::kTaken;
    frame = slots_[chosen].frame;
    anyShown_ = true;
    return Pick::kShow;
}

void VideoFeed::shown(int slot, SlotMemory memory) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[slot].memory = memory;
    slots_[slot].state = memory.pixels != nullptr ? State::kFree : State::kEmpty;
    decoderWake_.notify_all();
}

void VideoFeed::waitForFirstFrame(Deadline deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    rendererWake_.wait_until(lock, deadline, [this] {
        return finished_ || memoryShort() ||
               std::any_of(slots_.begin(), slots_.end(),
                           [](const Slot &slot) { return slot.state == State::kReady; });
    });
}

std::vector<FeedNote> VideoFeed::takeNotes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FeedNote> notes;
    notes.swap(notes_);
    return notes;
}

long VideoFeed::skipped() {
    std::lock_guard<std::mutex> lock(mutex_);
    return skipped_;
}

double VideoFeed::duration() {
    std::lock_guard<std::mutex> lock(mutex_);
    return duration_;
}
