// Rendering sound blocks and keeping them.
#include "inputs/sound/sound_pass.h"

#include "inputs/sound/sound_format.h"
#include "render/quad.h"
#include "shader/sound_main.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

const char *const kSampleRateUniform = "iSampleRate";

bool linked(const std::optional<Shader> &shader) {
    return shader && shader->linked();
}

// With the image's fallbacks: a set that may leave out its vertex file may
// do so for the sound pass too.
Shader buildSound(const ShaderFiles &files, const Wiring &wiring) {
    Composition composition;
    composition.shippedFallbacks = wiring.set.present || generatesHeader(files.common, files.image);
    return Shader(readStages(files.common, files.vertex, files.sound, composition));
}

} // namespace

std::vector<std::string> SoundPass::build(const ShaderFiles &files, const Wiring &wiring,
                                          long long spanFrames) {
    std::error_code ignored;
    if (!std::filesystem::exists(files.sound, ignored))
        return {};
    shader_.emplace(buildSound(files, wiring));
    span_ = std::max(0LL, spanFrames);
    const long long blocks = (span_ + kBlockFrames - 1) / kBlockFrames;
    rendered_.assign(static_cast<std::size_t>(blocks), 0);
    store_.reset(new float[static_cast<std::size_t>(blocks * kBlockFrames * 2)]);
    readBack_.resize(static_cast<std::size_t>(kBlockFrames * 2));
    return shader_->failure;
}

std::vector<std::string> SoundPass::rebuild(const ShaderFiles &files, const Wiring &wiring) {
    Shader candidate = buildSound(files, wiring);
    if (!candidate.linked()) {
        candidate.release();
        return candidate.failure;
    }
    if (shader_)
        shader_->release();
    shader_ = candidate;
    std::lock_guard<std::mutex> lock(storeMutex_);
    std::fill(rendered_.begin(), rendered_.end(), 0);
    return {};
}

bool SoundPass::render(long long from, long long through, int budget, GLuint quadVao) {
    if (!linked(shader_) || from < 0)
        return false;
    const long long last = std::min<long long>((through - 1) / kBlockFrames,
                                               static_cast<long long>(rendered_.size()) - 1);
    bool any = false;
    for (long long block = from / kBlockFrames; block <= last && budget >= 0; ++block) {
        if (rendered_[static_cast<std::size_t>(block)])
            continue;
        any = renderBlock(block, quadVao) || any;
        --budget;
    }
    return any;
}

bool SoundPass::renderBlock(long long block, GLuint quadVao) {
    if (framebuffer_ == 0) {
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glGenRenderbuffers(1, &colour_);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RG32F, kBlockWidth, kBlockRows);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, kBlockWidth, kBlockRows);
    shader_->use();
    const GLuint program = shader_->programId;
    glUniform2i(glGetUniformLocation(program, kSoundBlock),
                static_cast<GLint>(block * kBlockFrames), kBlockWidth);
    glUniform1f(glGetUniformLocation(program, kSoundRate), static_cast<GLfloat>(kSampleRate));
    // A program that does not read it has no location, which GL ignores.
    glUniform1f(glGetUniformLocation(program, kSampleRateUniform),
                static_cast<GLfloat>(kSampleRate));
    glBindVertexArray(quadVao);
    drawQuad();
    glReadPixels(0, 0, kBlockWidth, kBlockRows, GL_RG, GL_FLOAT, readBack_.data());
    std::lock_guard<std::mutex> lock(storeMutex_);
    float *samples = store_.get() + block * kBlockFrames * 2;
    // A NaN or infinity would reach the output or an encoder as noise.
    for (std::size_t i = 0; i < readBack_.size(); ++i)
        samples[i] = std::isfinite(readBack_[i]) ? readBack_[i] : 0.0f;
    rendered_[static_cast<std::size_t>(block)] = 1;
    return true;
}

void SoundPass::read(long long first, long long count, float *stereo) {
    std::lock_guard<std::mutex> lock(storeMutex_);
    for (long long i = 0; i < count; ++i) {
        const long long frame = first + i;
        const bool heard = frame >= 0 && frame < span_ &&
                           rendered_[static_cast<std::size_t>(frame / kBlockFrames)];
        stereo[2 * i] = heard ? store_[2 * frame] : 0.0f;
        stereo[2 * i + 1] = heard ? store_[2 * frame + 1] : 0.0f;
    }
}

void SoundPass::release() {
    if (framebuffer_ != 0) {
        glDeleteRenderbuffers(1, &colour_);
        glDeleteFramebuffers(1, &framebuffer_);
    }
    if (shader_)
        shader_->release();
}
