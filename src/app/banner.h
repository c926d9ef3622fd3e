// The start-up banner: the language-standard level the build targets.
#pragma once

#include <array>

// "C++" and the two-digit year of a __cplusplus value, e.g. 201703 -> "C++17".
constexpr std::array<char, 6> standardTag(long cplusplus) {
    const long year = cplusplus / 100 % 100;
    return {'C', '+', '+', static_cast<char>('0' + year / 10), static_cast<char>('0' + year % 10),
            '\0'};
}

inline constexpr std::array<char, 6> kStandardTag = standardTag(__cplusplus);
