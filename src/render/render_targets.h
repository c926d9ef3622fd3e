// The four float off-screen render targets, made at the render size at
// start-up, or at a chosen size when first used, and never resized. A target
// that a pass both reads and writes gets a second colour texture, and the two
// swap roles every frame.
#pragma once

#include <glad/gl.h>

#include <array>

struct RenderTarget {
    GLuint framebuffer;
    GLuint colour;
    GLuint renderbuffer;
    // Made only for a target whose pass samples itself.
    GLuint spareFramebuffer;
    GLuint spareColour;
    bool spareIsCurrent; // the spare holds the latest content
    bool cleared;        // start-up leaves the texture undefined until this
    bool made;           // its objects and storage exist
    int width;
    int height;
};

using RenderTargets = std::array<RenderTarget, 4>;

// Storage a pixel: a float colour texture with its mipmaps and a depth-stencil
// buffer; a second colour texture for a pass that reads its own target.
constexpr double kTargetBytesPerPixel = 16.0 * 4.0 / 3.0 + 4.0;
constexpr double kSpareBytesPerPixel = 16.0 * 4.0 / 3.0;

// Creates and completeness-tests each target in turn; an incomplete one is
// reported and kept. Leaves the last target's framebuffer and renderbuffer
// bound and no texture bound on unit 0. With onFirstUse, nothing is made
// yet: a target is made when clearOnFirstUse or addSpare first meets it, so
// one that nothing uses costs no memory at a large size.
RenderTargets createRenderTargets(int width, int height, bool onFirstUse);

// Clears whatever framebuffer is bound to transparent black.
void clearBoundFramebuffer();

// Clears the target's current texture to zero the first time it is used.
// Leaves the target's framebuffer bound.
void clearOnFirstUse(RenderTarget &target);

// Adds the second texture, cleared, unless there is one. Leaves its
// framebuffer bound and no texture bound on the active unit.
void addSpare(RenderTarget &target);

// The texture holding the target's latest content.
GLuint currentTexture(const RenderTarget &target);

// Binds the framebuffer that a pass writes: the one whose texture is not
// current when there is a spare. finishWrite makes what it wrote current.
void bindForWriting(const RenderTarget &target);
void finishWrite(RenderTarget &target);

// Framebuffers in creation order, then renderbuffers, then colour textures,
// then the spares; targets never made are skipped.
void deleteRenderTargets(const RenderTargets &targets);
