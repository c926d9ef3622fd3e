// Every line the sound subsystem prints, spelled as printed.
#pragma once

#include <string>

inline std::string noSoundOutput(const std::string &reason) {
    return "No sound output: " + reason;
}

inline std::string lostSoundServer(const std::string &reason) {
    return "Lost the sound server: " + reason;
}

// reader: the pass and channel, as "Image iChannel0".
inline std::string failedSoundLine(const std::string &file, const std::string &reader,
                                   const std::string &reason) {
    return "Failed to load sound " + file + " for " + reader + ": " + reason;
}

// source: "microphone" or "loopback".
inline std::string failedCaptureLine(const std::string &source, const std::string &reader,
                                     const std::string &reason) {
    return "Failed to open " + source + " for " + reader + ": " + reason;
}
