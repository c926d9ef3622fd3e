// The four float off-screen render targets, window-sized at start-up and
// never resized.
#pragma once

#include <glad/gl.h>

#include <array>

struct RenderTarget {
    GLuint framebuffer;
    GLuint colour;
    GLuint renderbuffer;
};

using RenderTargets = std::array<RenderTarget, 4>;

// Creates and completeness-tests each target in turn; an incomplete one is
// reported and kept. Leaves the last target's framebuffer and renderbuffer
// bound and no texture bound on unit 0.
RenderTargets createRenderTargets(int width, int height);

// Framebuffers in creation order, then renderbuffers, then colour textures.
void deleteRenderTargets(const RenderTargets &targets);
