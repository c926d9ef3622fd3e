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
