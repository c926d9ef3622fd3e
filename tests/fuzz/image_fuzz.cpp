// Arbitrary bytes through the image header check: what it accepts has pixels,
// fits the side it was given and decodes to at most 1 GiB; what it refuses it
// refuses with a reason and no size. Decoding itself is stb_image's, which is
// not hardened against hostile files.
#include "inputs/image_files.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    constexpr int kMaxSide = 16384;
    constexpr std::size_t kTexelBytes[] = {4, 8, 16}; // 8-bit, 16-bit and float RGBA
    DecodedImage image;
    const std::string error = checkImageHeader(data, size, kMaxSide, image);
    const std::size_t texel = kTexelBytes[image.type == GL_UNSIGNED_BYTE    ? 0
                                          : image.type == GL_UNSIGNED_SHORT ? 1
                                                                            : 2];
    if (error.empty()
            ? image.width < 1 || image.width > kMaxSide || image.height < 1 ||
                  image.height > kMaxSide ||
                  static_cast<std::size_t>(image.width) * image.height * texel > kMaxImageBytes
            : image.width != 0 || error.find('\n') != std::string::npos)
        std::abort();
    return 0;
}
