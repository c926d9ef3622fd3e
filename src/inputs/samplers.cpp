// The binding rule from sampler names to image files and sampling choices.
#include "inputs/samplers.h"

#include "inputs/messages.h"
#include "inputs/video/video_names.h"
#include "shader/shader_files.h"
#include "util/program_path.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// Lower case only, tried in this order.
const char *const kExtensions[] = {".png", ".jpg", ".jpeg", ".bmp", ".tga",
                                   ".gif", ".hdr", ".pnm",  ".pgm", ".ppm"};
const std::array<std::string, kShaderChannels> kChannelNames = {"iChannel0", "iChannel1",
                                                                "iChannel2", "iChannel3"};

struct Word {
    const char *text;
    bool filter;
    int value;
};
constexpr Word kWords[] = {
    {"mipmap", true, static_cast<int>(SamplerFilter::kMipmap)},
    {"linear", true, static_cast<int>(SamplerFilter::kLinear)},
    {"nearest", true, static_cast<int>(SamplerFilter::kNearest)},
    {"repeat", false, static_cast<int>(SamplerWrap::kRepeat)},
    {"clamp", false, static_cast<int>(SamplerWrap::kClamp)},
    {"mirror", false, static_cast<int>(SamplerWrap::kMirror)},
};

GLint minFilter(const SamplerSettings &s) {
    switch (s.filter) {
    case SamplerFilter::kNearest:
        return GL_NEAREST;
    case SamplerFilter::kLinear:
        return GL_LINEAR;
    default:
        return GL_LINEAR_MIPMAP_LINEAR;
    }
}

GLint magFilter(const SamplerSettings &s) {
    return s.filter == SamplerFilter::kNearest ? GL_NEAREST : GL_LINEAR;
}

GLint wrapMode(const SamplerSettings &s) {
    switch (s.wrap) {
    case SamplerWrap::kClamp:
        return GL_CLAMP_TO_EDGE;
    case SamplerWrap::kMirror:
        return GL_MIRRORED_REPEAT;
    default:
        return GL_REPEAT;
    }
}

bool splitNameValue(const std::string &text, std::string &name, std::string &value) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    name = text.substr(0, equals);
    value = text.substr(equals + 1);
    return true;
}

bool sameDirectory(const fs::path &a, const fs::path &b) {
    std::error_code ignored;
    return fs::equivalent(a.empty() ? "." : a, b, ignored);
}

} // namespace

bool operator==(const SamplerSettings &a, const SamplerSettings &b) {
    return a.filter == b.filter && a.wrap == b.wrap;
}

void setTextureSampling(GLenum target, const SamplerSettings &settings) {
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrapMode(settings));
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrapMode(settings));
    if (target == GL_TEXTURE_CUBE_MAP)
        glTexParameteri(target, GL_TEXTURE_WRAP_R, wrapMode(settings));
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter(settings));
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter(settings));
}

void setSamplerObject(GLuint sampler, const SamplerSettings &settings) {
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrapMode(settings));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrapMode(settings));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, wrapMode(settings));
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter(settings));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magFilter(settings));
}

std::string parseTextureChoice(const std::string &text, TextureChoice &choice) {
    if (!splitNameValue(text, choice.name, choice.file))
        return "--texture: '" + text + "' is not NAME=FILE";
    std::error_code ignored;
    if (!fs::exists(choice.file, ignored))
        return "--texture: '" + choice.file + "' does not exist";
    if (!fs::is_regular_file(choice.file, ignored))
        return "--texture: '" + choice.file + "' is not a regular file";
    // As a recording without ffmpeg is refused.
    if (isVideoFile(choice.file) &&
        (findProgram("ffmpeg").empty() || findProgram("ffprobe").empty()))
        return "--texture: video '" + choice.file + "' " + kNoFfmpeg;
    return "";
}

