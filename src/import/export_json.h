// The JSON export that shader-sharing sites offer for a shader, read into plain
// values: what it says, before any of it is turned into a set.
#pragma once

#include <string>
#include <vector>

struct ExportedInput {
    std::string id; // numbers as their decimal text
    std::string channel;
    std::string type;   // "ctype", else "type"
    std::string src;    // "src", else "filepath"
    std::string name;   // the pass read, where the export names it
    std::string filter; // sampler values as text; booleans as "true" or "false"
    std::string wrap;   // empty when absent
    std::string vflip;
};

struct ExportedPass {
    std::string name;
    std::string type;
    std::string code;
    std::string filename; // where the code is when "code" is empty
    std::vector<std::string> outputs;
    std::vector<ExportedInput> inputs;
};

struct ExportedShader {
    std::string name, username, description;
    std::vector<ExportedPass> passes;
    std::size_t shaders = 1; // how many the file held; the first is read
};

// Why a file cannot be imported at all, in words that follow "FILE.json: ".
struct ExportRefused {
    std::string what;
};

// The first shader of the file at path. Throws ExportRefused when the file
// cannot be read, is not JSON, or holds no list of render passes. Values of
// an unexpected JSON type read as absent.
ExportedShader readExport(const std::string &path);
