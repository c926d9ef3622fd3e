// A video file, a live stream or a camera as a texture that follows the
// channel's clock: the probe, the decoding thread, the pixel buffers and what
// the user is told.
#pragma once

#include "inputs/samplers.h"
#include "inputs/video/video_feed.h"
#include "inputs/video/video_texture.h"

#include <glm/vec2.hpp>

#include <memory>
#include <string>

struct VideoSpec {
    std::string source; // as the set names it: a file, a stream's URL or device, or "camera"
    bool stream = false;
    std::string format; // a stream's input format
    std::string size;   // a stream's requested size, WxH
    bool loop = true;
    bool vflip = true; // (0, 0) reads the bottom-left pixel, as for images
    SamplerSettings sampling;
    bool mipmaps = false;
};

struct VideoInput {
    VideoSpec spec;
    std::string where; // the pass and sampler, such as "Image iChannel0"
    VideoTexture texture;
    std::unique_ptr<VideoFeed> feed;
    int file = -1;         // a file, open from the start: every loop reads what was opened
    glm::ivec2 size{0, 0}; // the picture's, (0, 0) while unknown
    double position = 0.0; // the playback position, in seconds
    double duration = 0.0; // a file's length; 0 while unknown
};

// Probes a file and starts decoding so that the first frame shown is the one
// for channel time `time`; exact: every frame waits for the one for its time
// (the fixed clock). Prints the failure line and returns false, having made
// nothing, when there is nothing to play; otherwise makes the texture,
// transparent black until the first frame, bound on the active unit.
bool openVideo(VideoInput &video, const VideoSpec &spec, const std::string &where, bool exact,
               double time);

// Per rendered frame: the frame for the channel's time into the texture on
// unit (GL_TEXTURE0 + n; 0 where it is bound nowhere: nothing is uploaded)
// when it changed, no GL call otherwise, and the lines of failures since the
// last call. Returns whether the picture's size changed.
bool updateVideo(VideoInput &video, double time, GLenum unit);

// Stops the decoding, says how many late frames were skipped when any, and
// deletes the texture and buffers.
void closeVideo(VideoInput &video);
