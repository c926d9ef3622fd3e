// The texture viewer pass.
#include "render/texture_viewer.h"

#include "render/quad.h"

namespace {
// The sampler value and the active unit must agree.
constexpr unsigned int kViewerUnit = 0;
} // namespace

void DisplayFramebufferTexture(GLuint texture, Shader *shader, GLuint vao, glm::vec2 resolution) {
    shader->use();
    shader->setSampler("fboAttachment", kViewerUnit);
    shader->setVec2("iResolution", resolution);
    glBindVertexArray(vao);
    glActiveTexture(GL_TEXTURE0 + kViewerUnit);
    glBindTexture(GL_TEXTURE_2D, texture);
    drawQuad();
    glBindVertexArray(0);
    glUseProgram(0);
}
