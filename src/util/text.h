// Small text tests shared by the subsystems.
#pragma once

#include <sstream>
#include <string>

inline bool endsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The last line of text with more than blanks in it, as a child's last words.
inline std::string lastLineOf(const std::string &text) {
    std::istringstream lines(text);
    std::string line, last;
    while (std::getline(lines, line))
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
    return last;
}
