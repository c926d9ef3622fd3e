// The capture framebuffer and its ring of pixel-pack buffers.
#include "output/frame_capture.h"

namespace {

constexpr GLsizeiptr kChannels = 4;

// In the window's order, so that a frame copies in from the window byte for
// byte. Without mipmaps it must not filter between levels, or GL counts it
// incomplete.
GLuint createSampledColour(glm::ivec2 size) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.x, size.y, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return texture;
}

void nextPackBuffer(const FrameCapture &capture) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.packBuffers[capture.issued % kPackBuffers]);
}

// Bound, it would turn every later read into client memory into an offset.
void packBufferRead(FrameCapture &capture) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ++capture.issued;
}

} // namespace

FrameCapture createFrameCapture(glm::ivec2 size, bool sampled, GLsizeiptr packBytes) {
    FrameCapture capture{};
    capture.size = size;
    capture.sampled = sampled;
    capture.packBytes = packBytes;
    glGenFramebuffers(1, &capture.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, capture.framebuffer);
    if (sampled) {
        capture.colour = createSampledColour(size);
        glGenBuffers(1, &capture.copyBuffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.copyBuffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, kChannels * size.x * size.y, nullptr, GL_STREAM_COPY);
    } else {
        glGenRenderbuffers(1, &capture.colour);
        glBindRenderbuffer(GL_RENDERBUFFER, capture.colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.x, size.y);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  capture.colour);
    }
    glGenBuffers(kPackBuffers, capture.packBuffers.data());
    for (GLuint buffer : capture.packBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, packBytes, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return capture;
}

void bindCapture(const FrameCapture &capture) {
    glBindFramebuffer(GL_FRAMEBUFFER, capture.framebuffer);
    glViewport(0, 0, capture.size.x, capture.size.y);
}

void startReadBack(FrameCapture &capture, GLuint framebuffer) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    nextPackBuffer(capture);
    // Rows of four bytes a pixel are always 4-aligned, the default packing.
    // BGRA is the window's own order: llvmpipe copies it without a swizzle.
    glReadPixels(0, 0, capture.size.x, capture.size.y, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    packBufferRead(capture);
}

void startPlanesReadBack(FrameCapture &capture, const FrameConverter &converter) {
    nextPackBuffer(capture);
    readPlanes(converter);
    packBufferRead(capture);
}

// Read back and loaded again rather than blitted: Mesa blits from a window
// through a textured draw, some times slower than the two copies.
void copyIntoCapture(const FrameCapture &capture, GLuint framebuffer) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.copyBuffer);
    glReadPixels(0, 0, capture.size.x, capture.size.y, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, capture.copyBuffer);
    glBindTexture(GL_TEXTURE_2D, capture.colour);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, capture.size.x, capture.size.y, GL_BGRA,
                    GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
}

int framesInFlight(const FrameCapture &capture) {
    return capture.issued - capture.consumed;
}

const unsigned char *mapOldestFrame(const FrameCapture &capture) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.packBuffers[capture.consumed % kPackBuffers]);
    return static_cast<const unsigned char *>(
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, capture.packBytes, GL_MAP_READ_BIT));
}

void releaseOldestFrame(FrameCapture &capture) {
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ++capture.consumed;
}

void readFrame(const FrameCapture &capture, GLuint framebuffer, unsigned char *pixels) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadPixels(0, 0, capture.size.x, capture.size.y, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

void presentCapture(const FrameCapture &capture, glm::ivec2 windowSize) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, capture.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, capture.size.x, capture.size.y, 0, 0, windowSize.x, windowSize.y,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, windowSize.x, windowSize.y);
}

void deleteFrameCapture(const FrameCapture &capture) {
    glDeleteBuffers(kPackBuffers, capture.packBuffers.data());
    if (capture.sampled) {
        glDeleteBuffers(1, &capture.copyBuffer);
        glDeleteTextures(1, &capture.colour);
    } else {
        glDeleteRenderbuffers(1, &capture.colour);
    }
    glDeleteFramebuffers(1, &capture.framebuffer);
}
