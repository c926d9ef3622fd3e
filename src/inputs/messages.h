// Every line the inputs print, spelled as printed (each goes to standard
// output on a line of its own).
#pragma once

#include <string>

inline std::string noImageLine(const std::string &name, const std::string &dir) {
    return "No image for sampler " + name + ": give --texture " + name + "=FILE or put " + name +
           ".png in " + dir;
}

inline std::string failedImageLine(const std::string &path, const std::string &reader,
                                   const std::string &reason) {
    return "Failed to load image " + path + " for " + reader + ": " + reason;
}

// names: each name preceded by a space.
inline std::string noUnitLine(const std::string &names) {
    return "No texture unit left for sampler(s)" + names;
}

inline std::string unusedChoiceLine(const std::string &name) {
    return "No program uses sampler " + name;
}

inline std::string unwiredLine(const std::string &channel, const std::string &program) {
    return "No input for " + channel + " of " + program + ": wire it in quorlin.toml";
}

inline std::string missingPassLine(const std::string &file, const std::string &channel,
                                   const std::string &program) {
    return "No " + file + " for " + channel + " of " + program + ": it reads a cleared target";
}

// Video inputs: where is the pass and sampler, such as "Image iChannel0".
inline std::string videoFailedLine(const std::string &source, const std::string &where,
                                   const std::string &reason) {
    return "Failed to open video " + source + " for " + where + ": " + reason;
}

inline std::string videoEndedLine(const std::string &source, const std::string &where,
                                  const std::string &reason) {
    return "Video " + source + " for " + where + " ended: " + reason;
}

inline std::string skippedFramesLine(const std::string &source, const std::string &where,
                                     long count) {
    return "Skipped " + std::to_string(count) + " late frame" + (count == 1 ? "" : "s") +
           " of video " + source + " for " + where;
}

// The reasons a video gives in those lines besides ffmpeg's own.
inline const std::string kNoVideoStream = "it holds no video stream";
inline const std::string kNoPicture = "it holds no picture";
inline const std::string kNothingWithin = "nothing received within 5 s";
inline const std::string kNothingFor = "nothing received for 5 s";
inline const std::string kStreamEnded = "the stream ended";
inline const std::string kNoCamera = "there is no /dev/video device";
// As recordings say it.
inline const std::string kNoFfmpeg =
    "needs ffmpeg, which is not installed (Debian package: ffmpeg)";

// Why a cube map's face was refused, after failedImageLine's "REASON".
inline std::string notSquareReason(int width, int height) {
    return "not square (" + std::to_string(width) + "x" + std::to_string(height) + ")";
}
inline std::string otherSizeReason(int width, int height, int side, const std::string &first) {
    return std::to_string(width) + "x" + std::to_string(height) + ", not the " +
           std::to_string(side) + "x" + std::to_string(side) + " of " + first;
}
inline std::string otherDepthReason(const std::string &first) {
    return "not the same depth of pixels as " + first;
}
inline std::string cubeTooLargeReason(int most) {
    return "larger than " + std::to_string(most) + " a side (GL_MAX_CUBE_MAP_TEXTURE_SIZE)";
}
