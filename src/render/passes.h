// The frame's passes: the active buffer passes into their render targets,
// then the image (or a target through the viewer) into the window.
#pragma once

#include "inputs/plan.h"
#include "inputs/sound/sound.h"
#include "params/parameters.h"
#include "render/cube_cross.h"
#include "render/cube_target.h"
#include "render/frame_date.h"
#include "render/pass_timing.h"
#include "render/quad.h"
#include "render/render_targets.h"
#include "shader/programs.h"

#include <glm/vec2.hpp>

// The values a frame hands to every program that reads them.
struct FrameUniforms {
    glm::vec2 resolution;
    float time;
    const double *mouse; // four values, narrowed when set
    int frame;           // frames rendered before this one
    float timeDelta;     // seconds since the previous rendered frame's clock
    DateValue date;      // iDate, for a frame whose programs read it
    float frameRate;     // iFrameRate: the fixed clock's rate, else the title's
    double media;        // the media clock's time (inputs/source.h), which videos follow
};

// Where frames are shown: the window's framebuffer (0), or with no display
// the stand-in's, whose texture a recording converts from.
struct WindowFramebuffer {
    GLuint framebuffer = 0;
    GLuint texture = 0;   // 0 for a window, whose pixels no program can sample
    bool topDown = false; // the texture holds the top row first
};

// Everything the passes draw with; owned by the entry point.
struct Scene {
    Programs programs;
    Quad imageQuad;
    Quad viewerQuad;
    RenderTargets targets;
    glm::vec2 resolution; // the render size, also the targets' size
    Inputs inputs;
    Sound sound;
    CubeTarget cube; // made when the cube-map pass first runs
    CubeCross cross;
    Parameters parameters;
    PassTiming *timing = nullptr; // set while each pass's GPU time is wanted
    WindowFramebuffer window;
};

// The view that shows the cube-map pass's faces; 1 to 4 show the buffers.
constexpr int kCubeView = kCubeA + 1;

// Bit x: target x is read or written by the programs, or shown by view (1 to
// 4 a buffer's, 5 the cube-map pass's; 0 is the image).
unsigned usedTargets(const Programs &programs, int view);

// Bit x: pass x (a buffer or the cube-map pass) reads its own target, which
// then needs a second texture.
unsigned selfReadingPasses(const Programs &programs);

// Gives every target that the programs read, write or that view shows its
// first clear, and a second texture to each target whose pass reads it. Run
// after each (re)build and change of view, never per frame; does nothing for a
// set without buffer passes that shows the image.
void prepareTargets(Scene &scene, int view);

// Sets iResolution on the current program as the type it declares it.
void setResolution(const Shader &shader, const ProgramInputs &inputs, glm::vec2 resolution);

// Renders the active buffer passes in the order A to D, each into its target
// with the viewport at the render size, then the cube-map pass into the six
// faces of its cube. Returns whether any ran, in which case the viewport is
// left at the render size or the face size.
bool renderBufferPasses(Scene &scene, const FrameUniforms &uniforms);

// Binds the window's framebuffer, clears it and draws the image, or target
// view - 1 through the viewer when view is 1 to 4, or the cube's faces as a
// cross when it is kCubeView. Sets the viewport to
// windowSize only when restoreViewport is set.
void renderToWindow(Scene &scene, const FrameUniforms &uniforms, int view, bool restoreViewport,
                    glm::ivec2 windowSize);

// What renderToWindow draws, into whatever framebuffer is bound with the
// viewport as it is.
void drawImage(Scene &scene, const FrameUniforms &uniforms, int view);
