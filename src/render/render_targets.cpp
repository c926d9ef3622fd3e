// Render target set-up and release.
#include "render/render_targets.h"

#include <iostream>

namespace {

RenderTarget createRenderTarget(int width, int height) {
    RenderTarget target{};
    // The framebuffer stays bound throughout: the attachments go to it.
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);

    glGenTextures(1, &target.colour);
    glBindTexture(GL_TEXTURE_2D, target.colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.colour, 0);

    glGenRenderbuffers(1, &target.renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, target.renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              target.renderbuffer);

    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        std::cout << "ERROR::FRAMEBUFFER:: Framebuffer is not complete!" << std::endl;
    return target;
}

} // namespace

RenderTargets createRenderTargets(int width, int height) {
    RenderTargets targets{};
    for (RenderTarget &target : targets)
        target = createRenderTarget(width, height);
    return targets;
}

void deleteRenderTargets(const RenderTargets &targets) {
    for (const RenderTarget &target : targets)
        glDeleteFramebuffers(1, &target.framebuffer);
    for (const RenderTarget &target : targets)
        glDeleteRenderbuffers(1, &target.renderbuffer);
    for (const RenderTarget &target : targets)
        glDeleteTextures(1, &target.colour);
}
