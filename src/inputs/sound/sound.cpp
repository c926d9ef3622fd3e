// Keeping the sound in step with the frames.
#include "inputs/sound/sound.h"

#include "inputs/sound/sound_channel.h"
#include "inputs/sound/sound_format.h"
#include "inputs/sound/sound_messages.h"

#include <algorithm>
#include <climits>
#include <iostream>

namespace {

// Rendered ahead of what is heard, so a block is ready before it is needed.
constexpr long long kLeadFrames = 2 * kBlockFrames;

void reportLoss(Sound &sound) {
    const std::string loss = sound.server.takeLoss();
    if (loss.empty())
        return;
    sound.lost = true;
    std::cout << lostSoundServer(loss) << std::endl;
}

void followLiveClock(Sound &sound, double time) {
    if (!sound.starting)
        sound.liveSeconds += time - sound.lastTime;
    sound.lastTime = time;
}

void startHearing(Sound &sound, long long heard) {
    if (sound.passOutput.isOpen()) {
        sound.server.lock();
        sound.passNext = heard;
        sound.passOutput.dropQueued();
        sound.server.unlock();
        sound.passOutput.play(true);
    }
    for (SoundChannel *channel : sound.channels)
        channel->play(true);
}

// Builds Sound.fs where the set has one and, on the live clock, opens what
// plays it; a window already running starts hearing it at the next frame.
std::vector<std::string> buildPass(Sound &sound, const ShaderFiles &files, const Wiring &wiring) {
    std::vector<std::string> failure =
        sound.pass.build(files, wiring, sampleAt(sound.settings.spanSeconds));
    if (!sound.pass.present() || !sound.settings.live)
        return failure;
    Sound *self = &sound;
    openSoundOutput(sound, sound.passOutput, [self](float *stereo, long long frames) {
        self->pass.read(self->passNext, frames, stereo);
        self->passNext += frames;
    });
    sound.starting = sound.running;
    return failure;
}

} // namespace

void createSound(Sound &sound, const ShaderFiles &files, const Wiring &wiring,
                 const SoundSettings &settings) {
    sound.settings = settings;
    buildPass(sound, files, wiring);
}

bool openSoundOutput(Sound &sound, PlaybackStream &stream, SoundFeed feed) {
    if (sound.outputFailed)
        return false;
    const std::string reason = stream.open(sound.server, std::move(feed));
    if (reason.empty())
        return true;
    sound.outputFailed = true;
    std::cout << noSoundOutput(reason) << std::endl;
    return false;
}

bool updateSound(Sound &sound, double time, double next, bool recorded, GLuint quadVao) {
    if (!sound.settings.live) {
        if (!recorded || !sound.pass.present())
            return false;
        return sound.pass.render(sampleAt(time), sampleAt(next) + kTrackLeadFrames, INT_MAX,
                                 quadVao);
    }
    if (sound.pass.present() || !sound.channels.empty()) {
        reportLoss(sound);
        followLiveClock(sound, time);
    }
    const long long heard = sampleAt(time);
    // One block a frame, the first missing one: the first frame waits for one
    // block at most.
    const bool rendered =
        sound.pass.present() && sound.pass.render(heard, heard + kLeadFrames, 0, quadVao);
    if (sound.starting)
        startHearing(sound, heard);
    sound.starting = false;
    return rendered;
}

void followRunning(Sound &sound, bool running) {
    if (running == sound.running)
        return;
    sound.running = running;
    sound.starting = running;
    if (running)
        return;
    if (sound.passOutput.isOpen())
        sound.passOutput.play(false);
    for (SoundChannel *channel : sound.channels)
        channel->play(false);
}

std::vector<std::string> reloadSound(Sound &sound, const ShaderFiles &files, const Wiring &wiring) {
    if (!sound.pass.present())
        return buildPass(sound, files, wiring);
    return sound.pass.rebuild(files, wiring);
}

bool heardClock(Sound &sound, double &seconds) {
    return std::any_of(
        sound.channels.begin(), sound.channels.end(),
        [&seconds](SoundChannel *channel) { return channel->heardSeconds(seconds); });
}

bool soundRecorded(const Sound &sound) {
    return sound.pass.present() ||
           std::any_of(sound.channels.begin(), sound.channels.end(),
                       [](const SoundChannel *channel) { return channel->recorded(); });
}

void mixSound(Sound &sound, long long first, long long count, float *stereo) {
    sound.pass.read(first, count, stereo);
    for (const SoundChannel *channel : sound.channels)
        channel->mixInto(first, count, stereo);
}

void deleteSound(Sound &sound) {
    sound.pass.release();
}
