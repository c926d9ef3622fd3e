// params.toml in the shader directory: the values a set was saved with, read
// at start-up and when it changes, written by the panel's Save.
#pragma once

#include "params/parameters.h"

#include <string>
#include <vector>

constexpr const char *kParamsFileName = "params.toml";

std::string paramsFilePath(const std::string &shaderDir);

// Reads the file's values into values. A missing file holds none. Returns an
// empty string, or what is wrong as "params.toml:LINE:COLUMN: WHAT".
std::string readParamsFile(const std::string &path, std::vector<SavedValue> &values);

// Writes every parameter's value into a new file beside path and renames it
// over path, so a reader sees the old file or the new one, never half of one.
// Returns an empty string or the reason it failed.
std::string writeParamsFile(const std::string &path, const std::vector<Parameter> &list);
