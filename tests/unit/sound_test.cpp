// The sound analysis against its formulas, evaluated here in double with a
// plain DFT: Blackman window, |X[k]| / 2048, smoothing, decibels to bytes.
#include "inputs/sound/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const double kPi = std::acos(-1.0);

// The byte the formulas give for bin k, and how far the unrounded value is
// from a byte boundary (float arithmetic may fall either side of one).
struct Expected {
    double value;
    int byte() const { return value <= 0 ? 0 : value >= 255 ? 255 : int(std::floor(value)); }
    bool nearBoundary() const { return std::abs(value - std::round(value)) < 0.01; }
};

double magnitude(const std::vector<float> &x, int k) {
    double re = 0, im = 0;
    for (int n = 0; n < kWindowSamples; ++n) {
        const double w = 0.42 - 0.5 * std::cos(2 * kPi * n / kWindowSamples) +
                         0.08 * std::cos(4 * kPi * n / kWindowSamples);
        re += x[n] * w * std::cos(2 * kPi * k * n / kWindowSamples);
        im -= x[n] * w * std::sin(2 * kPi * k * n / kWindowSamples);
    }
    return std::hypot(re, im) / kWindowSamples;
}

TEST(SoundAnalysis, SpectrumAndWaveformFollowTheFormulas) {
    // A tone between bins 46 and 47 over noise, so most bins sit inside the
    // -100..-30 dB range; the second frame is louder.
    std::vector<float> frames[2];
    unsigned noise = 1;
    for (int f = 0; f < 2; ++f)
        for (int n = 0; n < kWindowSamples; ++n) {
            noise = noise * 1103515245u + 12345u;
            frames[f].push_back(float((0.3 + 0.4 * f) * std::sin(2 * kPi * 1000.0 * n / 44100) +
                                      0.05 * ((noise >> 8) / double(1 << 24) - 0.5)));
        }
    SoundAnalyser analyser;
    unsigned char texels[kSoundTexels];
    std::vector<double> smoothed(kSoundTextureWidth, 0.0);
    for (const std::vector<float> &x : frames) {
        analyser.analyse(x.data(), texels);
        int checked = 0;
        for (int k = 0; k < kSoundTextureWidth; ++k) {
            smoothed[k] = 0.8 * smoothed[k] + 0.2 * magnitude(x, k);
            const Expected e{255.0 * (20 * std::log10(smoothed[k]) + 100) / 70};
            if (e.nearBoundary())
                continue;
            EXPECT_EQ(texels[k], e.byte()) << "bin " << k << " value " << e.value;
            checked += e.byte() > 0 && e.byte() < 255;
        }
        EXPECT_GT(checked, 400); // bins inside the range, not only clamped ones
        for (int i = 0; i < kSoundTextureWidth; ++i)
            EXPECT_EQ(texels[kSoundTextureWidth + i],
                      int(std::floor(128.0 * (x[kWindowSamples - kSoundTextureWidth + i] + 1))))
                << "waveform " << i;
    }
    // The peak bin, 1000 x 2048 / 44100 = 46.4.
    const unsigned char *peak = std::max_element(texels, texels + kSoundTextureWidth);
    EXPECT_EQ(peak - texels, 46);
    analyser.reset();
    analyser.analyse(std::vector<float>(kWindowSamples, 0.0f).data(), texels);
    unsigned char silence[kSoundTexels];
    silentTexels(silence);
    EXPECT_EQ(std::vector<int>(texels, texels + kSoundTexels),
              std::vector<int>(silence, silence + kSoundTexels));
    EXPECT_EQ(silence[0] + silence[kSoundTextureWidth], 128);
}

} // namespace
