// Recording, verdict and progress around the frame loop.
#include "output/recording.h"

#include "app/progress.h"
#include "output/output_name.h"
#include "util/text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

namespace {

constexpr int kChannels = 4;

FrameFormat formatOf(const std::string &record) {
    const OutputName name = parseOutputName(record);
    if (name.kind == OutputKind::kStream)
        return FrameFormat::kYuv444;
    // GIFs make their palette from RGB; PNGs hold it.
    if (name.kind == OutputKind::kSequence || endsWith(record, ".gif") || record.empty())
        return FrameFormat::kBgra;
    return FrameFormat::kYuv420;
}

Chroma chromaOf(FrameFormat format) {
    return format == FrameFormat::kYuv444 ? Chroma::kFull : Chroma::kHalf;
}

RecordingTarget targetOf(const Options &options, glm::ivec2 size, FrameFormat format) {
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
            format,
            options.streamFd};
}

} // namespace

int takeStandardOutput() {
    const int frames = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return frames;
}

Recording::Recording(const Options &options, glm::vec2 resolution, const WindowFramebuffer &window)
    : options_(options), captures_(!options.record.empty() || !options.expect.empty()),
      format_(formatOf(options.record)), converts_(format_ != FrameFormat::kBgra) {
    const glm::ivec2 size(resolution);
    if (!options.expect.empty()) {
        referenceError_ = loadReference(options.expect, reference_);
        lastFrame_.resize(static_cast<std::size_t>(size.x) * size.y * kChannels);
    }
    // Without a display the stand-in's own texture is converted; with one, the
    // capture's, which holds the frame as GL does.
    if (captures_)
        capture_ = createFrameCapture(
            size, converts_ && window.texture == 0,
            converts_ ? static_cast<GLsizeiptr>(convertedBytes(size, chromaOf(format_)))
                      : GLsizeiptr{kChannels} * size.x * size.y);
    if (converts_)
        converter_ = createFrameConverter(size, chromaOf(format_), window.topDown);
    if (!options.record.empty())
        recorder_ = std::make_unique<Recorder>(targetOf(options, size, format_));
    if (options.frames > 0 || records())
        startProgress(options.frames);
}

Recording::~Recording() {
    recorder_.reset();
    if (captures_)
        deleteFrameCapture(capture_);
    if (converts_)
        deleteFrameConverter(converter_);
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
    const GLuint source = direct ? scene.window.framebuffer : capture_.framebuffer;
    if (direct) {
        renderToWindow(scene, uniforms, view, passesRan, windowSize);
    } else {
        bindCapture(capture_);
        drawImage(scene, uniforms, view);
    }
    if (converts_) {
        if (direct && scene.window.texture == 0)
            copyIntoCapture(capture_, source);
        convertFrame(converter_,
                     direct && scene.window.texture != 0 ? scene.window.texture : capture_.colour);
        startPlanesReadBack(capture_, converter_);
    } else if (recorder_) {
        startReadBack(capture_, source);
    }
    if (recorder_ && framesInFlight(capture_) == kPackBuffers)
        handOnOldest();
    if (rendered + 1 == options_.frames && !options_.expect.empty())
        readFrame(capture_, source, lastFrame_.data());
    if (!direct) {
        presentCapture(capture_, windowSize);
    } else if (converts_) { // as a frame drawn straight into the window leaves things
        glBindFramebuffer(GL_FRAMEBUFFER, scene.window.framebuffer);
        glViewport(0, 0, windowSize.x, windowSize.y);
    }
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
        // A reader that has what it wants ends a stream, as closing the window ends a run.
        if (recorder_->readerClosed())
            return status;
        if (!failure.empty()) {
            std::cout << "Recording to " << options_.record << " failed: " << failure << std::endl;
            return 1;
        }
        const bool stream = format_ == FrameFormat::kYuv444;
        if (rendered < options_.frames && !interrupted) {
            std::cout << "Closed after " << rendered << " of " << options_.frames << " frames";
            if (!stream)
                std::cout << "; " << options_.record << " holds " << rendered << " frames";
            std::cout << std::endl;
            return 1;
        }
        const glm::ivec2 size = recorder_->fileSize();
        if (!stream)
            std::cout << "Saved " << options_.record << " (" << rendered << " frames, " << size.x
                      << "x" << size.y << ", " << options_.rate << " fps)" << std::endl;
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
