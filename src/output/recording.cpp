// Recording, verdict and progress around the frame loop.
#include "output/recording.h"

#include "app/progress.h"
#include "output/output_name.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr int kChannels = 4;

RecordingTarget targetOf(const Options &options, glm::ivec2 size) {
    const OutputName name = parseOutputName(options.record);
    return {options.record, name.kind == OutputKind::kSequence,
            name.prefix,    name.suffix,
            name.digits,    options.startFrame,
            size,           options.rate,
            options.encoder};
}

} // namespace

Recording::Recording(const Options &options, glm::vec2 resolution)
    : options_(options), captures_(!options.record.empty() || !options.expect.empty()) {
    const glm::ivec2 size(resolution);
    if (!options.expect.empty()) {
        referenceError_ = loadReference(options.expect, reference_);
        lastFrame_.resize(static_cast<std::size_t>(size.x) * size.y * kChannels);
    }
    if (captures_)
        capture_ = createFrameCapture(size);
    if (!options.record.empty())
        recorder_ = std::make_unique<Recorder>(targetOf(options, size));
    if (options.frames > 0 || records())
        startProgress(options.frames);
}

Recording::~Recording() {
    recorder_.reset();
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
        const std::string failure = recorder_->finish();
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
