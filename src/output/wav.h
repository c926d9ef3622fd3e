// --output FILE.wav: the sound pass's sound alone, as a 16-bit PCM WAV file
// at 44100 Hz in stereo, and no picture.
#pragma once

#include "app/options.h"
#include "inputs/wiring.h"
#include "shader/shader_files.h"

#include <string>

// Bad usage found once the shader directory is known: a WAV file asked of a
// set without a Sound.fs. Returns the "quorlin: " line's text, or "".
std::string soundOutputProblem(const Options &options, const ShaderFiles &files);

// With a current GL context: renders Sound.fs from the start frame's time
// for as long as --frames lasts at --rate (10 s without --frames), writes
// options.sound and says so. Returns the process status.
int saveSound(const ShaderFiles &files, const Wiring &wiring, const Options &options);
