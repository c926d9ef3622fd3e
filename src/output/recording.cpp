// Recording, verdict and progress around the frame loop.
#include "output/recording.h"

#include "app/progress.h"
#include "inputs/sound/sound_format.h"
#include "output/output_name.h"
#include "util/text.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr int kChannels = 4;

RecordingTarget targetOf(const Options &options, glm::ivec2 size, bool audio) {
    const OutputName name = parseOutputName(options.record);
    return {options.record,
            name.kind == OutputKind::kSequence,
            name.prefix,
            name.suffix,
            name.digits,
            options.startFrame,
            size,
            options.rate,
            options.encoder,
            audio};
}

// GIFs and pictures stay silent.
bool carriesSound(const Options &options) {
    return parseOutputName(options.record).kind == OutputKind::kVideo &&
           !endsWith(options.record, ".gif");
}

} // namespace

SoundSettings soundSettings(const Options &options) {
    double span = kSoundPassSeconds;
    if (!options.record.empty() && options.frames > 0)
        span = std::min(span, options.startTime +
                                  (static_cast<double>(options.startFrame) + options.frames) /
                                      options.rate);
    return {!options.fixedClock, span, options.startTime, options.rate};
}

Recording::Recording(const Options &options, glm::vec2 resolution, Sound *sound)
    : options_(options), captures_(!options.record.empty() || !options.expect.empty()) {
    const glm::ivec2 size(resolution);
    if (!options.expect.empty()) {
        referenceError_ = loadReference(options.expect, reference_);
        lastFrame_.resize(static_cast<std::size_t>(size.x) * size.y * kChannels);
    }
    if (captures_)
        capture_ = createFrameCapture(size);
    const bool audio = sound != nullptr && carriesSound(options);
    if (!options.record.empty())
        recorder_ = std::make_unique<Recorder>(targetOf(options, size, audio));
    if (audio)
        track_ =
            std::make_unique<SoundTrack>(*sound, recorder_->takeAudioInput(), frameSample(0),
                                         options.frames > 0 ? frameSample(options.frames) : -1);
    if (options.frames > 0 || records())
        startProgress(options.frames);
}

Recording::~Recording() {
    // ffmpeg ends once both its inputs have: the track is closed while the
    // recorder waits for it.
    if (track_)
        track_->finish();
    recorder_.reset();
    track_.reset();
    if (captures_)
        deleteFrameCapture(capture_);
}

void Recording::drawFrame(Scene &scene, const FrameUniforms &uniforms, int view, bool passesRan,
                          glm::ivec2 windowSize, int rendered) {
    if (!captures_) {
        renderToWindow(scene, uniforms, view, passesRan, windowSize);
        return;
    }
    // Drawn straight into a window of the render size: a detour through the
    // capture framebuffer costs llvmpipe a textured pass as large as the frame.
    const bool direct = windowSize == capture_.size;
    const GLuint source = direct ? 0 : capture_.framebuffer;
    if (direct) {
        renderToWindow(scene, uniforms, view, passesRan, windowSize);
    } else {
        bindCapture(capture_);
        drawImage(scene, uniforms, view);
    }
    if (track_)
        track_->writeThrough(frameSample(rendered + 1));
    if (recorder_) {
        startReadBack(capture_, source);
        if (framesInFlight(capture_) == kPackBuffers)
            handOnOldest();
    }
    if (rendered + 1 == options_.frames && !options_.expect.empty())
        readFrame(capture_, source, lastFrame_.data());
    if (!direct)
        presentCapture(capture_, windowSize);
}

long long Recording::frameSample(int rendered) const {
    return sampleAt(options_.startTime +
                    (static_cast<double>(options_.startFrame) + rendered) / options_.rate);
}

void Recording::handOnOldest() {
    recorder_->submit(mapOldestFrame(capture_));
    releaseOldestFrame(capture_);
}

bool Recording::frameDone(int rendered) {
    showProgress(rendered);
    return !recorder_ || !recorder_->failed();
}

int Recording::finish(int rendered, int status, bool interrupted) {
    endProgress(rendered);
    if (recorder_) {
        while (framesInFlight(capture_) > 0 && !recorder_->failed())
            handOnOldest();
        if (track_)
            track_->finish();
        const std::string failure = recorder_->finish();
        track_.reset();
        if (!failure.empty()) {
            std::cout << "Recording to " << options_.record << " failed: " << failure << std::endl;
            return 1;
        }
        if (rendered < options_.frames && !interrupted) {
            std::cout << "Closed after " << rendered << " of " << options_.frames << " frames; "
                      << options_.record << " holds " << rendered << " frames" << std::endl;
            return 1;
        }
        const glm::ivec2 size = recorder_->fileSize();
        std::cout << "Saved " << options_.record << " (" << rendered << " frames, " << size.x << "x"
                  << size.y << ", " << options_.rate << " fps)" << std::endl;
    }
    if (options_.expect.empty() || rendered < options_.frames)
        return status;
    if (!referenceError_.empty()) { // it changed since the command line was read
        std::cerr << "quorlin: --expect: " << referenceError_ << std::endl;
        return kUsageStatus;
    }
    const glm::ivec2 size = capture_.size;
    const int verdict =
        judgePicture(reference_, lastFrame_.data(), size.x, size.y, options_.tolerance, std::cout);
    return std::max(status, verdict);
}
