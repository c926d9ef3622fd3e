// The set's image inputs as GL textures: one texture unit per sampler name
// after the four channel units, read at each build of the set.
#pragma once

#include "inputs/samplers.h"
#include "shader/shader_files.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <array>
#include <string>
#include <vector>

struct Scene;

struct ImageInput {
    std::string name;
    std::string path;      // the file bound at the last build; empty: none
    GLuint texture = 0;    // 0 until an image loaded
    glm::ivec2 size{0, 0}; // (0, 0) without an image
    GLint unit = -1;       // -1: a channel
};

struct Images {
    ImageChoices choices;
    std::vector<ImageInput> inputs; // by name, channels included
    // The texture replacing channel n; 0: its render target.
    std::array<GLuint, kBufferPasses> channels{};
    GLuint black = 0;                      // what a sampler without an image reads
    std::vector<std::string> watchedFiles; // bare names in the shader directory
    // The context's limits, asked at the first image and kept: they never change.
    GLint maxSide = 0;
    GLint maxUnits = 0;
};

// Bit n set for each channel n that an image replaces: one is named for it
// now, or one was read for it before.
unsigned imageChannels(const Images &images);

// After the programs are built (or rebuilt) and the targets prepared: finds
// the samplers of the image program and of the running buffer passes, reads
// their images (keeping the one a name had when a new read fails), gives each
// name its unit and sets the samplers, NAMEResolution and iChannelResolution
// of every such program. Prints a line for each sampler left without an
// image, each file that failed and each choice no program uses. Makes no GL
// call for a set whose programs sample only the channels, run without
// choices. May change the current program; leaves texture unit 0 active.
void bindImages(Scene &scene);

// Releases the textures, the transparent black one last.
void deleteImages(const Images &images);
