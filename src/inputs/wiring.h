// Which source each sampler of each program reads and how, decided before
// any GL call from the command line and the shader directory.
#pragma once

#include "inputs/samplers.h"
#include "inputs/source.h"

#include <string>

// What one sampler reads and how it samples it.
struct Wire {
    SourceSpec source;
    SamplerSettings sampling;
    bool noImage = false; // a named sampler that nothing binds: reported once a program samples it
};

struct Wiring {
    ImageChoices choices; // --texture, --sampler and the shader directory
};

// Channel n of a program: the image named for iChannelN (--texture or
// iChannelN.png in the directory), else render target n.
Wire channelWire(const Wiring &wiring, int program, int channel);

// Any other sampler: its --texture, else NAME.png (and the other extensions)
// in the directory, else nothing.
Wire namedWire(const Wiring &wiring, const std::string &name);

// Bit x for each buffer pass whose target the program reads through the
// channels in the mask.
unsigned buffersRead(const Wiring &wiring, int program, unsigned channels);
