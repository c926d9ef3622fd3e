// Rendering the sound pass into a WAV file.
#include "output/wav.h"

#include "inputs/sound/sound_format.h"
#include "inputs/sound/sound_pass.h"
#include "render/quad.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

namespace {

constexpr double kDefaultSeconds = 10.0;
constexpr int kBitsPerSample = 16;
constexpr int kBytesPerFrame = kSoundChannels * kBitsPerSample / 8;
constexpr std::uint16_t kPcmFormat = 1;
constexpr float kFullScale = 32767.0f;
constexpr std::uint32_t kHeaderBytes = 44;

void putLittle(std::vector<unsigned char> &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void putTag(std::vector<unsigned char> &out, const char *tag) {
    out.insert(out.end(), tag, tag + 4);
}

// RIFF header, then the format and data chunks' headers.
std::vector<unsigned char> header(long long frames) {
    const auto dataBytes = static_cast<std::uint32_t>(frames * kBytesPerFrame);
    std::vector<unsigned char> out;
    putTag(out, "RIFF");
    putLittle(out, kHeaderBytes - 8 + dataBytes, 4); // what follows the size
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putLittle(out, 16, 4);
    putLittle(out, kPcmFormat, 2);
    putLittle(out, kSoundChannels, 2);
    putLittle(out, kSampleRate, 4);
    putLittle(out, kSampleRate * kBytesPerFrame, 4);
    putLittle(out, kBytesPerFrame, 2);
    putLittle(out, kBitsPerSample, 2);
    putTag(out, "data");
    putLittle(out, dataBytes, 4);
    return out;
}

// Little-endian 16-bit samples, clipped at full scale.
void toPcm(const std::vector<float> &samples, std::size_t count, std::vector<unsigned char> &out) {
    out.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const float clipped = std::clamp(samples[i], -1.0f, 1.0f);
        putLittle(
            out,
            static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrint(clipped * kFullScale))),
            2);
    }
}

std::string writeSound(const Options &options, SoundPass &pass, GLuint quadVao, long long first,
                       long long frames) {
    std::FILE *file = std::fopen(options.sound.c_str(), "wb");
    if (file == nullptr)
        return std::strerror(errno);
    const std::vector<unsigned char> head = header(frames);
    bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    std::vector<float> samples(static_cast<std::size_t>(kBlockFrames * kSoundChannels));
    std::vector<unsigned char> pcm;
    for (long long at = first; written && at < first + frames; at += kBlockFrames) {
        const long long count = std::min(kBlockFrames, first + frames - at);
        pass.render(at, at + count, INT_MAX, quadVao);
        pass.read(at, count, samples.data());
        toPcm(samples, static_cast<std::size_t>(count * kSoundChannels), pcm);
        written = std::fwrite(pcm.data(), 1, pcm.size(), file) == pcm.size();
    }
    const std::string error = written ? "" : std::strerror(errno);
    if (std::fclose(file) != 0 && written)
        return std::strerror(errno);
    return error;
}

} // namespace

std::string soundOutputProblem(const Options &options, const ShaderFiles &files) {
    std::error_code ignored;
    if (options.sound.empty() || std::filesystem::exists(files.sound, ignored))
        return "";
    return "--output: '" + options.sound + "' is the sound of a Sound.fs, and " +
           std::filesystem::path(files.sound).parent_path().string() + " has none";
}

int saveSound(const ShaderFiles &files, const Wiring &wiring, const Options &options) {
    const double start = options.startTime + options.startFrame / options.rate;
    const double end =
        start + (options.frames > 0 ? options.frames / options.rate : kDefaultSeconds);
    const long long first = sampleAt(start);
    const long long frames = sampleAt(end) - first;
    if (frames * kBytesPerFrame > UINT32_MAX - kHeaderBytes) {
        std::cout << "Failed to write " << options.sound << ": a WAV file holds at most "
                  << (UINT32_MAX - kHeaderBytes) / kBytesPerFrame / kSampleRate << " s"
                  << std::endl;
        return 1;
    }
    SoundPass pass;
    pass.build(files, wiring, sampleAt(std::min(end, kSoundPassSeconds)));
    const Quad quad = createImageQuad();
    const std::string error = writeSound(options, pass, quad.vao, first, frames);
    deleteQuad(quad);
    pass.release();
    if (!error.empty()) {
        std::cout << "Failed to write " << options.sound << ": " << error << std::endl;
        return 1;
    }
    std::cout << "Saved " << options.sound << " (" << frames << " samples, " << kSampleRate
              << " Hz, stereo)" << std::endl;
    return 0;
}
