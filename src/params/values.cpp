// Reading given values and fitting them to a parameter's type.
#include "params/values.h"

#include <charconv>
#include <cmath>

namespace {

constexpr int kMostComponents = 4;

std::string shapeProblem(const ParamDeclaration &d) {
    switch (d.type) {
    case ParamType::kFloat:
        return d.name + " is a float: give a number";
    case ParamType::kInt:
        return d.name + " is an int: give a whole number";
    case ParamType::kBool:
        return d.name + " is a bool: give true or false";
    default:
        return d.name + " is a " + typeName(d.type) + ": give " +
               std::to_string(componentCount(d.type)) + " numbers";
    }
}

} // namespace

bool parseNumber(std::string_view text, float &number) {
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stop == end && std::isfinite(number);
}

std::string parseSetting(const std::string &text, std::string &name, GivenValue &value) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return "--set: '" + text + "' is not NAME=VALUE";
    name = text.substr(0, equals);
    const std::string_view given = std::string_view(text).substr(equals + 1);
    value = GivenValue{};
    if (given == "true" || given == "false") {
        value = {1, {given == "true" ? 1.0f : 0.0f}, true};
        return "";
    }
    for (std::size_t start = 0; start <= given.size(); ++value.count) {
        std::size_t comma = given.find(',', start);
        if (comma == std::string_view::npos)
            comma = given.size();
        if (value.count == kMostComponents ||
            !parseNumber(given.substr(start, comma - start),
                         value.components[static_cast<std::size_t>(value.count)]))
            return "--set: '" + std::string(given) + "' in '" + text +
                   "' is not a number, true, false or 2 to 4 comma-separated numbers";
        start = comma + 1;
    }
    return "";
}

std::string fitValue(const ParamDeclaration &declared, const GivenValue &given, ParamValue &value,
                     bool roundNumbers) {
    const int count = componentCount(declared.type);
    if (declared.type == ParamType::kBool) {
        if (given.count != 1 || (!given.boolean && !roundNumbers))
            return shapeProblem(declared);
        value = {given.components[0] != 0.0f ? 1.0f : 0.0f};
        return "";
    }
    if (given.boolean || given.count != count)
        return shapeProblem(declared);
    ParamValue fitted = given.components;
    if (declared.type == ParamType::kInt) {
        if (!roundNumbers && std::round(fitted[0]) != fitted[0])
            return shapeProblem(declared);
        fitted[0] = std::round(fitted[0]);
    }
    value = fitted;
    return "";
}
