// The shipped shader set, compiled into the program by cmake/embed.cmake: what
// --new writes, and the vertex and viewer files a set without them uses.
#pragma once

#include <cstddef>
#include <string>

struct ShippedFile {
    const char *name;
    const unsigned char *bytes;
    std::size_t size;
};
extern const ShippedFile kShippedSet[];
extern const std::size_t kShippedFiles;

// The text of the shipped file with that bare name; empty for another name.
std::string shippedText(const std::string &name);
