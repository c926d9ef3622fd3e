// Reference pictures: reading, comparing and the picture of the differences.
#include "output/expect.h"

#include "output/picture.h"
#include "util/text.h"

#include <stb_image.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

constexpr int kChannels = 4;
constexpr int kCompared = 3; // pictures are opaque: alpha is not compared
constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr int kDimming = 4; // the rendered picture shows at a quarter of its brightness
constexpr unsigned char kMarked[kChannels] = {255, 0, 0, 255};
constexpr const char *kPictureSuffix = ".png";
constexpr const char *kDiffSuffix = ".diff.png";

std::string diffName(const std::string &referencePath) {
    std::string name = std::filesystem::path(referencePath).filename().string();
    if (endsWith(name, kPictureSuffix))
        name.resize(name.size() - std::strlen(kPictureSuffix));
    return name + kDiffSuffix;
}

} // namespace

std::string loadReference(const std::string &path, Reference &reference) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "'" + path + (errno == ENOENT ? "' does not exist" : "' cannot be read: ") +
               (errno == ENOENT ? "" : std::strerror(errno));
    // The signature first: a device that never ends is no PNG either.
    std::vector<unsigned char> bytes(sizeof(kSignature));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    const bool isPng = bytes.size() == sizeof(kSignature) &&
                       std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
    unsigned char chunk[1 << 16];
    std::size_t got = 0;
    while (isPng && (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError != 0)
        return "'" + path + "' cannot be read: " + std::strerror(readError);
    if (!isPng)
        return "'" + path + "' is not a PNG";
    int width = 0;
    int height = 0;
    int channels = 0;
    unsigned char *pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                  &width, &height, &channels, kChannels);
    if (pixels == nullptr)
        return "'" + path + "' cannot be read as a PNG: " + stbi_failure_reason();
    reference.path = path;
    reference.width = width;
    reference.height = height;
    reference.pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height * kChannels);
    stbi_image_free(pixels);
    return "";
}

int judgePicture(const Reference &reference, const unsigned char *picture, int width, int height,
                 int tolerance, std::ostream &out) {
    const std::string diff = diffName(reference.path);
    if (width != reference.width || height != reference.height) {
        out << "Differs from " << reference.path << ": " << width << "x" << height << " rendered, "
            << reference.width << "x" << reference.height << " expected" << std::endl;
        return 1;
    }
    std::vector<unsigned char> marked(reference.pixels.size());
    long differing = 0;
    int largest = 0;
    int largestX = 0;
    int largestY = 0;
    for (int y = 0; y < height; ++y) {
        // The picture's rows are GL's, bottom first; y counts from the top.
        const unsigned char *row =
            picture + static_cast<std::size_t>(height - 1 - y) * width * kChannels;
        for (int x = 0; x < width; ++x) {
            const unsigned char *rendered = row + x * kChannels;
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * kChannels;
            int pixelLargest = 0;
            for (int c = 0; c < kCompared; ++c)
                pixelLargest =
                    std::max(pixelLargest, std::abs(rendered[c] - reference.pixels[at + c]));
            if (pixelLargest > largest) {
                largest = pixelLargest;
                largestX = x;
                largestY = y;
            }
            const bool differs = pixelLargest > tolerance;
            differing += differs;
            for (int c = 0; c < kChannels; ++c)
                marked[at + c] = differs         ? kMarked[c]
                                 : c < kCompared ? rendered[c] / kDimming
                                                 : kMarked[c];
        }
    }
    if (differing == 0) {
        std::remove(diff.c_str());
        out << "Matches " << reference.path << " (largest difference " << largest << ")"
            << std::endl;
        return 0;
    }
    out << "Differs from " << reference.path << ": " << differing << " of "
        << static_cast<long>(width) * height << " pixels by more than " << tolerance
        << " (largest difference " << largest << " at " << largestX << "," << largestY
        << "); differences in " << diff << std::endl;
    const std::string error = writePicture(marked.data(), width, height, diff);
    if (!error.empty())
        out << "Failed to write " << diff << ": " << error << std::endl;
    return 1;
}
