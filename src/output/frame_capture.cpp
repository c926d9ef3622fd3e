// The capture framebuffer and its ring of pixel-pack buffers.
#include "output/frame_capture.h"

namespace {

constexpr GLsizeiptr kChannels = 4;

GLsizeiptr frameBytes(const FrameCapture &capture) {
    return kChannels * capture.size.x * capture.size.y;
}

} // namespace

FrameCapture createFrameCapture(glm::ivec2 size) {
    FrameCapture capture{};
    capture.size = size;
    glGenFramebuffers(1, &capture.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, capture.framebuffer);
    glGenRenderbuffers(1, &capture.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, capture.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size.x, size.y);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              capture.colour);
    glGenBuffers(kPackBuffers, capture.packBuffers.data());
    for (GLuint buffer : capture.packBuffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, frameBytes(capture), nullptr, GL_STREAM_READ);
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
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.packBuffers[capture.issued % kPackBuffers]);
    // Rows of four bytes a pixel are always 4-aligned, the default packing.
    // BGRA is the window's own order: llvmpipe copies it without a swizzle.
    glReadPixels(0, 0, capture.size.x, capture.size.y, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    // Bound, it would turn every later read into client memory into an offset.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ++capture.issued;
}

int framesInFlight(const FrameCapture &capture) {
    return capture.issued - capture.consumed;
}

const unsigned char *mapOldestFrame(const FrameCapture &capture) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, capture.packBuffers[capture.consumed % kPackBuffers]);
    return static_cast<const unsigned char *>(
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, frameBytes(capture), GL_MAP_READ_BIT));
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
    glDeleteRenderbuffers(1, &capture.colour);
    glDeleteFramebuffers(1, &capture.framebuffer);
}
