// Frames read back at the render size through pixel buffer objects, without
// waiting for the GPU: from the window while it has the render size, else
// from a framebuffer of that size, which is then shown stretched.
#pragma once

#include "output/frame_convert.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <array>

// Frames whose read-back may still run while a later one is drawn.
constexpr int kPackBuffers = 3;

struct FrameCapture {
    GLuint framebuffer;
    // 8-bit RGBA like the window's pixels: a renderbuffer, or a texture where
    // the frames are converted from it, with a buffer to copy frames in.
    GLuint colour;
    bool sampled;
    GLuint copyBuffer;
    std::array<GLuint, kPackBuffers> packBuffers;
    GLsizeiptr packBytes; // one frame's, as it is read back
    glm::ivec2 size;
    int issued;   // read-backs started
    int consumed; // read-backs mapped and handed on
};

// Frames are read back as packBytes each: BGRA, or converted. Leaves the
// capture framebuffer bound and no pixel-pack buffer bound.
FrameCapture createFrameCapture(glm::ivec2 size, bool sampled, GLsizeiptr packBytes);

// Binds the capture framebuffer and sets the viewport to the render size.
void bindCapture(const FrameCapture &capture);

// Starts reading the frame drawn into framebuffer (the capture's, or 0 for
// the window's back buffer) into the next pack buffer. Leaves framebuffer
// bound for reading and no pack buffer bound.
void startReadBack(FrameCapture &capture, GLuint framebuffer);

// Starts reading the converter's planes into the next pack buffer. Leaves no
// pack buffer bound.
void startPlanesReadBack(FrameCapture &capture, const FrameConverter &converter);

// Copies the frame drawn into the window into the capture's texture, to be
// converted. Binds framebuffer for reading and the texture on the active
// unit; leaves no pixel buffer bound.
void copyIntoCapture(const FrameCapture &capture, GLuint framebuffer);

// Frames whose read-back was started and not yet handed on.
int framesInFlight(const FrameCapture &capture);

// Maps the oldest frame in flight (as it was read back), waiting for that
// read-back only; releaseOldestFrame unmaps it. Leaves its pack buffer bound
// in between.
const unsigned char *mapOldestFrame(const FrameCapture &capture);
void releaseOldestFrame(FrameCapture &capture);

// Reads the frame drawn into framebuffer now (RGBA, bottom row first).
void readFrame(const FrameCapture &capture, GLuint framebuffer, unsigned char *pixels);

// Stretches the drawn frame over the window; leaves the default framebuffer
// bound and the viewport at windowSize.
void presentCapture(const FrameCapture &capture, glm::ivec2 windowSize);

// In the reverse order of creation: pack buffers, copy buffer, colour,
// framebuffer.
void deleteFrameCapture(const FrameCapture &capture);
