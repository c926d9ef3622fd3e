// A sound channel's reading, playing, capturing and analysis.
#include "inputs/sound/sound_channel.h"

#include "inputs/sound/sound.h"
#include "inputs/sound/sound_format.h"
#include "inputs/sound/sound_messages.h"

#include <algorithm>
#include <iostream>

namespace {

// The monitor of the default output: what the machine plays.
const char *const kLoopbackDevice = "@DEFAULT_MONITOR@";

const char *captureName(SoundInput input) {
    return input == SoundInput::kMicrophone ? "microphone" : "loopback";
}

} // namespace

SoundChannel::SoundChannel(Sound &sound, SoundInput input, const std::string &path, bool loop,
                           const std::string &reader)
    : sound_(sound), input_(input), path_(path), lastLive_(sound.liveSeconds) {
    clip_.loop = loop;
    silentTexels(texels_);
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, kSoundTextureWidth, kSoundTextureRows, 0, GL_RED,
                 GL_UNSIGNED_BYTE, texels_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    sound_.channels.push_back(this);
    if (input_ != SoundInput::kFile) {
        const std::string reason = capture_.open(
            sound_.server, input_ == SoundInput::kLoopback ? kLoopbackDevice : nullptr);
        if (!reason.empty())
            std::cout << failedCaptureLine(captureName(input_), reader, reason) << std::endl;
        return;
    }
    if (load(reader) && sound_.settings.live) {
        openSoundOutput(sound_, playback_, [this](float *stereo, long long frames) {
            for (long long i = 0; i < frames; ++i)
                clipFrame(clip_, fed_ + i, stereo[2 * i], stereo[2 * i + 1]);
            fed_ += frames;
        });
        // A channel made while rendering runs (by a reload) plays at once.
        if (playback_.isOpen() && sound_.running)
            playback_.play(true);
    }
}

SoundChannel::~SoundChannel() {
    sound_.channels.erase(std::find(sound_.channels.begin(), sound_.channels.end(), this));
}

bool SoundChannel::load(const std::string &reader) {
    SoundClip read;
    const std::string reason = decodeSoundFile(path_, read);
    if (!reason.empty()) {
        std::cout << failedSoundLine(path_, reader, reason) << std::endl;
        return false;
    }
    const bool playing = playback_.isOpen();
    if (playing)
        sound_.server.lock();
    clip_.samples.swap(read.samples);
    if (playing)
        sound_.server.unlock();
    return true;
}

void SoundChannel::reread(const std::string &reader) {
    if (input_ == SoundInput::kFile)
        load(reader);
}

long long SoundChannel::liveEnd() {
    // A stream's own clock says what is heard; where it cannot (no server,
    // or one that went away) the live clock stands in, from where it was.
    // One reading a frame: the videos', when they took one, so that both
    // stand at the same instant.
    const double heard = polled_ >= 0.0                       ? polled_
                         : playback_.isOpen() && !sound_.lost ? playback_.heardSeconds()
                                                              : -1.0;
    polled_ = -1.0;
    if (heard >= 0.0)
        heard_ = heard;
    else
        heard_ += sound_.liveSeconds - lastLive_;
    lastLive_ = sound_.liveSeconds;
    return sampleAt(heard_);
}

bool SoundChannel::heardSeconds(double &seconds) {
    if (input_ != SoundInput::kFile || !sound_.settings.live || !playback_.isOpen() || sound_.lost)
        return false;
    polled_ = playback_.heardSeconds();
    seconds = polled_;
    return seconds >= 0.0;
}

void SoundChannel::analyseFile(long long end) {
    clipMonoWindow(clip_, end, kWindowSamples, window_);
    analyser_.analyse(window_, texels_);
}

void SoundChannel::update(int frame) {
    if (input_ != SoundInput::kFile) {
        if (sound_.lost) {
            std::fill(std::begin(window_), std::end(window_), 0.0f);
        } else if (capture_.isOpen()) {
            capture_.newest(window_, kWindowSamples);
            seconds_ = capture_.capturedSeconds();
        }
        analyser_.analyse(window_, texels_);
    } else if (sound_.settings.live) {
        const long long end = liveEnd();
        analyseFile(end);
        seconds_ = clipSeconds(clip_, end);
    } else {
        const SoundSettings &clock = sound_.settings;
        auto endOf = [&clock](int k) { return sampleAt(clock.startTime + k / clock.rate); };
        // A run that starts later (--start-frame), or a channel that comes
        // later, first goes through the frames that still weigh on this one.
        if (frame != lastFrame_ + 1) {
            analyser_.reset();
            for (int k = std::max(0, frame - kReplayFrames); k < frame; ++k)
                analyseFile(endOf(k));
        }
        lastFrame_ = frame;
        analyseFile(endOf(frame));
        seconds_ = clipSeconds(clip_, endOf(frame));
    }
    upload();
}

void SoundChannel::upload() {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kSoundTextureWidth, kSoundTextureRows, GL_RED,
                    GL_UNSIGNED_BYTE, texels_);
}

void SoundChannel::release() {
    glDeleteTextures(1, &texture_);
}

void SoundChannel::mixInto(long long first, long long count, float *stereo) const {
    if (input_ != SoundInput::kFile)
        return;
    for (long long i = 0; i < count; ++i) {
        float left = 0.0f, right = 0.0f;
        clipFrame(clip_, first + i, left, right);
        stereo[2 * i] += left;
        stereo[2 * i + 1] += right;
    }
}

void SoundChannel::play(bool on) {
    if (playback_.isOpen())
        playback_.play(on);
}
