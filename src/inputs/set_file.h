// The set file, quorlin.toml in the shader directory: what each channel of
// each pass reads and how, read with toml++.
#pragma once

#include "inputs/source.h"
#include "shader/shader_files.h"

#include <array>
#include <optional>
#include <string>

constexpr const char *kSetFileName = "quorlin.toml";

// What one sampler reads and how it samples it.
struct Wire {
    SourceSpec source;
    SamplerSettings sampling;
    bool noImage = false; // a named sampler that nothing binds: reported once a program samples it
    bool unwired = false; // a channel the set file leaves out: reported likewise
};

// How iMouse reads: the button style (cursor and buttons held, every frame)
// or the click style (app/click_mouse.h).
enum class MouseStyle { kUnset, kButtons, kClick };

struct SetFile {
    bool present = false;
    MouseStyle mouse = MouseStyle::kUnset;
    // Per program and channel; empty where the file names nothing.
    std::array<std::array<std::optional<Wire>, kShaderChannels>, kSamplingPrograms> channels;
};

// Reads dir's set file into set (absent: present is false). Returns an empty
// string, or "quorlin.toml:LINE:COLUMN: WHAT" for a file that does not parse
// or names an unknown table, key, pass or option, or a value of the wrong
// type; set is then left as it was.
std::string readSetFile(const std::string &dir, SetFile &set);
