// --import: a shader set written from the JSON export that shader-sharing sites
// offer for a shader: its passes, quorlin.toml wiring their channels, and media.
#pragma once

#include <ostream>
#include <string>

// Reads json and writes its passes, quorlin.toml and the media it finds (beside
// json, then in media when that is not empty) into dir, which must be new or
// empty. Returns the process status: 0 with a line on out for each thing left
// out and a last line naming the command that runs the set; 2 when json cannot
// be imported or dir is refused, before anything is written; 1 when writing
// failed half way, after removing everything it made. Refusals go to err.
int importSet(const std::string &json, const std::string &dir, const std::string &media,
              std::ostream &out, std::ostream &err);
