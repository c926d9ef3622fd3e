// The uniforms of the main appended to a file written around mainSound: the
// sample number of a block's first fragment and the samples in a row, and
// the sample rate that turns a sample number into its time.
#pragma once

constexpr const char *kSoundBlock = "quorlinSoundBlock";
constexpr const char *kSoundRate = "quorlinSampleRate";
