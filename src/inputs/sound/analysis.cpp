// The analyser's formulas, spelled out in the README's "Sound" section.
#include "inputs/sound/analysis.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBlackmanAlpha = 0.16;
constexpr float kMinDecibels = -100.0f;
constexpr float kMaxDecibels = -30.0f;
constexpr float kByteMax = 255.0f;
// A waveform byte is 128 (1 + x): silence sits at 128.
constexpr float kWaveformScale = 128.0f;

// Below 0 (the -inf of a silent bin included) and NaN read 0.
unsigned char byteOf(float value) {
    return value > 0.0f ? static_cast<unsigned char>(std::min(value, kByteMax)) : 0;
}

} // namespace

SoundAnalyser::SoundAnalyser()
    : samples_(fftwf_alloc_real(kWindowSamples)),
      spectrum_(fftwf_alloc_complex(kWindowSamples / 2 + 1)),
      plan_(fftwf_plan_dft_r2c_1d(kWindowSamples, samples_, spectrum_, FFTW_ESTIMATE)) {
    for (int n = 0; n < kWindowSamples; ++n) {
        const double x = static_cast<double>(n) / kWindowSamples;
        blackman_[n] =
            static_cast<float>((1.0 - kBlackmanAlpha) / 2.0 - 0.5 * std::cos(2 * kPi * x) +
                               kBlackmanAlpha / 2.0 * std::cos(4 * kPi * x));
    }
    reset();
}

SoundAnalyser::~SoundAnalyser() {
    fftwf_destroy_plan(plan_);
    fftwf_free(spectrum_);
    fftwf_free(samples_);
}

void SoundAnalyser::reset() {
    std::fill(std::begin(smoothed_), std::end(smoothed_), 0.0f);
}

void SoundAnalyser::analyse(const float *window, unsigned char texels[kSoundTexels]) {
    for (int n = 0; n < kWindowSamples; ++n)
        samples_[n] = window[n] * blackman_[n];
    fftwf_execute(plan_);
    unsigned char *spectrum = texels;
    for (int k = 0; k < kSoundTextureWidth; ++k) {
        const float magnitude = std::hypot(spectrum_[k][0], spectrum_[k][1]) / kWindowSamples;
        smoothed_[k] = kSmoothing * smoothed_[k] + (1.0f - kSmoothing) * magnitude;
        const float decibels = 20.0f * std::log10(smoothed_[k]);
        spectrum[k] = byteOf(
            std::floor(kByteMax * (decibels - kMinDecibels) / (kMaxDecibels - kMinDecibels)));
    }
    unsigned char *waveform = texels + kSoundTextureWidth;
    const float *newest = window + kWindowSamples - kSoundTextureWidth;
    for (int i = 0; i < kSoundTextureWidth; ++i)
        waveform[i] = byteOf(std::floor(kWaveformScale * (newest[i] + 1.0f)));
}

void silentTexels(unsigned char texels[kSoundTexels]) {
    std::memset(texels, 0, kSoundTextureWidth);
    std::memset(texels + kSoundTextureWidth, static_cast<int>(kWaveformScale), kSoundTextureWidth);
}
