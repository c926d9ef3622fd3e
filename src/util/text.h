// Small text tests shared by the subsystems.
#pragma once

#include <string>

inline bool endsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}
