// Opening, following and closing a video input.
#include "inputs/video/video_input.h"

#include "inputs/video/video_messages.h"
#include "inputs/video/video_probe.h"
#include "util/child_process.h"

#include <cmath>
#include <iostream>

namespace {

// A size change asks for every slot again; past this in one frame a mapping
// keeps failing, and the frame goes on without.
constexpr int kMostMappings = 2 * kVideoSlots;

void lendWanted(VideoInput &video, int &mappings) {
    std::size_t bytes = 0;
    for (int slot; mappings < kMostMappings && (slot = video.feed->memoryWanted(bytes)) >= 0;
         ++mappings)
        video.feed->lend(slot, mapSlot(video.texture, slot, bytes));
}

void printNotes(VideoInput &video) {
    for (const FeedNote &note : video.feed->takeNotes())
        std::cout << (note.opened ? endedLine(video.spec.source, video.where, note.reason)
                                  : openFailureLine(video.spec.source, video.where, note.reason))
                  << std::endl;
}

} // namespace

bool openVideo(VideoInput &video, const VideoSpec &spec, const std::string &where, bool exact,
               double time) {
    video.spec = spec;
    video.where = where;
    createVideoTexture(video.texture, spec.sampling);
    FeedSettings settings;
    settings.request.ffmpeg = findProgram("ffmpeg");
    const std::string ffprobe = findProgram("ffprobe");
    std::string failure = settings.request.ffmpeg.empty() || ffprobe.empty() ? kNoFfmpeg : "";
    VideoProbe probe;
    if (failure.empty() && !spec.stream)
        failure = probeVideo(ffprobe, spec.input, probe);
    if (!failure.empty()) {
        std::cout << openFailureLine(spec.source, where, failure) << std::endl;
        return false;
    }
    settings.request.input = spec.input;
    settings.request.stream = spec.stream;
    settings.request.format = spec.format;
    settings.request.size = spec.size;
    settings.request.vflip = spec.vflip;
    settings.loop = spec.loop;
    settings.exact = exact;
    settings.start = probe.start;
    settings.duration = probe.duration;
    settings.firstTime = time;
    video.size = probe.size;
    video.duration = probe.duration;
    video.feed = std::make_unique<VideoFeed>(settings);
    // The first frames go straight into buffers of the right size.
    if (!spec.stream)
        for (int slot = 0; slot < kVideoSlots; ++slot)
            video.feed->lend(slot,
                             mapSlot(video.texture, slot,
                                     static_cast<std::size_t>(probe.size.x) * probe.size.y * 4));
    return true;
}

bool updateVideo(VideoInput &video, double time) {
    if (!video.feed)
        return false;
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
        video.feed->shown(frame.slot, uploadSlot(video.texture, frame.slot, frame.size));
        video.size = frame.size;
    }
    video.duration = video.spec.stream ? 0.0 : video.feed->duration();
    if (video.spec.stream)
        video.position = pick == VideoFeed::Pick::kShow ? frame.time : video.position;
    else if (video.duration > 0.0)
        video.position = video.spec.loop ? std::fmod(std::max(time, 0.0), video.duration)
                                         : std::min(std::max(time, 0.0), video.duration);
    else
        video.position = std::max(time, 0.0);
    return video.size != before;
}

void closeVideo(VideoInput &video) {
    if (video.feed) {
        const long skipped = video.feed->skipped();
        video.feed.reset();
        if (skipped > 0)
            std::cout << skippedLine(video.spec.source, video.where, skipped) << std::endl;
    }
    deleteVideoTexture(video.texture);
}
