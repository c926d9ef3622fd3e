// Arbitrary bytes through the image header check and decoder: nothing it
// accepts may exceed the side it was given or come without pixels, and what
// it refuses it refuses with a reason.
#include "render/image_files.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Small enough that whatever passes the check decodes quickly.
    constexpr int kMaxSide = 256;
    DecodedImage image;
    const std::string error = decodeImage(data, size, kMaxSide, image);
    if (error.empty() ? image.width < 1 || image.width > kMaxSide || image.height < 1 ||
                            image.height > kMaxSide || image.pixels == nullptr
                      : image.width != 0)
        std::abort();
    return 0;
}
