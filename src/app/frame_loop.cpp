// The frame loop.
#include "app/frame_loop.h"

#include "app/input.h"
#include "render/quad.h"

#include <climits>
#include <cstdio>
#include <string>

double lt = 0.0;
double fps = 0.0;
int nbFrames = 0;
char title_string[50] = "";

namespace {

constexpr double kTitleInterval = 0.1;
// Zero precision: a rate below 1 prints no digits.
constexpr const char *kTitleFormat = "Quorlin - FPS = %.i ";

// Built once so that a rendered pass allocates nothing for uniform names.
const std::string kResolutionUniform = "iResolution";
const std::string kTimeUniform = "iTime";
const std::string kMouseUniform = "iMouse";

void renderImage(const FrameInputs &frame, float time) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    frame.imageShader->use();
    glBindVertexArray(frame.imageVao);
    frame.imageShader->setVec2(kResolutionUniform, frame.resolution);
    frame.imageShader->setFloat(kTimeUniform, time);
    frame.imageShader->setVec4(kMouseUniform, frame.mouseState);
    drawQuad();
}

} // namespace

bool refreshFrameRate(double now) {
    double elapsed = now - lt;
    if (!(elapsed > kTitleInterval))
        return false;
    fps = static_cast<double>(static_cast<float>(nbFrames)) / elapsed;
    // Truncation of a rate past INT_MAX would be undefined; clamp instead.
    int shown = fps < static_cast<double>(INT_MAX) ? static_cast<int>(fps) : INT_MAX;
    std::snprintf(title_string, sizeof(title_string), kTitleFormat, shown);
    lt = lt + elapsed;
    nbFrames = 0;
    return true;
}

void runFrameLoop(GLFWwindow *window, const FrameInputs &frame) {
    while (!glfwWindowShouldClose(window)) {
        float time = static_cast<float>(glfwGetTime());
        processInput(window, frame.mouseState, frame.running, frame.spaceHeld);
        if (*frame.running) {
            renderImage(frame, time);
            if (refreshFrameRate(glfwGetTime()))
                glfwSetWindowTitle(window, title_string);
            nbFrames++;
        }
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
}
