// The parameters one linked program uses, worked out after its link: where
// each lives and the value the program holds, so a frame sets only changes.
#pragma once

#include "params/declarations.h"

#include <glad/gl.h>

#include <cstddef>
#include <string>
#include <vector>

struct ParameterUse {
    std::string name;
    std::size_t index; // in the set's parameter list, found again at each build
    GLint location;
    ParamValue held; // what the program holds: its initialiser, then each value set
};

struct ProgramParameters {
    std::vector<ParameterUse> uses; // empty for a program that uses none
    unsigned seen = 0;              // the set's change count when last brought up to date
};
