// A rendered picture judged against a known-good PNG, the way a shader
// author's CI would: pixel by pixel on red, green and blue.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct Reference {
    std::string path;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // 8-bit RGBA, top row first
};

// Reads path, which must be a PNG by content, as 8-bit RGBA whatever its depth
// or palette. Returns "" or why it cannot be used, naming path.
std::string loadReference(const std::string &path, Reference &reference);

// Compares a picture of GL's row order (bottom row first, RGBA) with the
// reference, prints the verdict on out and writes or removes the difference
// picture in the working directory. Returns 0 for a match, else 1.
int judgePicture(const Reference &reference, const unsigned char *picture, int width, int height,
                 int tolerance, std::ostream &out);
