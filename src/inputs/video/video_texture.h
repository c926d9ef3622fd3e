// A video's texture and the pixel buffers its frames arrive through: each
// buffer stays mapped while the decoding thread fills it, and is unmapped
// only for the upload of a frame that is shown.
#pragma once

#include "inputs/video/video_feed.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <array>

struct VideoSampling {
    GLint minFilter = GL_LINEAR;
    GLint magFilter = GL_LINEAR;
    GLint wrap = GL_CLAMP_TO_EDGE;
    bool mipmap = false; // built again for every new frame
};

struct VideoTexture {
    GLuint texture = 0;
    glm::ivec2 size{0, 0}; // of the frame in it; (0, 0) before the first
    VideoSampling sampling;
    std::array<GLuint, kVideoSlots> buffers{};
    std::array<SlotMemory, kVideoSlots> memory{};
};

// Makes the texture, transparent black until the first frame, and leaves it
// bound on the active unit.
void createVideoTexture(VideoTexture &video, const VideoSampling &sampling);

// Gives slot's pixel buffer room for bytes and maps it; leaves no pixel
// buffer bound.
SlotMemory mapSlot(VideoTexture &video, int slot, std::size_t bytes);

// Unmaps the slot's buffer, copies the frame into the texture, bound on the
// active unit, and maps the buffer again, returning where it now is. Leaves
// no pixel buffer bound.
SlotMemory uploadSlot(VideoTexture &video, int slot, glm::ivec2 size);

// Unmaps and deletes the buffers, then the texture.
void deleteVideoTexture(VideoTexture &video);
