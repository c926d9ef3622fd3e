// The frame loop and its frame-rate title.
#pragma once

#include "shader/Shader.h"

#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <glm/vec2.hpp>

// Frame-rate display, shared with the input handler (which restarts lt).
extern double lt;             // start of the current frame-rate window, seconds
extern double fps;            // last computed frame rate
extern int nbFrames;          // frames rendered since lt
extern char title_string[50]; // last title set

// Called once per rendered frame with the clock; when strictly more than 0.1 s
// has passed since lt, recomputes fps, writes title_string and returns true.
// Does not count the frame itself.
bool refreshFrameRate(double now);

struct FrameInputs {
    Shader *imageShader;
    GLuint imageVao;
    glm::vec2 resolution;
    double *mouseState;
    bool *running;
    bool *spaceHeld;
};

// Runs until the window's close flag is set: input every pass; while running,
// the image quad drawn into the default framebuffer with iResolution, iTime
// and iMouse, and the title kept at the frame rate. Never throttled.
void runFrameLoop(GLFWwindow *window, const FrameInputs &frame);
