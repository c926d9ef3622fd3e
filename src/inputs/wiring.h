// Which source each sampler of each program reads and how, decided before
// any GL call from the set file, the command line and the shader directory.
#pragma once

#include "inputs/samplers.h"
#include "inputs/set_file.h"

#include <string>

struct Wiring {
    ImageChoices choices; // --texture, --sampler and the shader directory
    SetFile set;
};

// Channel n of a program. With a set file: what its table says; where it
// says nothing, the image named for iChannelN (--texture or iChannelN.png in
// the directory), else nothing (unwired). Without: that image, else render
// target n, for every program alike.
Wire channelWire(const Wiring &wiring, int program, int channel);

// Any other sampler: its --texture, else NAME.png (and the other extensions)
// in the directory, else nothing.
Wire namedWire(const Wiring &wiring, const std::string &name);

// Whether iMouse reads in the click style: as the set file says, else when
// the image stage gets the generated header.
bool clicksMouse(const Wiring &wiring, bool generatedImage);

// Bit x for each pass (a buffer or the cube-map pass) whose target the
// program reads through the channels in the mask.
unsigned buffersRead(const Wiring &wiring, int program, unsigned channels);
