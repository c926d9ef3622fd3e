// Reading the export with nlohmann-json, tolerant of the shapes it comes in:
// ids as numbers or strings, flags as booleans or "true" and "false", keys that
// mean nothing here, an object or an array of them.
#include "import/export_json.h"

#include "import/lines.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using nlohmann::json;

namespace {

// A string as it is; a number or a boolean as its JSON text; anything else as absent.
std::string text(const json &object, const char *key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null() || found->is_structured())
        return "";
    return found->is_string() ? found->get<std::string>() : found->dump();
}

std::string firstText(const json &object, const char *key, const char *otherwise) {
    const std::string first = text(object, key);
    return first.empty() ? text(object, otherwise) : first;
}

const json &listAt(const json &object, const char *key) {
    static const json none = json::array();
    const auto found = object.find(key);
    return found != object.end() && found->is_array() ? *found : none;
}

ExportedInput readInput(const json &input) {
    ExportedInput read;
    read.id = text(input, "id");
    read.channel = text(input, "channel");
    read.type = firstText(input, "ctype", "type");
    read.src = firstText(input, "src", "filepath");
    read.name = text(input, "name");
    const auto sampler = input.find("sampler");
    if (sampler != input.end() && sampler->is_object()) {
        read.filter = text(*sampler, "filter");
        read.wrap = text(*sampler, "wrap");
        read.vflip = text(*sampler, "vflip");
    }
    return read;
}

ExportedPass readPass(const json &pass) {
    ExportedPass read{
        text(pass, "name"), text(pass, "type"), text(pass, "code"), text(pass, "filename"), {}, {}};
    for (const json &output : listAt(pass, "outputs"))
        if (output.is_object())
            read.outputs.push_back(text(output, "id"));
    for (const json &input : listAt(pass, "inputs"))
        if (input.is_object())
            read.inputs.push_back(readInput(input));
    return read;
}

std::string cannotRead(int error) {
    return std::string("cannot read it: ") + std::strerror(error);
}

json parse(const std::string &path) {
    std::error_code ignored;
    // A directory opens as a stream that reads nothing.
    if (std::filesystem::is_directory(path, ignored))
        throw ExportRefused{cannotRead(EISDIR)};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw ExportRefused{cannotRead(errno)};
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    if (file.bad())
        throw ExportRefused{cannotRead(errno)};
    try {
        return json::parse(bytes);
    } catch (const json::parse_error &error) {
        // The library's own words, without its bracketed error number.
        const std::string said = error.what();
        const std::size_t tag = said.find("] ");
        throw ExportRefused{tag == std::string::npos ? said : said.substr(tag + 2)};
    }
}

} // namespace

ExportedShader readExport(const std::string &path) {
    const json whole = parse(path);
    const bool many = whole.is_array();
    const json &first = many && !whole.empty() ? whole.front() : whole;
    const auto shader = first.find("Shader");
    if (shader == first.end() || !shader->is_object())
        throw ExportRefused{importLines::kNoPasses};
    const auto passes = shader->find("renderpass");
    if (passes == shader->end() || !passes->is_array())
        throw ExportRefused{importLines::kNoPasses};

    ExportedShader read;
    read.shaders = many ? whole.size() : 1;
    const auto info = shader->find("info");
    if (info != shader->end() && info->is_object()) {
        read.name = text(*info, "name");
        read.username = text(*info, "username");
        read.description = text(*info, "description");
    }
    for (const json &pass : *passes)
        if (pass.is_object())
            read.passes.push_back(readPass(pass));
    return read;
}
