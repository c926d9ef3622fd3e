// Sound files decoded by an ffmpeg child process (the one that recordings
// use) into the one sample format, and the samples a position reads.
#pragma once

#include <string>
#include <vector>

struct SoundClip {
    std::vector<float> samples; // interleaved stereo at kSampleRate
    bool loop = true;           // plays again from the start when it ends
    long long frames() const { return static_cast<long long>(samples.size()) / 2; }
};

// Decodes any file ffmpeg reads; returns "" or why it gives no sound.
std::string decodeSoundFile(const std::string &path, SoundClip &clip);

// The stereo frame playing at sample position (from 0, the clip's start, on;
// looped or silent past the end; silent before 0) into left and right.
void clipFrame(const SoundClip &clip, long long position, float &left, float &right);

// The mono mix of the count samples before end into window, oldest first.
void clipMonoWindow(const SoundClip &clip, long long end, int count, float *window);

// Where position is within the clip, in seconds: wrapped when it loops,
// held at the end when it does not.
double clipSeconds(const SoundClip &clip, long long position);
