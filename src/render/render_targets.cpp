// Render target set-up, use and release.
#include "render/render_targets.h"

#include <iostream>

namespace {

GLuint createColourTexture(int width, int height) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return texture;
}

void reportIfIncomplete() {
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        std::cout << "ERROR::FRAMEBUFFER:: Framebuffer is not complete!" << std::endl;
}

void makeRenderTarget(RenderTarget &target) {
    const int width = target.width;
    const int height = target.height;
    target.made = true;
    // The framebuffer stays bound throughout: the attachments go to it.
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    target.colour = createColourTexture(width, height);

    glGenRenderbuffers(1, &target.renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, target.renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              target.renderbuffer);
    reportIfIncomplete();
}

} // namespace

void clearBoundFramebuffer() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

RenderTargets createRenderTargets(int width, int height, bool onFirstUse) {
    RenderTargets targets{};
    for (RenderTarget &target : targets) {
        target.width = width;
        target.height = height;
        if (!onFirstUse)
            makeRenderTarget(target);
    }
    return targets;
}

void clearOnFirstUse(RenderTarget &target) {
    if (target.cleared)
        return;
    if (!target.made)
        makeRenderTarget(target);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    clearBoundFramebuffer();
    target.cleared = true;
}

void addSpare(RenderTarget &target) {
    if (target.spareFramebuffer != 0)
        return;
    if (!target.made)
        makeRenderTarget(target);
    glGenFramebuffers(1, &target.spareFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.spareFramebuffer);
    target.spareColour = createColourTexture(target.width, target.height);
    // Depth is never tested, so both textures can share the one renderbuffer.
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              target.renderbuffer);
    reportIfIncomplete();
    clearBoundFramebuffer();
}

GLuint currentTexture(const RenderTarget &target) {
    return target.spareIsCurrent ? target.spareColour : target.colour;
}

void bindForWriting(const RenderTarget &target) {
    const bool toSpare = target.spareFramebuffer != 0 && !target.spareIsCurrent;
    glBindFramebuffer(GL_FRAMEBUFFER, toSpare ? target.spareFramebuffer : target.framebuffer);
}

void finishWrite(RenderTarget &target) {
    if (target.spareFramebuffer != 0)
        target.spareIsCurrent = !target.spareIsCurrent;
}

void deleteRenderTargets(const RenderTargets &targets) {
    for (const RenderTarget &target : targets)
        if (target.made)
            glDeleteFramebuffers(1, &target.framebuffer);
    for (const RenderTarget &target : targets)
        if (target.made)
            glDeleteRenderbuffers(1, &target.renderbuffer);
    for (const RenderTarget &target : targets)
        if (target.made)
            glDeleteTextures(1, &target.colour);
    for (const RenderTarget &target : targets) {
        if (target.spareFramebuffer == 0)
            continue;
        glDeleteFramebuffers(1, &target.spareFramebuffer);
        glDeleteTextures(1, &target.spareColour);
    }
}
