// What ffprobe says about a video file before it plays: whether it holds a
// picture at all, its size, and its start and length, which looping and
// seeking need before the decoder has reached the end.
#pragma once

#include <glm/vec2.hpp>

#include <string>

struct VideoProbe {
    glm::ivec2 size{0, 0};
    double start = 0.0;    // the first frame's time in the file's own timeline
    double duration = 0.0; // 0: not known before the end
};

// Reads ffprobe's "flat" output of the first video stream and the format.
// Returns an empty string, or why the file holds no video.
std::string readProbe(const std::string &output, VideoProbe &probe);

// Runs ffprobe on the open file (passed as kPassedDescriptor) and reads what
// it says. Returns an empty string, or why the file cannot be played, in
// ffprobe's words where it gave some.
std::string probeVideo(const std::string &ffprobe, int file, VideoProbe &probe);