std::string parseSamplerChoice(const std::string &text, SamplerChoice &choice) {
    std::string options;
    if (!splitNameValue(text, choice.name, options))
        return "--sampler: '" + text + "' is not NAME=OPTIONS";
    std::istringstream words(options);
    for (std::string word; std::getline(words, word, ',');) {
        const auto *known = std::find_if(std::begin(kWords), std::end(kWords),
                                         [&](const Word &w) { return word == w.text; });
        if (known == std::end(kWords))
            return "--sampler: '" + word + "' in '" + text +
                   "' is none of nearest, linear, mipmap, repeat, clamp, mirror";
        bool &given = known->filter ? choice.settings.filterGiven : choice.settings.wrapGiven;
        if (given)
            return "--sampler: '" + text + "' gives more than one " +
                   (known->filter ? "filter" : "wrap");
        given = true;
        if (known->filter)
            choice.settings.filter = static_cast<SamplerFilter>(known->value);
        else
            choice.settings.wrap = static_cast<SamplerWrap>(known->value);
    }
    if (!choice.settings.filterGiven && !choice.settings.wrapGiven)
        return "--sampler: '" + text + "' gives no option";
    return "";
}

bool hasImageExtension(const std::string &name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                       [&](const char *extension) { return endsWith(lower, extension); });
}

std::string boundFile(const ImageChoices &choices, const std::string &name) {
    for (auto t = choices.textures.rbegin(); t != choices.textures.rend(); ++t)
        if (t->name == name)
            return t->file;
    std::error_code ignored;
    for (const char *extension : kExtensions) {
        const std::string path = choices.dir + "/" + name + extension;
        if (fs::exists(path, ignored))
            return path;
    }
    return "";
}

const SamplerSettings *samplerChoice(const ImageChoices &choices, const std::string &name) {
    for (auto s = choices.samplers.rbegin(); s != choices.samplers.rend(); ++s)
        if (s->name == name)
            return &s->settings;
    return nullptr;
}

std::vector<std::string> watchedImageFiles(const ImageChoices &choices,
                                           const std::vector<std::string> &names) {
    std::vector<std::string> files;
    for (const std::string &name : names) {
        const auto given = std::find_if(choices.textures.rbegin(), choices.textures.rend(),
                                        [&](const TextureChoice &t) { return t.name == name; });
        if (given == choices.textures.rend()) {
            for (const char *extension : kExtensions)
                files.push_back(name + extension);
        } else if (sameDirectory(fs::path(given->file).parent_path(), choices.dir)) {
            files.push_back(fs::path(given->file).filename().native());
        }
    }
    return files;
}

std::string channelSamplerProblem(const ImageChoices &choices) {
    for (const SamplerChoice &s : choices.samplers) {
        const int n = channelOf(s.name);
        if (n >= 0 && s.settings.filterGiven && s.settings.filter == SamplerFilter::kMipmap &&
            boundFile(choices, s.name).empty())
            return "--sampler: " + s.name +
                   " reads a render target, which has no mipmaps; give it an image or "
                   "choose nearest or linear";
    }
    return "";
}

const std::string &channelName(int n) {
    return kChannelNames[static_cast<std::size_t>(n)];
}

int channelOf(const std::string &name) {
    const auto *found = std::find(kChannelNames.begin(), kChannelNames.end(), name);
    return found == kChannelNames.end() ? -1 : static_cast<int>(found - kChannelNames.begin());
}

void resampleTexture(GLenum target, GLuint texture, const SamplerSettings &wanted,
                     bool wantsMipmaps, SamplerSettings &sampling, bool &mipmaps) {
    const bool moreMipmaps = wantsMipmaps && !mipmaps;
    if (texture == 0 || (wanted == sampling && !moreMipmaps))
        return;
    glBindTexture(target, texture);
    setTextureSampling(target, wanted);
    if (moreMipmaps)
        glGenerateMipmap(target);
    sampling = wanted;
    mipmaps = mipmaps || wantsMipmaps;
}
