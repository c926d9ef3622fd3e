// Image files decoded with stb_image into pixels ready for a GL texture:
// RGBA rows, bottom row first when upright, 8-bit, 16-bit or float per channel.
#pragma once

#include <glad/gl.h>

#include <cstddef>
#include <memory>
#include <string>

// The most a decoded image may take.
constexpr std::size_t kMaxImageBytes = std::size_t{1} << 30;

struct DecodedImage {
    int width = 0;
    int height = 0;
    GLenum internalFormat = GL_RGBA8;
    GLenum type = GL_UNSIGNED_BYTE;
    std::size_t bytes = 0; // what the pixels take, known from the header
    std::unique_ptr<void, void (*)(void *)> pixels{nullptr, [](void *) {}};
};

// Reads only the header: refuses a picture without pixels, a side above
// maxSide or a decoded size above kMaxImageBytes, and otherwise fills in the
// size and layout the picture will decode to (no pixels). Returns an empty
// string, or why the bytes give no image.
std::string checkImageHeader(const unsigned char *bytes, std::size_t size, int maxSide,
                             DecodedImage &image);

// The pixels of a picture whose header passed checkImageHeader into image;
// upright puts the file's last row first, so (0, 0) is its bottom-left pixel.
std::string decodePixels(const unsigned char *bytes, std::size_t size, bool upright,
                         DecodedImage &image);

// The header check, then the pixels: nothing of the picture's size is
// allocated before its header passed.
std::string decodeImage(const unsigned char *bytes, std::size_t size, int maxSide, bool upright,
                        DecodedImage &image);

// The same for a file, which must be a regular file.
std::string readImageFile(const std::string &path, int maxSide, bool upright, DecodedImage &image);
