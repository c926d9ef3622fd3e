// Every line the sound subsystem prints, spelled as printed.
#pragma once

#include <string>

inline std::string noSoundOutput(const std::string &reason) {
    return "No sound output: " + reason;
}

inline std::string lostSoundServer(const std::string &reason) {
    return "Lost the sound server: " + reason;
}
