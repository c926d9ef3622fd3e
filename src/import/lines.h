// Every line --import prints and every reason it refuses an export, word for word.
#pragma once

#include "import/kinds.h"

#include <string>

namespace importLines {

inline std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

// Refusals, after "quorlin: FILE.json: ".
constexpr const char *kNoPasses = "no \"Shader\" with a \"renderpass\" list";
constexpr const char *kNoImage = "no image pass with code";
inline std::string cannotRead(const std::string &reason) {
    return "cannot read it: " + reason;
}

inline std::string moreShaders(const std::string &json, std::size_t count,
                               const std::string &name) {
    return json + " holds " + std::to_string(count) + " shaders; imported the first, " +
           quoted(name);
}
inline std::string unknownPass(const std::string &name) {
    return "Pass " + quoted(name) +
           " is none of Image, Buffer A to D, Common, Cube A, Sound: not imported";
}
inline std::string secondPass(const std::string &name) {
    return "Pass " + quoted(name) + " comes a second time: not imported";
}
inline std::string noCode(const std::string &name) {
    return "Pass " + quoted(name) + " has no code: not imported";
}
inline std::string cannotRun(const std::string &name, const PassKind &kind) {
    return "Pass " + quoted(name) + ": Quorlin cannot run " + kind.notYet + " yet; " +
           (*kind.file ? std::string("its code is in ") + kind.file : "not imported");
}

// where: the pass and channel, as in "Image iChannel0".
inline std::string badChannel(const std::string &pass, const std::string &channel) {
    return pass + ": an input on channel " + quoted(channel) +
           " is not imported: channels are 0 to 3";
}
inline std::string secondInput(const std::string &where) {
    return where + ": a second input on this channel is not imported";
}
inline std::string unknownType(const std::string &where, const std::string &type) {
    return where + " reads " + quoted(type) + ", which Quorlin does not know; it reads nothing";
}
inline std::string notYet(const std::string &where, const InputType &type) {
    return where + " reads " + type.what + ", which Quorlin cannot provide yet; it reads nothing";
}
inline std::string noPass(const std::string &where, const InputType &type) {
    return where + " reads " + type.what + " that no pass of the export writes; it reads nothing";
}
inline std::string noMediaName(const std::string &where) {
    return where + " names no media file; it reads nothing";
}
inline std::string missingMedia(const std::string &name, const std::string &where,
                                const std::string &json) {
    return "Missing media " + name + " for " + where + ": put it beside " + json;
}
inline std::string mipmapTarget(const std::string &where, const std::string &pass) {
    return where + " reads " + pass + " with mipmaps, which render targets lack: written as linear";
}
inline std::string badSampling(const std::string &where, const SamplingKey &key,
                               const std::string &value) {
    std::string choices;
    for (std::string_view choice : key.choices)
        choices += (choices.empty() ? "" : ", ") + std::string(choice);
    return where + ": " + key.key + " " + quoted(value) + " is none of " + choices +
           "; left at the default";
}

// The last line; dir as the shell reads it back, command what runs this program.
inline std::string created(const std::string &dir, const std::string &json,
                           const std::string &command) {
    return "Created " + dir + " from " + json + "; run: " + command + " --watch " + dir;
}

} // namespace importLines
