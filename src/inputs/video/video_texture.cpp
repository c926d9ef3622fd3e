// Streaming frames into a texture through pixel unpack buffers.
#include "inputs/video/video_texture.h"

namespace {

constexpr GLubyte kTransparentBlack[4] = {0, 0, 0, 0};

// On the bound pixel unpack buffer. Invalidating lets the driver give fresh
// storage instead of waiting for the copy that still reads the old.
SlotMemory mapBound(std::size_t capacity) {
    void *pixels = glMapBufferRange(GL_PIXEL_UNPACK_BUFFER, 0, static_cast<GLsizeiptr>(capacity),
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
    return pixels != nullptr ? SlotMemory{static_cast<unsigned char *>(pixels), capacity}
                             : SlotMemory{};
}

} // namespace

void createVideoTexture(VideoTexture &video, const SamplerSettings &sampling, bool mipmaps) {
    glGenTextures(1, &video.texture);
    glBindTexture(GL_TEXTURE_2D, video.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTransparentBlack);
    resampleVideoTexture(video, sampling, mipmaps);
    glGenBuffers(kVideoSlots, video.buffers.data());
}

void resampleVideoTexture(VideoTexture &video, const SamplerSettings &sampling, bool mipmaps) {
    glBindTexture(GL_TEXTURE_2D, video.texture);
    setTextureSampling(GL_TEXTURE_2D, sampling);
    if (mipmaps && !video.mipmaps)
        glGenerateMipmap(GL_TEXTURE_2D);
    video.sampling = sampling;
    video.mipmaps = mipmaps;
}

SlotMemory mapSlot(VideoTexture &video, int slot, std::size_t bytes) {
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, video.buffers[slot]);
    if (video.memory[slot].pixels != nullptr)
        glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_DRAW);
    video.memory[slot] = mapBound(bytes);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    return video.memory[slot];
}

SlotMemory uploadSlot(VideoTexture &video, int slot, glm::ivec2 size, GLenum unit) {
    glActiveTexture(unit);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, video.buffers[slot]);
    glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
    glBindTexture(GL_TEXTURE_2D, video.texture);
    // Rows of four bytes a pixel are always aligned as GL's default unpack
    // alignment wants; pixels come from the bound buffer, at offset 0.
    if (size != video.size)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.x, size.y, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
    else
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.x, size.y, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    video.size = size;
    if (video.mipmaps)
        glGenerateMipmap(GL_TEXTURE_2D);
    video.memory[slot] = mapBound(video.memory[slot].capacity);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    // Where set-up that follows binds, as the plan leaves it.
    glActiveTexture(GL_TEXTURE0);
    return video.memory[slot];
}

void deleteVideoTexture(VideoTexture &video) {
    for (int slot = 0; slot < kVideoSlots; ++slot) {
        if (video.memory[slot].pixels == nullptr)
            continue;
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, video.buffers[slot]);
        glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glDeleteBuffers(kVideoSlots, video.buffers.data());
    glDeleteTextures(1, &video.texture);
    video = VideoTexture{};
}
