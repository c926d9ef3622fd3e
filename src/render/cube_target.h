// The cube-map pass's render target: a float cube map of six square faces,
// made when something first reads the pass. A pass that reads itself gets a
// second cube map, and the two swap roles every frame.
#pragma once

#include "shader/compose.h"

#include <glad/gl.h>

constexpr int kCubeFaces = 6;

struct CubeTarget {
    // [0] always, [1] only for a pass that reads itself.
    GLuint textures[2];
    GLuint framebuffers[2][kCubeFaces]; // one a face, so a frame attaches nothing
    bool spareIsCurrent;                // textures[1] holds the latest content
};

// Makes the first cube map, cleared to zero, unless it is there; with
// feedback also the second. Leaves a framebuffer of the last one it made
// bound and no texture bound on the active unit.
void prepareCubeTarget(CubeTarget &target, bool feedback);

// The cube map holding the latest content; 0 before any.
GLuint currentCube(const CubeTarget &target);

// Binds the framebuffer of the face that the pass draws into this frame.
// finishCubeWrite makes what was drawn current.
void bindCubeFace(const CubeTarget &target, int face);
void finishCubeWrite(CubeTarget &target);

// Framebuffers, then textures; the target is empty afterwards.
void deleteCubeTarget(CubeTarget &target);
