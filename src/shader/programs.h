// The file set's GL programs: the image, the texture viewer and the buffer
// passes the image needs, built at start-up and rebuilt on reload.
#pragma once

#include "inputs/samplers.h"
#include "params/program_parameters.h"
#include "shader/Shader.h"
#include "shader/shader_files.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// What a linked program reads, worked out once after each link so that a
// frame sets only what the program uses.
struct ProgramInputs {
    unsigned channels = 0;    // bit n: samples iChannel n, which is render target n
    bool frame = false;       // iFrame
    bool timeDelta = false;   // iTimeDelta
    bool resolution3 = false; // iResolution is a vec3, given (width, height, 1)
    bool date = false;        // iDate
    // The listing the rest comes from, kept for the image inputs' binding.
    std::vector<ActiveUniform> uniforms;
    ProgramParameters parameters; // found after the link, by the set's parameters
};

// The mask bit of channel or buffer pass n.
inline unsigned passBit(int n) {
    return 1u << n;
}

struct BufferPass {
    std::optional<Shader> shader; // absent while not needed or never linked
    ProgramInputs inputs;
};

struct Programs {
    Shader image;
    Shader viewer;
    ProgramInputs imageInputs;
    std::array<BufferPass, kBufferPasses> buffers;
    unsigned active = 0;        // bit x: buffer pass x is needed and has a linked program
    unsigned imageChannels = 0; // bit n: channel n reads an image, so needs no pass n
    bool readsDate = false;     // the image or an active pass reads iDate
    // The first failure of the last build (start-up or reload), as the window
    // shows it; empty when every program built.
    std::vector<std::string> failure;
};

// The image program, then the viewer program, as start-up builds them: kept
// whether or not they link.
Programs buildPrograms(const ShaderFiles &files);

// The channels of inputs that read render targets: those no image replaces.
inline unsigned targetChannels(const Programs &programs, const ProgramInputs &inputs) {
    return inputs.channels & ~programs.imageChannels;
}

// Builds the buffer passes that the image samples, following the chain from
// pass to pass, skipping the channels in imageChannels (bit n: an image
// replaces channel n). A buffer file is read only when its pass is needed.
void buildBufferPasses(Programs &programs, const ShaderFiles &files, unsigned imageChannels);

// Reads and builds every program again; each is replaced only by one that
// links. Returns whether the image program was replaced. May change the
// current program.
bool reloadPrograms(Programs &programs, const ShaderFiles &files, unsigned imageChannels);
