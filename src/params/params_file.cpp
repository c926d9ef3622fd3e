// Reading and writing params.toml with toml++.
#include "params/params_file.h"

#include "params/messages.h"

#include <toml++/toml.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace {

namespace msg = param_messages;

constexpr std::size_t kMostComponents = 4;
constexpr std::size_t kFewestArrayComponents = 2;

bool readValue(const toml::node &node, GivenValue &value) {
    if (const auto *flag = node.as_boolean()) {
        value = {1, {flag->get() ? 1.0f : 0.0f}, true};
        return true;
    }
    if (node.is_number()) {
        value = {1, {static_cast<float>(*node.value<double>())}, false};
        return true;
    }
    const toml::array *array = node.as_array();
    if (array == nullptr || array->size() < kFewestArrayComponents ||
        array->size() > kMostComponents)
        return false;
    value = {};
    for (const toml::node &element : *array) {
        if (!element.is_number())
            return false;
        value.components[static_cast<std::size_t>(value.count++)] =
            static_cast<float>(*element.value<double>());
    }
    return true;
}

void insert(toml::table &table, const Parameter &p) {
    const ParamValue &v = p.value;
    switch (p.declared.type) {
    case ParamType::kFloat:
        table.insert(p.declared.name, v[0]);
        break;
    case ParamType::kInt:
        table.insert(p.declared.name, static_cast<int64_t>(v[0]));
        break;
    case ParamType::kBool:
        table.insert(p.declared.name, v[0] != 0.0f);
        break;
    default: {
        toml::array components;
        for (int i = 0; i < componentCount(p.declared.type); ++i)
            components.push_back(v[static_cast<std::size_t>(i)]);
        table.insert(p.declared.name, std::move(components));
    }
    }
}

std::string writeAll(int fd, const std::string &text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0)
            return std::strerror(errno);
        done += static_cast<std::size_t>(written);
    }
    return fsync(fd) == 0 ? "" : std::strerror(errno);
}

} // namespace

std::string paramsFilePath(const std::string &shaderDir) {
    return shaderDir + "/" + kParamsFileName;
}

std::string readParamsFile(const std::string &path, std::vector<SavedValue> &values) {
    std::error_code ignored;
    values.clear();
    if (!std::filesystem::exists(path, ignored))
        return "";
    try {
        const toml::table table = toml::parse_file(path);
        for (const auto &[key, node] : table) {
            SavedValue saved{
                std::string(key.str()), {}, node.source().begin.line, node.source().begin.column};
            if (!readValue(node, saved.value))
                return msg::inFile(saved.line, saved.column, msg::notAValue(saved.name));
            values.push_back(saved);
        }
    } catch (const toml::parse_error &e) {
        return msg::inFile(e.source().begin.line, e.source().begin.column,
                           std::string(e.description()));
    }
    return "";
}

std::string writeParamsFile(const std::string &path, const std::vector<Parameter> &list) {
    toml::table table;
    for (const Parameter &p : list)
        insert(table, p);
    // Six significant digits, as a person would write them: a float's exact
    // digits (0.100000001) say more than the slider that set it meant.
    std::ostringstream text;
    text << toml::toml_formatter(table, toml::toml_formatter::default_flags |
                                            toml::format_flags::relaxed_float_precision)
         << '\n';
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return std::strerror(errno);
    // mkstemp makes it private; a saved file is as readable as any other.
    fchmod(fd, S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
    std::string problem = writeAll(fd, text.str());
    if (close(fd) != 0 && problem.empty())
        problem = std::strerror(errno);
    if (problem.empty() && std::rename(temporary.c_str(), path.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty())
        unlink(temporary.c_str());
    return problem;
}
