// Values given for a parameter from outside the shader (the command line,
// params.toml, OSC) and whether they fit its type.
#pragma once

#include "params/declarations.h"

#include <string>
#include <string_view>

// What was given, before its parameter's type is known: one to four numbers,
// or true or false.
struct GivenValue {
    int count = 0;
    ParamValue components{};
    bool boolean = false; // given as true or false
};

// A --set, as given.
struct Setting {
    std::string text; // NAME=VALUE
    std::string name;
    GivenValue value;
};

// A decimal number as GLSL and TOML write them (1, -2.5, .5, 1e3); no suffix.
bool parseNumber(std::string_view text, float &number);

// NAME=VALUE, VALUE a number, true, false or two to four comma-separated
// numbers; returns an empty string or what is wrong, for a "quorlin: " line.
std::string parseSetting(const std::string &text, std::string &name, GivenValue &value);

// Puts given into value as declared's type takes it, or returns what is wrong
// ("NAME is a vec3: give 3 numbers"). A bool takes true or false, or from
// OSC (numbers only) any number, non-zero being true; an int takes a whole
// number, or from OSC any number, rounded.
std::string fitValue(const ParamDeclaration &declared, const GivenValue &given, ParamValue &value,
                     bool roundNumbers = false);
