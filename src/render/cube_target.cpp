// Cube render target set-up, use and release.
#include "render/cube_target.h"

#include "render/render_targets.h"

#include <iostream>

namespace {

// Every face of a cube map must be given before it is complete; each gets its
// own framebuffer, cleared as it is made.
void createCube(GLuint &texture, GLuint (&framebuffers)[kCubeFaces]) {
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture);
    for (int face = 0; face < kCubeFaces; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face), 0, GL_RGBA16F,
                     kCubeFaceSize, kCubeFaceSize, 0, GL_RGBA, GL_FLOAT, nullptr);
    // A render target's own sampling, as the inputs expect of it.
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glGenFramebuffers(kCubeFaces, framebuffers);
    for (int face = 0; face < kCubeFaces; ++face) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[face]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                               GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(face), texture,
                               0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            std::cout << "ERROR::FRAMEBUFFER:: Framebuffer is not complete!" << std::endl;
        clearBoundFramebuffer();
    }
}

} // namespace

void prepareCubeTarget(CubeTarget &target, bool feedback) {
    for (int k = 0; k < (feedback ? 2 : 1); ++k)
        if (target.textures[k] == 0)
            createCube(target.textures[k], target.framebuffers[k]);
}

GLuint currentCube(const CubeTarget &target) {
    return target.textures[target.spareIsCurrent ? 1 : 0];
}

void bindCubeFace(const CubeTarget &target, int face) {
    const int into = target.textures[1] != 0 && !target.spareIsCurrent ? 1 : 0;
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffers[into][face]);
}

void finishCubeWrite(CubeTarget &target) {
    if (target.textures[1] != 0)
        target.spareIsCurrent = !target.spareIsCurrent;
}

void deleteCubeTarget(CubeTarget &target) {
    for (int k = 0; k < 2; ++k) {
        if (target.textures[k] == 0)
            continue;
        glDeleteFramebuffers(kCubeFaces, target.framebuffers[k]);
        glDeleteTextures(1, &target.textures[k]);
    }
    target = CubeTarget{};
}
