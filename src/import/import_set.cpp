// Turning an export into a set: which file each pass becomes, what each of its
// channels is wired to in quorlin.toml, which media come along, and one line
// for everything that cannot.
#include "import/import_set.h"

#include "app/options.h"
#include "app/set_writer.h"
#include "import/export_json.h"
#include "import/kinds.h"
#include "import/lines.h"

#include <toml++/toml.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char *kWiringFile = "quorlin.toml";
constexpr std::string_view kMipmaps = "mipmap"; // the filter a render target cannot give

// Site paths and paths from other machines alike end in the file's name.
std::string baseName(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string readCode(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return file ? std::string{std::istreambuf_iterator<char>(file), {}} : "";
}

// The info as comment lines: a comment holds no control character but tab.
std::string infoComment(const ExportedShader &shader) {
    std::string lines = shader.name;
    if (!shader.username.empty())
        lines += (lines.empty() ? "" : "\n") + std::string("by ") + shader.username;
    if (!shader.description.empty())
        lines += (lines.empty() ? "" : "\n\n") + shader.description;
    std::string comment;
    std::istringstream split(lines);
    for (std::string line; std::getline(split, line);) {
        std::replace_if(
            line.begin(), line.end(),
            [](char c) { return (c >= 0 && c < ' ' && c != '\t') || c == '\x7f'; }, ' ');
        line.erase(line.find_last_not_of(" \t") + 1);
        comment += line.empty() ? "#\n" : "# " + line + "\n";
    }
    return comment.empty() ? "" : comment + "\n";
}

class Importer {
  public:
    Importer(const std::string &json, const std::string &media)
        : json_(json), beside_(fs::path(json).parent_path()), media_(media) {}

    // The files of the set, quorlin.toml last; the lines go to lines().
    std::vector<FileToWrite> plan(const ExportedShader &shader) {
        if (shader.shaders > 1)
            lines_.push_back(importLines::moreShaders(json_, shader.shaders, shader.name));
        std::vector<std::pair<const PassKind *, const ExportedPass *>> written;
        for (const ExportedPass &pass : shader.passes)
            if (const PassKind *kind = take(pass))
                written.emplace_back(kind, &pass);
        if (std::none_of(written.begin(), written.end(),
                         [](const auto &pass) { return pass.first->table == kImagePass; }))
            throw ExportRefused{importLines::kNoImage};
        toml::table wiring;
        for (const auto &[kind, pass] : written)
            if (*kind->table && kind->notYet == nullptr)
                wiring.insert(kind->table, channelsOf(kind->table, *pass));
        wiring.insert("mouse", "click");
        std::ostringstream toml;
        toml << infoComment(shader)
             << toml::toml_formatter{wiring, toml::format_flags::allow_unicode_strings} << "\n";
        files_.push_back({kWiringFile, toml.str(), ""});
        return files_;
    }

    const std::vector<std::string> &lines() const { return lines_; }

  private:
    // The pass's kind when its code is written, after noting its outputs.
    const PassKind *take(const ExportedPass &pass) {
        const PassKind *kind = passOf(pass.name, pass.type);
        if (kind == nullptr) {
            lines_.push_back(importLines::unknownPass(pass.name));
            return nullptr;
        }
        for (const std::string &id : pass.outputs)
            if (!id.empty())
                outputs_.emplace(id, kind);
        if (!taken_.insert(kind).second) {
            lines_.push_back(importLines::secondPass(pass.name));
            return nullptr;
        }
        if (kind->notYet != nullptr)
            lines_.push_back(importLines::cannotRun(pass.name, *kind));
        if (!*kind->file)
            return nullptr;
        std::string code = pass.code;
        if (code.empty() && !pass.filename.empty())
            code = readCode(beside_ / baseName(pass.filename));
        if (code.empty()) {
            lines_.push_back(importLines::noCode(pass.name));
            return nullptr;
        }
        files_.push_back({kind->file, code, ""});
        return kind;
    }

    toml::table channelsOf(const std::string &table, const ExportedPass &pass) {
        toml::table channels;
        std::set<std::string> seen; // a channel may be seen yet left unwired
        for (const ExportedInput &input : pass.inputs) {
            if (input.channel.size() != 1 || input.channel[0] < '0' || input.channel[0] > '3') {
                lines_.push_back(importLines::badChannel(table, input.channel));
                continue;
            }
            const std::string key = "iChannel" + input.channel;
            const std::string where = table + " " + key;
            if (!seen.insert(key).second) {
                lines_.push_back(importLines::secondInput(where));
                continue;
            }
            const InputType *type = inputTypeOf(input.type);
            if (type == nullptr) {
                lines_.push_back(importLines::unknownType(where, input.type));
                continue;
            }
            if (type->notYet) {
                lines_.push_back(importLines::notYet(where, *type));
                if (type->cube)
                    channels.insert(key, inlineTable(toml::table{{"type", "cube"}}));
                continue;
            }
            if (type->wiring == Wiring::Word)
                channels.insert(key, type->key);
            else if (type->wiring == Wiring::Pass)
                wirePass(channels, key, where, *type, input);
            else if (type->wiring == Wiring::Media)
                wireMedia(channels, key, where, *type, input);
        }
        return channels;
    }

    void wirePass(toml::table &channels, const std::string &key, const std::string &where,
                  const InputType &type, const ExportedInput &input) {
        const PassKind *read = passRead(input);
        if (read == nullptr && type.cube) {
            wireCubeFaces(channels, key, where, input);
            return;
        }
        // Only passes that render into a target have a placeholder for it.
        if (read == nullptr || !*read->placeholder) {
            lines_.push_back(importLines::noPass(where, type));
            return;
        }
        toml::table value = sampling(where, input, read->table, nullptr);
        if (value.empty()) {
            channels.insert(key, read->table);
            return;
        }
        value.insert(type.key, read->table);
        channels.insert(key, inlineTable(std::move(value)));
    }

    void wireMedia(toml::table &channels, const std::string &key, const std::string &where,
                   const InputType &type, const ExportedInput &input) {
        const std::string name = baseName(input.src);
        // A NUL would name one file to the file system and another in quorlin.toml.
        if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) {
            lines_.push_back(importLines::noMediaName(where));
            return;
        }
        if (!found(name)) {
            lines_.push_back(importLines::missingMedia(name, where, json_));
            return;
        }
        toml::table value = sampling(where, input, nullptr, &type);
        value.insert(type.key, name);
        channels.insert(key, inlineTable(std::move(value)));
    }

    // A cube map's src names its first face, NAME.EXT; the others are NAME_1.EXT
    // to NAME_5.EXT, in GL's order. They are copied as NAME_px.EXT ... NAME_nz.EXT.
    void wireCubeFaces(toml::table &channels, const std::string &key, const std::string &where,
                       const ExportedInput &input) {
        static const char *const kFaces[] = {"px", "nx", "py", "ny", "pz", "nz"};
        const fs::path name = baseName(input.src);
        const std::string stem = name.stem().string(), extension = name.extension().string();
        if (stem.empty() || name.string().find('\0') != std::string::npos) {
            lines_.push_back(importLines::noMediaName(where));
            channels.insert(key, inlineTable(toml::table{{"type", "cube"}}));
            return;
        }
        fs::path from[std::size(kFaces)];
        for (std::size_t face = 0; face < std::size(kFaces); ++face) {
            const std::string file =
                face == 0 ? name.string() : stem + "_" + std::to_string(face) + extension;
            from[face] = located(file);
            if (from[face].empty()) {
                lines_.push_back(importLines::missingMedia(file, where, json_));
                channels.insert(key, inlineTable(toml::table{{"type", "cube"}}));
                return;
            }
        }
        for (std::size_t face = 0; face < std::size(kFaces); ++face)
            copy(from[face], stem + "_" + kFaces[face] + extension);
        toml::table value = sampling(where, input, nullptr, nullptr);
        value.erase("vflip"); // faces are read as GL's cube-map table expects
        value.insert("cube", stem + "_{face}" + extension);
        channels.insert(key, inlineTable(std::move(value)));
    }

    // The pass whose outputs carry the input's id; else the one it names; else
    // the one its placeholder picture stands for.
    const PassKind *passRead(const ExportedInput &input) const {
        const auto output = outputs_.find(input.id);
        if (output != outputs_.end())
            return output->second;
        for (const std::string *named : {&input.name, &input.id})
            if (const PassKind *kind = passNamed(*named))
                return kind;
        return passShownBy(fs::path(baseName(input.src)).stem().string());
    }

    // The sampling keys that differ from the set's defaults for a file, a
    // video or a sound (media), or for the render target of the pass named target.
    toml::table sampling(const std::string &where, const ExportedInput &input, const char *target,
                         const InputType *media) {
        const bool sound = media != nullptr && media->sound;
        toml::table keys;
        const std::string *values[] = {&input.filter, &input.wrap, &input.vflip};
        for (std::size_t k = 0; k < std::size(kSamplingKeys); ++k) {
            const SamplingKey &key = kSamplingKeys[k];
            const char *preset = target                  ? key.targetDefault
                                 : media && media->video ? key.videoDefault
                                 : sound                 ? key.soundDefault
                                                         : key.fileDefault;
            const std::string &value = *values[k];
            if (preset == nullptr || value.empty() || value == preset)
                continue;
            if (!key.takes(value))
                lines_.push_back(importLines::badSampling(where, key, value));
            else if (target && value == kMipmaps)
                lines_.push_back(importLines::mipmapTarget(where, target));
            else if (sound && value == kMipmaps)
                lines_.push_back(importLines::mipmapSound(where));
            else if (key.boolean)
                keys.insert(key.key, value == "true");
            else
                keys.insert(key.key, value);
        }
        return keys;
    }

    // Beside the export first, then in the media folder; empty when in neither.
    fs::path located(const std::string &name) const {
        std::vector<fs::path> folders{beside_};
        if (!media_.empty())
            folders.emplace_back(media_);
        std::error_code ignored;
        for (const fs::path &folder : folders)
            if (fs::is_regular_file(folder / name, ignored))
                return folder / name;
        return {};
    }

    // Copied into the set as the file as, once however many channels read it.
    void copy(const fs::path &from, const std::string &as) {
        if (copied_.insert(as).second)
            files_.push_back({as, "", from.string()});
    }

    bool found(const std::string &name) {
        const fs::path from = located(name);
        if (!from.empty())
            copy(from, name);
        return !from.empty();
    }

    static toml::table inlineTable(toml::table table) {
        table.is_inline(true);
        return table;
    }

    const std::string json_;
    const fs::path beside_;
    const std::string media_;
    std::vector<FileToWrite> files_;
    std::vector<std::string> lines_;
    std::map<std::string, const PassKind *> outputs_;
    std::set<const PassKind *> taken_;
    std::set<std::string> copied_;
};

} // namespace

int importSet(const std::string &json, const std::string &dir, const std::string &media,
              std::ostream &out, std::ostream &err) {
    Importer importer(json, media);
    std::vector<FileToWrite> files;
    try {
        files = importer.plan(readExport(json));
    } catch (const ExportRefused &refused) {
        err << "quorlin: " << json << ": " << refused.what << std::endl;
        return kUsageStatus;
    }
    const std::string refused = refusedSetDirectory(dir, "--import");
    if (!refused.empty()) {
        err << "quorlin: " << refused << std::endl;
        return kUsageStatus;
    }
    const int status = writeSetFiles(dir, files, err);
    if (status != 0)
        return status;
    for (const std::string &line : importer.lines())
        out << line << std::endl;
    out << importLines::created(shellQuoted(dir), json, runCommand()) << std::endl;
    return 0;
}
