// --new: a first shader set of one's own, written from the shipped set that
// the build embeds in the program.
#pragma once

#include "shader/shipped_set.h"

#include <ostream>
#include <string>

// Creates dir and its missing parents and writes the set into it; an existing
// dir must be empty. Returns the process status: 0 with "Created ..." on out;
// 2 when dir is refused, before anything is written; 1 when writing failed
// half way, after removing everything it made. Refusals and failures go to err.
int writeNewSet(const std::string &dir, std::ostream &out, std::ostream &err);
