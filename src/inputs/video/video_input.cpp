// Opening, following and closing a video input.
#include "inputs/video/video_input.h"

#include "inputs/messages.h"
#include "inputs/video/video_names.h"
#include "inputs/video/video_probe.h"
#include "util/program_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>

namespace {

constexpr const char *kCameraFormat = "v4l2";
// A size change asks for every slot again; past this in one frame a mapping
// keeps failing, and the frame goes on without.
constexpr int kMostMappings = 2 * kVideoSlots;
// How long opening a file waits for its first frame at most.
constexpr auto kFirstFrameWait = std::chrono::seconds(2);

void lendWanted(VideoInput &video, int &mappings) {
    std::size_t bytes = 0;
    for (int slot; mappings < kMostMappings && (slot = video.feed->memoryWanted(bytes)) >= 0;
         ++mappings)
        video.feed->lend(slot, mapSlot(video.texture, slot, bytes));
}

void printNotes(VideoInput &video) {
    for (const FeedNote &note : video.feed->takeNotes())
        std::cout << (note.opened ? videoEndedLine(video.spec.source, video.where, note.reason)
                                  : videoFailedLine(video.spec.source, video.where, note.reason))
                  << std::endl;
}

// "WxH" as a stream asks for it, or (0, 0).
glm::ivec2 sizeOf(const std::string &text) {
    int width = 0, height = 0;
    char x = 0;
    if (std::sscanf(text.c_str(), "%d%c%d", &width, &x, &height) != 3 || x != 'x')
        return {0, 0};
    return {width, height};
}

} // namespace

bool openVideo(VideoInput &video, const VideoSpec &spec, const std::string &where, bool exact,
               double time) {
    FeedSettings settings;
    DecodeRequest &request = settings.request;
    request.ffmpeg = findProgram("ffmpeg");
    const std::string ffprobe = findProgram("ffprobe");
    request.input = spec.source == kCamera ? firstCamera() : spec.source;
    request.stream = spec.stream;
    request.format = spec.source == kCamera && spec.format.empty() ? kCameraFormat : spec.format;
    request.size = spec.size;
    request.vflip = spec.vflip;
    std::string failure = request.ffmpeg.empty() || ffprobe.empty() ? kNoFfmpeg : "";
    if (failure.empty() && request.input.empty())
        failure = kNoCamera;
    if (failure.empty() && !spec.stream &&
        (request.file = open(spec.source.c_str(), O_RDONLY | O_CLOEXEC)) < 0)
        failure = std::strerror(errno);
    VideoProbe probe;
    if (failure.empty() && !spec.stream)
        failure = probeVideo(ffprobe, request.file, probe);
    if (!failure.empty()) {
        if (request.file >= 0)
            close(request.file);
        std::cout << videoFailedLine(spec.source, where, failure) << std::endl;
        return false;
    }
    video.file = request.file;
    video.spec = spec;
    video.where = where;
    video.size = spec.stream ? sizeOf(spec.size) : probe.size;
    video.duration = probe.duration;
    createVideoTexture(video.texture, spec.sampling, spec.mipmaps);
    settings.loop = spec.loop;
    settings.exact = exact;
    settings.start = probe.start;
    settings.duration = probe.duration;
    settings.firstTime = time;
    video.feed = std::make_unique<VideoFeed>(settings);
    // A file's first frames go straight into buffers of the right size, and
    // the first is there before the frame loop runs: on the live clock it is
    // due at once.
    const std::size_t bytes = static_cast<std::size_t>(video.size.x) * video.size.y * 4;
    for (int slot = 0; slot < kVideoSlots && bytes > 0; ++slot)
        video.feed->lend(slot, mapSlot(video.texture, slot, bytes));
    if (!spec.stream)
        video.feed->waitForFirstFrame(std::chrono::steady_clock::now() + kFirstFrameWait);
    return true;
}

bool updateVideo(VideoInput &video, double time, GLenum unit) {
    int mappings = 0;
    lendWanted(video, mappings);
    Frame frame;
    VideoFeed::Pick pick;
    while ((pick = video.feed->pick(time, frame)) == VideoFeed::Pick::kNeedMemory &&
           mappings < kMostMappings)
        lendWanted(video, mappings);
    printNotes(video);
    const glm::ivec2 before = video.size;
    if (pick == VideoFeed::Pick::kShow) {
        const SlotMemory memory = unit != 0
                                      ? uploadSlot(video.texture, frame.slot, frame.size, unit)
                                      : video.texture.memory[frame.slot];
        video.feed->shown(frame.slot, memory);
        video.size = frame.size;
    }
    video.duration = video.spec.stream ? 0.0 : video.feed->duration();
    if (video.spec.stream)
        video.position = pick == VideoFeed::Pick::kShow ? frame.time : video.position;
    else if (video.duration > 0.0)
        video.position = video.spec.loop ? std::fmod(std::max(time, 0.0), video.duration)
                                         : std::clamp(time, 0.0, video.duration);
    else
        video.position = std::max(time, 0.0);
    return video.size != before;
}

void closeVideo(VideoInput &video) {
    if (video.feed) {
        printNotes(video);
        const long skipped = video.feed->skipped();
        video.feed.reset();
        if (skipped > 0)
            std::cout << skippedFramesLine(video.spec.source, video.where, skipped) << std::endl;
    }
    if (video.file >= 0)
        close(video.file);
    deleteVideoTexture(video.texture);
}
