// Keeping the sound in step with the frames.
#include "inputs/sound/sound.h"

#include "inputs/sound/sound_format.h"
#include "inputs/sound/sound_messages.h"

#include <climits>
#include <iostream>

namespace {

// Rendered ahead of what is heard, so a block is ready before it is needed.
constexpr long long kLeadFrames = 2 * kBlockFrames;

void reportLoss(SoundServer &server) {
    const std::string loss = server.takeLoss();
    if (!loss.empty())
        std::cout << lostSoundServer(loss) << std::endl;
}

} // namespace

void createSound(Sound &sound, const ShaderFiles &files, const SoundSettings &settings) {
    sound.pass.build(files, sampleAt(settings.spanSeconds));
    sound.live = settings.live;
    if (!sound.pass.present() || !sound.live)
        return;
    Sound *self = &sound;
    const std::string reason =
        sound.passOutput.open(sound.server, [self](float *stereo, long long frames) {
            self->pass.read(self->passNext, frames, stereo);
            self->passNext += frames;
        });
    if (!reason.empty())
        std::cout << noSoundOutput(reason) << std::endl;
}

bool updateSound(Sound &sound, double time, double next, bool recorded, GLuint quadVao) {
    if (!sound.pass.present())
        return false;
    if (sound.live) {
        reportLoss(sound.server);
        const long long heard = sampleAt(time);
        const bool rendered = sound.pass.render(heard, heard + kLeadFrames, 1, quadVao);
        if (sound.starting && sound.passOutput.isOpen()) {
            sound.server.lock();
            sound.passNext = heard;
            sound.passOutput.dropQueued();
            sound.server.unlock();
            sound.passOutput.play(true);
        }
        sound.starting = false;
        return rendered;
    }
    if (!recorded)
        return false;
    return sound.pass.render(sampleAt(time), sampleAt(next) + kTrackLeadFrames, INT_MAX, quadVao);
}

void followRunning(Sound &sound, bool running) {
    if (running == sound.running)
        return;
    sound.running = running;
    sound.starting = running;
    if (!running && sound.passOutput.isOpen())
        sound.passOutput.play(false);
}

std::vector<std::string> reloadSound(Sound &sound, const ShaderFiles &files) {
    if (!sound.pass.present())
        return {};
    return sound.pass.rebuild(files);
}

bool soundRecorded(const Sound &sound) {
    return sound.pass.present();
}

void mixSound(Sound &sound, long long first, long long count, float *stereo) {
    sound.pass.read(first, count, stereo);
}

void deleteSound(Sound &sound) {
    sound.pass.release();
}
