// What --output names: one picture, a video that ffmpeg encodes, a PNG
// sequence numbered by frame, or a stream of frames on standard output; and
// the command-line rules that go with them.
#pragma once

#include "app/options.h"

#include <string>

enum class OutputKind { kNone, kPicture, kVideo, kSequence, kStream };

// The --output name of the stream.
constexpr const char *kStreamName = "-";

struct OutputName {
    OutputKind kind = OutputKind::kNone;
    std::string error; // why the name is bad usage; empty when it is not
    // A sequence's name around its frame number, and the number's least width.
    std::string prefix;
    std::string suffix;
    int digits = 0;
};

// Exactly one "%d" or "%0Nd" (N from 1 to 9) in a name ending in ".png" makes a
// sequence; any other '%' is part of the name.
OutputName parseOutputName(const std::string &path);

// Moves a video, sequence or stream from options.output to options.record and applies
// the clock and frame rules of recordings and --expect. rateGiven: --rate was
// on the command line. Returns why the command is unusable, or "".
std::string applyRecordingRules(Options &options, bool rateGiven);
