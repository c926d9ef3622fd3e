// Draws a 2D texture over the viewport of whatever framebuffer is bound.
#pragma once

#include "shader/Shader.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

// Sets "fboAttachment" to unit 0 and "iResolution" to resolution on shader,
// then draws the six-index quad of vao. Leaves program 0 and vertex array 0
// bound, unit 0 active with texture bound; binds no framebuffer and sets no
// viewport. Do not pass the texture of the framebuffer that is bound.
void DisplayFramebufferTexture(GLuint texture, Shader *shader, GLuint vao, glm::vec2 resolution);
