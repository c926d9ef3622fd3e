// Output names, checked before any window opens.
#include "output/output_name.h"

#include "output/expect.h"
#include "util/program_path.h"
#include "util/text.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

constexpr const char *kVideoSuffixes[] = {".mp4", ".mkv", ".mov", ".webm", ".gif"};
constexpr const char *kPictureSuffix = ".png";
// Players slow a GIF down past this: its delays are hundredths of a second.
constexpr double kGifMaxRate = 50.0;
constexpr double kGifRate = 25.0;
constexpr const char *kEncoder = "ffmpeg";

// Length of the frame number starting at at, or 0 when there is none.
std::size_t frameNumberAt(const std::string &path, std::size_t at, int &digits) {
    if (path.compare(at, 2, "%d") == 0) {
        digits = 1;
        return 2;
    }
    if (at + 3 < path.size() && path[at + 1] == '0' && path[at + 2] >= '1' && path[at + 2] <= '9' &&
        path[at + 3] == 'd') {
        digits = path[at + 2] - '0';
        return 4;
    }
    return 0;
}

} // namespace

OutputName parseOutputName(const std::string &path) {
    OutputName name;
    if (path.empty())
        return name;
    if (path == kStreamName) {
        name.kind = OutputKind::kStream;
        return name;
    }
    int numbers = 0;
    for (std::size_t at = path.find('%'); at != std::string::npos; at = path.find('%', at + 1)) {
        int digits = 0;
        const std::size_t length = frameNumberAt(path, at, digits);
        if (length == 0)
            continue;
        if (++numbers == 1) {
            name.prefix = path.substr(0, at);
            name.suffix = path.substr(at + length);
            name.digits = digits;
        }
        at += length - 1;
    }
    if (numbers > 1) {
        name.error = "--output: '" + path +
                     "' has more than one frame number; a sequence has one, "
                     "such as frames/%04d.png";
    } else if (numbers == 1) {
        name.kind = OutputKind::kSequence;
        if (!endsWith(path, kPictureSuffix))
            name.error = "--output: '" + path + "' has a frame number but does not end in .png";
    } else {
        name.kind = OutputKind::kPicture;
        for (const char *suffix : kVideoSuffixes)
            if (endsWith(path, suffix))
                name.kind = OutputKind::kVideo;
    }
    return name;
}

namespace {

bool isGif(const std::string &path) {
    return endsWith(path, ".gif");
}

} // namespace

std::string applyRecordingRules(Options &options, bool rateGiven) {
    const OutputName name = parseOutputName(options.output);
    if (!name.error.empty())
        return name.error;
    if (name.kind == OutputKind::kVideo) {
        options.encoder = findProgram(kEncoder);
        if (options.encoder.empty())
            return "--output: recording '" + options.output +
                   "' needs ffmpeg, which is not installed (Debian package: ffmpeg)";
    }
    if (name.kind == OutputKind::kVideo && isGif(options.output)) {
        if (!rateGiven)
            options.rate = kGifRate;
        else if (options.rate > kGifMaxRate) {
            std::ostringstream message;
            message << "--rate: a GIF plays at most 50 frames per second, not " << options.rate;
            return message.str();
        }
    }
    if (!options.expect.empty()) {
        Reference reference;
        const std::string error = loadReference(options.expect, reference);
        if (!error.empty())
            return "--expect: " + error;
        // Any other size could only differ.
        if (!options.sizeGiven) {
            if (std::max(reference.width, reference.height) > kMaxRenderSide)
                return "--expect: '" + options.expect + "' is " + std::to_string(reference.width) +
                       "x" + std::to_string(reference.height) + ", larger than the sides of " +
                       std::to_string(kMaxRenderSide) + " the program renders";
            options.width = reference.width;
            options.height = reference.height;
            options.sizeGiven = true;
        }
    }
    const bool records = name.kind == OutputKind::kVideo || name.kind == OutputKind::kSequence ||
                         name.kind == OutputKind::kStream;
    if (records)
        options.record.swap(options.output);
    options.fixedClock = options.fixedClock || records || !options.expect.empty();
    return "";
}
