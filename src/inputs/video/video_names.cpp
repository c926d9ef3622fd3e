// Video extensions and camera devices.
#include "inputs/video/video_names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

const char *const kVideoExtensions[] = {".mp4", ".mkv", ".mov", ".webm", ".avi"};
const std::string kDevicePrefix = "video";

} // namespace

bool isVideoFile(const std::string &path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(std::begin(kVideoExtensions), std::end(kVideoExtensions), extension) !=
           std::end(kVideoExtensions);
}

std::string firstCamera(const std::string &devices) {
    std::string first;
    long lowest = -1;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(devices, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, kDevicePrefix.size(), kDevicePrefix) != 0)
            continue;
        const std::string digits = name.substr(kDevicePrefix.size());
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(),
                                           [](unsigned char c) { return std::isdigit(c); }))
            continue;
        const long number = std::strtol(digits.c_str(), nullptr, 10);
        if (lowest < 0 || number < lowest) {
            lowest = number;
            first = entry.path().string();
        }
    }
    return first;
}
