// A video's texture and the pixel buffers its frames arrive through: each
// buffer stays mapped while the decoding thread fills it, and is unmapped
// only for the upload of a frame that is shown.
#pragma once

#include "inputs/samplers.h"
#include "inputs/video/video_feed.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <array>

struct VideoTexture {
    GLuint texture = 0;
    glm::ivec2 size{0, 0}; // of the frame in it; (0, 0) before the first
    SamplerSettings sampling;
    bool mipmaps = false; // built again for every new frame
    std::array<GLuint, kVideoSlots> buffers{};
    std::array<SlotMemory, kVideoSlots> memory{};
};

// Makes the texture, transparent black until the first frame, with the
// sampling, and leaves it bound on the active unit.
void createVideoTexture(VideoTexture &video, const SamplerSettings &sampling, bool mipmaps);

// Samples the texture otherwise; leaves it bound on the active unit.
void resampleVideoTexture(VideoTexture &video, const SamplerSettings &sampling, bool mipmaps);

// Gives slot's pixel buffer room for bytes and maps it; leaves no pixel
// buffer bound.
SlotMemory mapSlot(VideoTexture &video, int slot, std::size_t bytes);

// Unmaps the slot's buffer, copies the frame into the texture on unit (where
// it is bound) and maps the buffer again, returning where it now is. Leaves
// no pixel buffer bound and texture unit 0 active.
SlotMemory uploadSlot(VideoTexture &video, int slot, glm::ivec2 size, GLenum unit);

// Unmaps and deletes the buffers, then the texture.
void deleteVideoTexture(VideoTexture &video);
