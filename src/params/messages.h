// Every line the parameters print, spelled as printed.
#pragma once

#include <string>

namespace param_messages {

inline std::string unused(const std::string &name) {
    return "No program uses parameter " + name;
}

// A place in params.toml, in front of what is wrong there.
inline std::string inFile(long line, long column, const std::string &what) {
    return "params.toml:" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
}

inline std::string notAValue(const std::string &name) {
    return name + " is not a number, true, false or an array of 2 to 4 numbers";
}

inline std::string badSetting(const std::string &setting, const std::string &what) {
    return "--set " + setting + ": " + what;
}

inline std::string saved(const std::string &path) {
    return "Saved " + path;
}

inline std::string notSaved(const std::string &path, const std::string &reason) {
    return "Failed to save " + path + ": " + reason;
}

inline std::string cannotListen(const std::string &where, const std::string &reason) {
    return "cannot listen on UDP " + where + ": " + reason;
}

inline std::string badAddress(const std::string &given) {
    return "--osc: '" + given + "' is not PORT or HOST:PORT with PORT from 1 to 65535";
}

inline std::string oscProblem(const std::string &path, const std::string &what) {
    return "OSC " + path + ": " + what;
}

inline std::string oscNotNumbers() {
    return "give 1 to 4 numbers";
}

} // namespace param_messages
