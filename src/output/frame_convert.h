// Frames turned into a video's pixel format on the GPU, a small pass before
// read-back, so the read-back carries only the bytes the encoder takes and the
// encoder converts nothing: planar 8-bit Y'CbCr, BT.709 limited range, top
// row first, with chroma at full resolution (4:4:4) or halved both ways
// (4:2:0: the mean of each 2 x 2 block; an odd side repeats its last column
// or row).
#pragma once

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <cstddef>
#include <vector>

enum class Chroma { kFull, kHalf };

// One read of one of the pass's outputs into the picture's bytes.
struct PlaneRead {
    GLenum attachment;
    GLenum format;      // GL_RED, or GL_RG for two luma samples side by side
    GLint rowLength;    // pixels between the starts of rows; 0: the width
    std::size_t offset; // where it starts in the picture
};

struct FrameConverter {
    GLuint program;
    GLuint vertexArray; // empty: the triangle's corners come from gl_VertexID
    GLuint framebuffer;
    std::vector<GLuint> outputs; // textures, one an attachment
    std::vector<PlaneRead> reads;
    glm::ivec2 passSize; // one fragment a pixel, or a 2 x 2 block for 4:2:0
    glm::ivec2 size;     // the picture's: the frame's, each side made even for 4:2:0
};

// The bytes of one picture converted from a frame of frameSize.
std::size_t convertedBytes(glm::ivec2 frameSize, Chroma chroma);

// For frames of frameSize kept top row first, or bottom row first as GL
// keeps them. Sets the pixel-pack alignment to 1, which read-backs of
// four-byte pixels never notice, so that rows of one-byte pixels come tight.
// Leaves the converter's framebuffer bound and its program current.
FrameConverter createFrameConverter(glm::ivec2 frameSize, Chroma chroma, bool topDown);

// Draws the planes from texture: the frame, 8-bit RGBA.
// Binds it on texture unit 0 and leaves that unit active, the converter's
// framebuffer bound, its program current and the viewport at its size.
void convertFrame(const FrameConverter &converter, GLuint texture);

// Reads Y, Cb, Cr one after the other into the pixel-pack buffer bound, from
// offset 0. Binds the converter's framebuffer for reading.
void readPlanes(const FrameConverter &converter);

// Program, vertex array, framebuffer, textures.
void deleteFrameConverter(const FrameConverter &converter);
