// The inputs' plan: for each program, for each sampler it uses, the source it
// reads and how it samples it. Made from the wiring and the linked programs at
// start-up, at each reload and when a change of view runs other passes; the
// passes execute it and the frame looks nothing up.
#pragma once

#include "inputs/sound/sound_format.h"
#include "inputs/source.h"
#include "inputs/wiring.h"
#include "shader/programs.h"

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

// A sampler's texture unit and what is bound there.
struct Binding {
    GLint unit;
    const Source *source;
    GLuint sampler; // a sampler object, or 0: the texture's own sampling
};

struct ProgramPlan {
    // Bound before each draw of the program, in this order: the sources whose
    // texture changes between draws. The others stay bound on units of their own.
    std::vector<Binding> draws;
    // What each channel reads, where the program asks about its channels
    // (iChannelResolution, iChannelTime); nullptr elsewhere.
    std::array<const Source *, kShaderChannels> channels{};
};

struct InputPlan {
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<Source *> updated; // those updated once a frame
    std::array<ProgramPlan, kSamplingPrograms> programs;
    // Sampler objects, made for readers that sample a texture otherwise than
    // its own parameters say; bound on units of their own, and at each draw
    // when drawSamplers.
    std::vector<GLuint> samplers;
    bool drawSamplers = false;
    std::vector<GLint> samplerUnits; // units of their own left with a sampler object
    // iSampleRate: every sound is resampled to one rate.
    float sampleRate = static_cast<float>(kSampleRate);
    // Files, relative to the shader directory, whose saving changes what binds.
    std::vector<std::string> watched;
    std::set<std::string> said; // the lines making it printed
    bool readsKeyboard = false; // a running program samples the keyboard
};

struct Inputs {
    Wiring wiring;
    InputPlan plan;
    // The context's limits, asked at the first need and kept: they never change.
    GLint maxSide = 0;
    GLint maxUnits = 0;
    MediaClock media;       // kept at the latest frame's, for sources made by a reload
    Sound *sound = nullptr; // for sound sources; set before the first plan
    Keyboard keyboard;      // what key events and input scripts have made of it
    bool seamless = false;
};

// Replaces the plan by one for the programs as they are now built, the
// targets prepared: finds the samplers of the image and of the running buffer
// passes, makes their sources (taking over the old plan's; reread reads files
// again, as a reload does), gives each its texture unit and sets the samplers
// and the sizes (NAMEResolution, iChannelResolution) in every such program.
// Prints a line for each sampler left without an image, each file that failed
// and each choice no program uses. Makes no GL call for a set whose programs
// sample nothing. May change the current program; leaves texture unit 0 active.
void buildPlan(Inputs &inputs, const Programs &programs, const RenderTargets &targets,
               const CubeTarget &cube, glm::vec2 renderSize, bool reread);

// Once a frame, before the passes draw. Returns whether a source's size
// changed, after which the plan is built again (nothing read again) to tell
// the programs.
bool updateInputs(const InputPlan &plan, const FrameUniforms &frame);

// Binds what program p reads that changes between draws; leaves the unit of
// the last one active.
void bindDrawInputs(const InputPlan &plan, int program);

// Releases the sources and the sampler objects.
void releasePlan(InputPlan &plan);
