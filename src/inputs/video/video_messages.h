// Everything a video input says, spelled as it is printed.
#pragma once

#include <string>

inline const std::string kNoVideoStream = "it holds no video stream";
inline const std::string kNoPicture = "it holds no picture";
inline const std::string kNothingWithin = "nothing received within 5 s";
inline const std::string kNothingFor = "nothing received for 5 s";
inline const std::string kStreamEnded = "the stream ended";
// As recordings say it.
inline const std::string kNoFfmpeg =
    "needs ffmpeg, which is not installed (Debian package: ffmpeg)";

// where: the pass and sampler, such as "Image iChannel0".
inline std::string openFailureLine(const std::string &source, const std::string &where,
                                   const std::string &reason) {
    return "Failed to open video " + source + " for " + where + ": " + reason;
}

inline std::string endedLine(const std::string &source, const std::string &where,
                             const std::string &reason) {
    return "Video " + source + " for " + where + " ended: " + reason;
}

inline std::string skippedLine(const std::string &source, const std::string &where, long count) {
    return "Skipped " + std::to_string(count) + " late frame" + (count == 1 ? "" : "s") +
           " of video " + source + " for " + where;
}
