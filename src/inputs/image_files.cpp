// Header check and decoding with stb_image.
#include "inputs/image_files.h"

#include "inputs/decode_apart.h"

#include <stb_image.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

constexpr int kChannels = 4;
constexpr const char *kTooLong = "the file is larger than stb_image reads";

struct Layout {
    GLenum internalFormat;
    GLenum type;
    std::size_t channelBytes;
};
constexpr Layout kEightBit = {GL_RGBA8, GL_UNSIGNED_BYTE, 1};
constexpr Layout kSixteenBit = {GL_RGBA16, GL_UNSIGNED_SHORT, 2};
constexpr Layout kFloat = {GL_RGBA32F, GL_FLOAT, 4};

// stb_image expands 16-bit PNM to more channels with its 8-bit converter and
// then reads past the result, so 16-bit pictures are decoded in their own
// channels and expanded here: grey (g, g, g, 1), grey and alpha (g, g, g, a),
// RGB with alpha 1.
void *expandSixteenBit(const stbi_us *in, std::size_t pixels, int channels) {
    constexpr stbi_us kOpaque = 0xFFFF;
    auto *out = static_cast<stbi_us *>(std::malloc(pixels * kChannels * sizeof(stbi_us)));
    if (out == nullptr)
        return nullptr;
    const bool grey = channels < 3, alpha = channels % 2 == 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const stbi_us *p = in + i * static_cast<std::size_t>(channels);
        stbi_us *q = out + i * kChannels;
        q[0] = p[0];
        q[1] = p[grey ? 0 : 1];
        q[2] = p[grey ? 0 : 2];
        q[3] = alpha ? p[channels - 1] : kOpaque;
    }
    return out;
}

std::string failure() {
    // Some of stb_image's failures leave no reason, or an empty one.
    const char *reason = stbi_failure_reason();
    return reason != nullptr && *reason != '\0' ? reason : "stb_image cannot decode it";
}

} // namespace

std::string checkImageHeader(const unsigned char *bytes, std::size_t size, int maxSide,
                             DecodedImage &image) {
    if (size > static_cast<std::size_t>(INT_MAX))
        return kTooLong;
    const int length = static_cast<int>(size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels))
        return failure();
    // stb_image lets a PNM header with a side of 0 through.
    if (width < 1 || height < 1)
        return "the header announces no pixels";
    if (width > maxSide || height > maxSide)
        return std::to_string(width) + "x" + std::to_string(height) + " pixels exceed " +
               std::to_string(maxSide) + " a side (GL_MAX_TEXTURE_SIZE)";
    const Layout layout = stbi_is_hdr_from_memory(bytes, length)      ? kFloat
                          : stbi_is_16_bit_from_memory(bytes, length) ? kSixteenBit
                                                                      : kEightBit;
    const std::size_t decoded = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                kChannels * layout.channelBytes;
    if (decoded > kMaxImageBytes)
        return std::to_string(width) + "x" + std::to_string(height) + " pixels decode to " +
               std::to_string(decoded) + " bytes, above 1 GiB";
    image.width = width;
    image.height = height;
    image.internalFormat = layout.internalFormat;
    image.type = layout.type;
    image.bytes = decoded;
    return "";
}

std::string decodeImage(const unsigned char *bytes, std::size_t size, int maxSide, bool upright,
                        DecodedImage &image) {
    const std::string problem = checkImageHeader(bytes, size, maxSide, image);
    return problem.empty() ? decodePixels(bytes, size, upright, image) : problem;
}

std::string decodePixels(const unsigned char *bytes, std::size_t size, bool upright,
                         DecodedImage &image) {
    const int length = static_cast<int>(size), width = image.width, height = image.height;
    // GL's first row is the bottom one; a file's is the top one.
    stbi_set_flip_vertically_on_load(upright ? 1 : 0);
    int decodedWidth = 0, decodedHeight = 0, channels = 0;
    void *pixels = nullptr;
    if (image.type == GL_FLOAT)
        pixels = stbi_loadf_from_memory(bytes, length, &decodedWidth, &decodedHeight, &channels,
                                        kChannels);
    else if (image.type == GL_UNSIGNED_SHORT)
        pixels =
            stbi_load_16_from_memory(bytes, length, &decodedWidth, &decodedHeight, &channels, 0);
    else
        pixels = stbi_load_from_memory(bytes, length, &decodedWidth, &decodedHeight, &channels,
                                       kChannels);
    if (pixels == nullptr)
        return failure();
    image.pixels = {pixels, stbi_image_free};
    if (image.type == GL_UNSIGNED_SHORT) {
        if (channels < 1 || channels > kChannels || decodedWidth != width ||
            decodedHeight != height)
            return "the picture's channels or size differ from its header's";
        pixels = expandSixteenBit(
            static_cast<const stbi_us *>(pixels),
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height), channels);
        if (pixels == nullptr)
            return "out of memory";
        image.pixels = {pixels, std::free};
    }
    // The header was checked, not the picture; they agree for every format
    // stb_image reads, and a texture is made only from what was checked.
    if (decodedWidth != width || decodedHeight != height)
        return "the picture's size differs from its header's";
    return "";
}

std::string readImageFile(const std::string &path, int maxSide, bool upright, DecodedImage &image) {
    std::error_code error;
    // Only a regular file has an end to read to: a FIFO would block.
    if (!std::filesystem::is_regular_file(path, error))
        return error ? error.message() : "not a regular file";
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::strerror(errno);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return error.message();
    if (size > static_cast<std::uintmax_t>(INT_MAX))
        return kTooLong;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(size)))
        return "the file could not be read whole";
    return decodeApart(bytes.data(), bytes.size(), maxSide, upright, image);
}
