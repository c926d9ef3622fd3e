// The analysis alone, as a sound channel runs it once a frame: the mono mix of
// the 2048 samples before the frame's position in a looping clip, then the
// windowed FFT, smoothing and bytes. Prints the CPU time per frame.
#include "inputs/sound/analysis.h"
#include "inputs/sound/sound_clip.h"
#include "inputs/sound/sound_format.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kFrames = 20000;
constexpr double kRate = 60.0;
constexpr int kClipSeconds = 10;

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace

int main() {
    SoundClip clip;
    unsigned noise = 1;
    for (long long i = 0; i < kClipSeconds * kSampleRate; ++i) {
        noise = noise * 1103515245u + 12345u;
        const float value = static_cast<float>(0.3 * std::sin(0.0625 * static_cast<double>(i)) +
                                               0.1 * ((noise >> 8) / 16777216.0 - 0.5));
        clip.samples.insert(clip.samples.end(), {value, -value});
    }
    SoundAnalyser analyser;
    float window[kWindowSamples];
    unsigned char texels[kSoundTexels];
    unsigned checksum = 0;
    const double start = cpuSeconds();
    for (int k = 0; k < kFrames; ++k) {
        clipMonoWindow(clip, sampleAt(k / kRate), kWindowSamples, window);
        analyser.analyse(window, texels);
        checksum += texels[k % kSoundTexels];
    }
    const double perFrame = (cpuSeconds() - start) / kFrames;
    std::printf("%.4f ms per frame (%d frames; checksum %u)\n", perFrame * 1e3, kFrames, checksum);
    return 0;
}
