// The sound pass: Sound.fs's mainSound rendered on the GPU a block of samples
// at a time into a float target (one texel a sample: left in red, right in
// green), read back into a store that playback, recordings and WAV files
// read. The store covers time 0 up to 180 s, or to a shorter recording's end.
#pragma once

#include "inputs/wiring.h"
#include "shader/Shader.h"
#include "shader/shader_files.h"

#include <glad/gl.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

constexpr double kSoundPassSeconds = 180.0;
constexpr int kBlockWidth = 512;
constexpr int kBlockRows = 128;
constexpr long long kBlockFrames = kBlockWidth * kBlockRows; // about 1.5 s

class SoundPass {
  public:
    SoundPass() = default;
    SoundPass(const SoundPass &) = delete;
    SoundPass &operator=(const SoundPass &) = delete;

    // Builds Sound.fs when the set has one (its logs as for any pass,
    // composed as the image is) and makes the store for its first spanFrames
    // frames. Returns the build's first failure.
    std::vector<std::string> build(const ShaderFiles &files, const Wiring &wiring,
                                   long long spanFrames);
    bool present() const { return shader_.has_value(); }

    // Builds Sound.fs again; one that links replaces the program and what was
    // rendered is forgotten. Returns the new build's first failure.
    std::vector<std::string> rebuild(const ShaderFiles &files, const Wiring &wiring);

    // Renders the block holding sample from, then the following blocks up to
    // the one holding through - 1, skipping rendered ones and stopping after
    // budget blocks beyond the first. Returns whether it rendered any, in
    // which case it leaves its framebuffer, the program, quadVao and a
    // viewport of the block's size bound.
    bool render(long long from, long long through, int budget, GLuint quadVao);

    // count stereo frames from first on into stereo; silence where nothing
    // was rendered or outside the store. Safe from any thread.
    void read(long long first, long long count, float *stereo);

    // Frames the store covers.
    long long span() const { return span_; }

    // The target, then the program.
    void release();

  private:
    bool renderBlock(long long block, GLuint quadVao);

    std::optional<Shader> shader_;
    GLuint framebuffer_ = 0; // made at the first block
    GLuint colour_ = 0;
    long long span_ = 0;
    std::vector<float> readBack_;    // one block
    std::unique_ptr<float[]> store_; // pages taken only as blocks are written
    std::vector<char> rendered_;     // per block
    std::mutex storeMutex_;          // store_ and rendered_, against playback's thread
};
