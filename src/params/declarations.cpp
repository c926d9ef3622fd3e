// Finding a source's parameters by their declarations and comments.
#include "params/declarations.h"

#include "params/values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <regex>
#include <sstream>

namespace {

struct TypeInfo {
    const char *name;
    ParamType type;
    int components;
    GLenum gl;
};
constexpr TypeInfo kTypes[] = {
    {"float", ParamType::kFloat, 1, GL_FLOAT},    {"int", ParamType::kInt, 1, GL_INT},
    {"bool", ParamType::kBool, 1, GL_BOOL},       {"vec2", ParamType::kVec2, 2, GL_FLOAT_VEC2},
    {"vec3", ParamType::kVec3, 3, GL_FLOAT_VEC3}, {"vec4", ParamType::kVec4, 4, GL_FLOAT_VEC4},
};

const TypeInfo &info(ParamType type) {
    return *std::find_if(std::begin(kTypes), std::end(kTypes),
                         [&](const TypeInfo &t) { return t.type == type; });
}

// One declaration a line, after any precision qualifier; the comment is what
// follows the semicolon.
const std::regex kDeclaration(R"(^\s*uniform\s+(?:(?:lowp|mediump|highp)\s+)?)"
                              R"((float|int|bool|vec2|vec3|vec4)\s+([A-Za-z_]\w*)\s*=\s*)"
                              R"(([^;]*);\s*(?://(.*))?$)");
// std::regex recurses once a character, so a line of some tens of thousands
// would overflow the stack; no declaration is anywhere near this long.
constexpr std::size_t kLongestDeclaration = 512;
const std::regex kConstructor(R"(^\s*(vec[234])\s*\((.*)\)\s*$)");

// Block comments become spaces, line ends kept, so no declaration inside one
// is found and the lines stay where they were.
std::string withoutBlockComments(std::string source) {
    for (std::size_t open = source.find("/*"); open != std::string::npos;
         open = source.find("/*", open)) {
        const std::size_t close = source.find("*/", open + 2);
        const std::size_t end = close == std::string::npos ? source.size() : close + 2;
        for (std::size_t i = open; i < end; ++i)
            if (source[i] != '\n')
                source[i] = ' ';
        open = end;
    }
    return source;
}

// A GLSL literal: a number with an optional float suffix, a hexadecimal int.
bool literal(std::string text, float &number) {
    text.erase(0, text.find_first_not_of(" \t"));
    text.erase(text.find_last_not_of(" \t") + 1);
    if (text.size() > 2 && (text.back() == 'f' || text.back() == 'F') &&
        text.find_first_of("xX") == std::string::npos)
        text.pop_back();
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = text.substr(negative ? 1 : 0);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        long value = 0;
        const char *end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data() + 2, end, value, 16);
        number = static_cast<float>(negative ? -value : value);
        return error == std::errc() && stop == end;
    }
    return parseNumber(text, number);
}

bool initialiser(const TypeInfo &type, const std::string &text, ParamValue &value) {
    if (type.type == ParamType::kBool) {
        value[0] = text == "true" ? 1.0f : 0.0f;
        return text == "true" || text == "false";
    }
    if (type.components == 1)
        return literal(text, value[0]);
    std::smatch call;
    if (!std::regex_match(text, call, kConstructor) || call[1] != type.name)
        return false;
    std::istringstream parts(call[2].str());
    int count = 0;
    for (std::string part; std::getline(parts, part, ',');) {
        if (count == type.components || !literal(part, value[static_cast<std::size_t>(count)]))
            return false;
        ++count;
    }
    if (count == 1) // vecN(x) fills every component
        std::fill(value.begin(), value.begin() + type.components, value[0]);
    return count == 1 || count == type.components;
}

// 0..max(1, 2|d|) for a default d >= 0, -2|d|..2|d| below; a vector by its
// component of largest magnitude, and negative when any is.
void defaultRange(ParamDeclaration &d, int components) {
    float largest = 0.0f;
    bool negative = false;
    for (int i = 0; i < components; ++i) {
        largest = std::max(largest, std::fabs(d.initial[static_cast<std::size_t>(i)]));
        negative = negative || d.initial[static_cast<std::size_t>(i)] < 0.0f;
    }
    d.min = negative ? -2.0f * largest : 0.0f;
    d.max = negative ? 2.0f * largest : std::max(1.0f, 2.0f * largest);
    if (d.type == ParamType::kInt)
        d.step = 1.0f;
}

// A comment that is not an annotation is the author's prose, and changes nothing.
void annotate(ParamDeclaration &d, const std::string &comment) {
    std::istringstream words(comment);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() == 1 &&
        ((w[0] == "color" && (d.type == ParamType::kVec3 || d.type == ParamType::kVec4)) ||
         (w[0] == "xy" && d.type == ParamType::kVec2))) {
        d.control = w[0] == "xy" ? ParamControl::kPad : ParamControl::kColour;
        return;
    }
    float min = d.min, max = d.max, step = d.step;
    std::size_t at = 0;
    if (w.size() >= 2 && parseNumber(w[0], min) && parseNumber(w[1], max) && min < max)
        at = 2;
    if (w.size() == at + 2 && w[at] == "step" && parseNumber(w[at + 1], step) && step > 0.0f)
        at += 2;
    if (at == 0 || at != w.size())
        return;
    d.min = min;
    d.max = max;
    d.step = step;
}

} // namespace

std::vector<ParamDeclaration> scanDeclarations(const std::string &source) {
    std::vector<ParamDeclaration> found;
    if (source.find("uniform") == std::string::npos)
        return found;
    std::istringstream lines(withoutBlockComments(source));
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > kLongestDeclaration || line.find('=') == std::string::npos ||
            !std::regex_match(line, match, kDeclaration))
            continue;
        const TypeInfo &type = *std::find_if(std::begin(kTypes), std::end(kTypes),
                                             [&](const TypeInfo &t) { return match[1] == t.name; });
        ParamDeclaration d;
        d.name = match[2];
        d.type = type.type;
        std::string init = match[3];
        init.erase(init.find_last_not_of(" \t") + 1);
        if (!initialiser(type, init, d.initial))
            continue;
        if (type.type != ParamType::kBool) {
            defaultRange(d, type.components);
            annotate(d, match[4]);
        }
        found.push_back(d);
    }
    return found;
}

int componentCount(ParamType type) {
    return info(type).components;
}

const char *typeName(ParamType type) {
    return info(type).name;
}

GLenum glTypeOf(ParamType type) {
    return info(type).gl;
}
