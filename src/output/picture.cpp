// Read-back and PNG writing.
#include "output/picture.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr int kChannels = 4;
constexpr unsigned char kOpaque = 255;

void appendBytes(void *context, void *data, int size) {
    auto *bytes = static_cast<std::vector<unsigned char> *>(context);
    const auto *begin = static_cast<const unsigned char *>(data);
    bytes->insert(bytes->end(), begin, begin + size);
}

std::string systemError(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

// Written beside the target and renamed over it, so that nobody (a watcher,
// an image viewer) ever sees half a file.
std::string writeWhole(const std::string &path, const std::vector<unsigned char> &bytes) {
    const std::string partial = path + ".part";
    std::FILE *file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr)
        return systemError("cannot create the file");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int savedErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        if (!written)
            errno = savedErrno;
        std::string reason = systemError("cannot write the file");
        std::remove(partial.c_str());
        return reason;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::string reason = systemError("cannot rename the file into place");
        std::remove(partial.c_str());
        return reason;
    }
    return "";
}

std::string writePicture(const unsigned char *pixels, int width, int height,
                         const std::string &path) {
    std::vector<unsigned char> png;
    if (!stbi_write_png_to_func(appendBytes, &png, width, height, kChannels, pixels,
                                width * kChannels))
        return "cannot encode the picture";
    return writeWhole(path, png);
}

std::string saveWindowPicture(GLuint framebuffer, int width, int height, const std::string &path) {
    if (width <= 0 || height <= 0)
        return "the window has no pixels";
    const std::size_t rowBytes = static_cast<std::size_t>(width) * kChannels;
    std::vector<unsigned char> pixels(rowBytes * static_cast<std::size_t>(height));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    if (framebuffer == 0) // a framebuffer object reads its only attachment
        glReadBuffer(GL_BACK);
    // Rows of four bytes a pixel are always 4-aligned, the default packing.
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    // The window is opaque whatever alpha the shader wrote.
    for (std::size_t i = kChannels - 1; i < pixels.size(); i += kChannels)
        pixels[i] = kOpaque;
    // GL's first row is the bottom one; the file's is the top one. Flipped here
    // rather than by the encoder, whose switch for it is one global for every thread.
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels.begin() + top * rowBytes, pixels.begin() + (top + 1) * rowBytes,
                         pixels.begin() + bottom * rowBytes);
    return writePicture(pixels.data(), width, height, path);
}

std::string screenshotName() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const int millis =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
    char name[64];
    std::snprintf(name, sizeof(name), "quorlin-%s-%03d.png", stamp, millis);
    return name;
}
