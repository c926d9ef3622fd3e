// The parameters a shader source declares: uniforms of a kind a person can
// tune, given an initialiser, with the range and control their comment asks for.
#pragma once

#include <glad/gl.h>

#include <array>
#include <string>
#include <vector>

enum class ParamType { kFloat, kInt, kBool, kVec2, kVec3, kVec4 };

// How the panel shows a parameter; a bool is always a checkbox.
enum class ParamControl { kSlider, kColour, kPad };

// Up to four components; an int or a bool is held as a float (a bool as 0 or 1).
using ParamValue = std::array<float, 4>;

struct ParamDeclaration {
    std::string name;
    ParamType type = ParamType::kFloat;
    ParamValue initial{};
    float min = 0.0f; // the slider's range
    float max = 1.0f;
    float step = 0.0f; // 0: any value
    ParamControl control = ParamControl::kSlider;
};

// Every `uniform TYPE NAME = INITIALISER;` of a parameter type whose
// initialiser is literal numbers (or true/false), in source order. A comment
// on the same line may be `MIN MAX`, `MIN MAX step S`, `step S`, `color`
// (vec3, vec4) or `xy` (vec2); any other comment leaves the defaults.
std::vector<ParamDeclaration> scanDeclarations(const std::string &source);

int componentCount(ParamType type);
const char *typeName(ParamType type);
// The type glGetActiveUniform reports for it.
GLenum glTypeOf(ParamType type);
