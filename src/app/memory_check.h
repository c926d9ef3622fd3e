// A render size that the set cannot have the memory for, refused before
// anything is rendered rather than found out half way.
#pragma once

#include "app/options.h"
#include "shader/programs.h"

#include <string>

// Why the set cannot render at the options' size, with the estimate of what
// it needs; "" when it fits or nothing says how much there is. Asks GL which
// renderer draws, so it is for a chosen --size only.
std::string memoryProblem(const Programs &programs, const Options &options);
