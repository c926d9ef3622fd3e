// What each pass and each input type of an export becomes in a set: the tables
// to edit when Quorlin learns to run another pass or read another source.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A pass a set can hold. One with notYet is a pass Quorlin cannot run yet: a
// line says so, its code is kept when it has a file, and its table is left out
// of quorlin.toml, which would refuse it.
struct PassKind {
    const char *name;        // the export's name, spaces left out ("Buf A" reads as "Buffer A")
    const char *type;        // the export's type, when that alone names the pass
    const char *table;       // in quorlin.toml; empty: wired nowhere
    const char *file;        // empty: not written
    const char *placeholder; // the stem of the "src" that stands for this pass's output
    const char *notYet;      // what Quorlin cannot run yet, or nullptr
};
constexpr std::string_view kImagePass = "Image";

// How an input type becomes a channel in quorlin.toml.
enum class Wiring {
    Pass,  // the render target of the pass the input names: KEY = "BufferA"; a cube map
           // that names none is six pictures: { cube = "NAME_{face}.EXT" }
    Media, // a file found beside the export and copied into the set: { KEY = "name" }
    Word,  // a source that a fixed word names: KEY
    None,  // nothing Quorlin plans to read
};

// An input type. One marked notYet is a type Quorlin cannot provide yet: its
// channel reads nothing (a cube map's is still declared samplerCube, so the
// code compiles) and a line says so. Providing it means clearing the mark.
struct InputType {
    const char *type; // the input's "ctype" or "type"
    Wiring wiring;
    const char *key;  // Pass and Media: the inline table's key; Word: the word
    const char *what; // as the lines name it
    bool cube;        // declared samplerCube rather than sampler2D
    bool video;       // played by ffmpeg, sampled by a video's defaults
    bool sound;       // read as a sound texture, sampled as one
    bool notYet;
};

// A sampler value of the export and what the set assumes when it is not written.
struct SamplingKey {
    const char *key;
    std::vector<std::string_view> choices;
    const char *fileDefault;
    const char *videoDefault;
    const char *targetDefault; // nullptr: never written for a render target
    const char *soundDefault;  // nullptr: never written for a sound texture
    bool boolean;

    bool takes(const std::string &value) const;
};
// filter, wrap and vflip, in this order.
extern const SamplingKey kSamplingKeys[3];

// By name, else by a type that alone names one; nullptr when neither does.
const PassKind *passNamed(const std::string &name);
const PassKind *passOf(const std::string &name, const std::string &type);
// The pass whose output a placeholder picture such as buffer01.png stands for.
const PassKind *passShownBy(const std::string &stem);
const InputType *inputTypeOf(const std::string &type);
