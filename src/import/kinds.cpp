// The tables themselves, and looking rows up in them.
#include "import/kinds.h"

#include <algorithm>
#include <cctype>

namespace {

// clang-format off
constexpr PassKind kPassKinds[] = {
    // name     type       table      file           placeholder  notYet
    {"Image",   "image",   "Image",   "Image.frag",  "",          nullptr},
    {"BufferA", "",        "BufferA", "BufferA.fs",  "buffer00",  nullptr},
    {"BufferB", "",        "BufferB", "BufferB.fs",  "buffer01",  nullptr},
    {"BufferC", "",        "BufferC", "BufferC.fs",  "buffer02",  nullptr},
    {"BufferD", "",        "BufferD", "BufferD.fs",  "buffer03",  nullptr},
    {"Common",  "common",  "",        "common.incl", "",          nullptr},
    {"CubeA",   "cubemap", "CubeA",   "CubeA.fs",    "cubemap00", nullptr},
    {"Sound",   "sound",   "",        "Sound.fs",    "",          nullptr},
};

constexpr InputType kInputTypes[] = {
    // type         wiring         key           what              cube   video  sound  notYet
    {"texture",     Wiring::Media, "file",       "a texture",      false, false, false, false},
    {"buffer",      Wiring::Pass,  "buffer",     "a buffer",       false, false, false, false},
    {"cubemap",     Wiring::Pass,  "buffer",     "a cube map",     true,  false, false, false},
    {"keyboard",    Wiring::Word,  "keyboard",   "the keyboard",   false, false, false, false},
    {"music",       Wiring::Media, "audio",      "music",          false, false, true,  false},
    {"musicstream", Wiring::None,  "",           "a music stream", false, false, true,  true},
    {"mic",         Wiring::Word,  "microphone", "the microphone", false, false, true,  false},
    {"video",       Wiring::Media, "video",      "a video",        false, true,  false, false},
    {"webcam",      Wiring::Word,  "camera",     "the webcam",     false, true,  false, false},
    {"volume",      Wiring::None,  "",           "a volume",       false, false, false, true},
};
// clang-format on

std::string folded(const std::string &text) {
    std::string folded;
    for (char c : text)
        if (c != ' ')
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folded.rfind("buf", 0) == 0 && folded.rfind("buffer", 0) != 0)
        folded.insert(3, "fer");
    return folded;
}

} // namespace

// clang-format off
const SamplingKey kSamplingKeys[3] = {
    // key     choices                          file      video     target    sound     boolean
    {"filter", {"nearest", "linear", "mipmap"}, "mipmap", "linear", "linear", "linear", false},
    {"wrap",   {"clamp", "repeat", "mirror"},   "repeat", "clamp",  "repeat", "clamp",  false},
    {"vflip",  {"true", "false"},               "true",   "true",   nullptr,  nullptr,  true},
};
// clang-format on

bool SamplingKey::takes(const std::string &value) const {
    return std::find(choices.begin(), choices.end(), value) != choices.end();
}

const PassKind *passNamed(const std::string &name) {
    for (const PassKind &kind : kPassKinds)
        if (!name.empty() && folded(name) == folded(kind.name))
            return &kind;
    return nullptr;
}

const PassKind *passOf(const std::string &name, const std::string &type) {
    if (const PassKind *named = passNamed(name))
        return named;
    for (const PassKind &kind : kPassKinds)
        if (*kind.type && type == kind.type)
            return &kind;
    return nullptr;
}

const PassKind *passShownBy(const std::string &stem) {
    for (const PassKind &kind : kPassKinds)
        if (*kind.placeholder && stem == kind.placeholder)
            return &kind;
    return nullptr;
}

const InputType *inputTypeOf(const std::string &type) {
    for (const InputType &row : kInputTypes)
        if (type == row.type)
            return &row;
    return nullptr;
}
