// The one sample format of everything that sounds: files are resampled to
// it, the sound pass renders in it, capture asks for it and recordings carry it.
#pragma once

#include <cmath>

constexpr int kSampleRate = 44100;
constexpr int kSoundChannels = 2; // interleaved left, right

// The sample that is playing at time seconds: the same rounding for the
// analysis window, the sound pass and a recording's audio track.
inline long long sampleAt(double seconds) {
    return std::llround(seconds * kSampleRate);
}
