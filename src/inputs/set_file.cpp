// Reading quorlin.toml: toml++ parses it, and every table, key and value is
// checked here against what the wiring knows, so that a typo is an error at
// its line and column rather than a channel silently reading nothing.
#include "inputs/set_file.h"

#include "inputs/video/video_names.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const char *const kPassNames = "(BufferA to BufferD, CubeA, keyboard, camera, microphone, "
                               "loopback, or an image or video file)";
const char *const kTables = "Image, BufferA, BufferB, BufferC, BufferD, CubeA";
const char *const kKeyboard = "keyboard";
const char *const kMicrophone = "microphone";
const char *const kLoopback = "loopback";
const std::string kFaceMark = "{face}";

struct Problem {
    toml::source_position at;
    std::string what;
};

[[noreturn]] void fail(const toml::source_region &at, std::string what) {
    throw Problem{at.begin, std::move(what)};
}

std::string inQuotes(std::string_view text) {
    return "'" + std::string(text) + "'";
}

int programNamed(std::string_view name) {
    for (int p = 0; p < kSamplingPrograms; ++p)
        if (name == programName(p))
            return p;
    return -1;
}

int bufferNamed(std::string_view name) {
    const int p = programNamed(name);
    return p < kBufferPasses ? p : -1;
}

const std::string &stringOf(const toml::node &node, const std::string &key) {
    if (!node.is_string())
        fail(node.source(), key + " wants a string");
    return node.as_string()->get();
}

struct Word {
    const char *text;
    int value;
};
constexpr Word kFilters[] = {{"nearest", static_cast<int>(SamplerFilter::kNearest)},
                             {"linear", static_cast<int>(SamplerFilter::kLinear)},
                             {"mipmap", static_cast<int>(SamplerFilter::kMipmap)}};
constexpr Word kWraps[] = {{"clamp", static_cast<int>(SamplerWrap::kClamp)},
                           {"repeat", static_cast<int>(SamplerWrap::kRepeat)},
                           {"mirror", static_cast<int>(SamplerWrap::kMirror)}};
constexpr Word kTypes[] = {{"2d", GL_TEXTURE_2D}, {"cube", GL_TEXTURE_CUBE_MAP}};
constexpr Word kMouseStyles[] = {{"buttons", static_cast<int>(MouseStyle::kButtons)},
                                 {"click", static_cast<int>(MouseStyle::kClick)}};

template <std::size_t N>
int wordOf(const toml::node &node, const char *key, const Word (&words)[N]) {
    const std::string &text = stringOf(node, key);
    std::string known;
    for (const Word &word : words) {
        if (text == word.text)
            return word.value;
        known += std::string(known.empty() ? "" : ", ") + word.text;
    }
    fail(node.source(), std::string("unknown ") + key + " " + inQuotes(text) + ": " + known);
}

// A buffer's target, or the cube-map pass's cube.
Wire bufferWire(const toml::node &node) {
    const std::string &name = stringOf(node, "buffer");
    Wire wire;
    wire.source.kind = SourceKind::kTarget;
    wire.source.buffer = bufferNamed(name);
    if (name == programName(kCubeA)) {
        wire.source.kind = SourceKind::kCubePass;
        wire.source.target = GL_TEXTURE_CUBE_MAP;
        wire.source.buffer = kCubeA;
    }
    if (wire.source.buffer < 0)
        fail(node.source(), "unknown pass " + inQuotes(name) + " " + kPassNames);
    wire.sampling = kTargetSampling;
    return wire;
}

// A file, a stream or the camera, played by ffmpeg.
Wire videoWire(const std::string &path, bool stream) {
    Wire wire;
    wire.source.kind = SourceKind::kVideo;
    wire.source.path = path;
    wire.source.stream = stream;
    wire.sampling = kVideoSampling;
    return wire;
}

Wire keyboardWire() {
    Wire wire;
    wire.source.kind = SourceKind::kKeyboard;
    wire.sampling = kKeyboardSampling;
    return wire;
}

Wire cubeWire(const std::string &dir, const toml::node &node) {
    const std::string &faces = stringOf(node, "cube");
    if (faces.find(kFaceMark) == std::string::npos)
        fail(node.source(), "a cube's file name wants {face}, which stands for px nx py ny pz nz");
    Wire wire;
    wire.source.kind = SourceKind::kCube;
    wire.source.target = GL_TEXTURE_CUBE_MAP;
    wire.source.path = dir + "/" + faces;
    return wire;
}

// A picture, or a video by its extension as --texture tells them apart.
Wire fileWire(const std::string &dir, const std::string &file) {
    if (isVideoFile(file))
        return videoWire(dir + "/" + file, false);
    Wire wire;
    wire.source.kind = SourceKind::kImage;
    wire.source.path = dir + "/" + file;
    return wire;
}

// A stream is a URL, or a device or FIFO that a relative name finds in the set.
std::string streamPath(const std::string &dir, const std::string &name) {
    const bool local =
        name.find("://") == std::string::npos && name != kCamera && fs::path(name).is_relative();
    return local ? dir + "/" + name : name;
}

Wire soundWire(SoundInput input, const std::string &path) {
    Wire wire;
    wire.source.kind = SourceKind::kSound;
    wire.source.sound = input;
    wire.source.path = path;
    wire.sampling = kSoundSampling;
    return wire;
}

Wire stringWire(const std::string &dir, const toml::node &node) {
    const std::string &text = node.as_string()->get();
    if (text == kKeyboard)
        return keyboardWire();
    if (bufferNamed(text) >= 0 || text == programName(kCubeA))
        return bufferWire(node);
    if (text == kCamera)
        return videoWire(kCamera, true);
    if (text == kMicrophone || text == kLoopback)
        return soundWire(text == kMicrophone ? SoundInput::kMicrophone : SoundInput::kLoopback, "");
    if (!hasImageExtension(text) && !isVideoFile(text))
        fail(node.source(), "unknown pass " + inQuotes(text) + " " + kPassNames);
    return fileWire(dir, text);
}

// loop, format and size: only where they mean something, of the type they want.
void readMediaKeys(const toml::table &table, Wire &wire) {
    const bool stream = wire.source.kind == SourceKind::kVideo && wire.source.stream;
    const bool played =
        (wire.source.kind == SourceKind::kVideo && !stream) ||
        (wire.source.kind == SourceKind::kSound && wire.source.sound == SoundInput::kFile);
    if (const toml::node *loop = table.get("loop")) {
        if (!played)
            fail(loop->source(), "loop applies to a video or audio file only");
        if (!loop->is_boolean())
            fail(loop->source(), "loop wants true or false");
        wire.source.loop = loop->as_boolean()->get();
    }
    if (const toml::node *format = table.get("format")) {
        if (!stream)
            fail(format->source(), "format applies to a stream only");
        wire.source.format = stringOf(*format, "format");
    }
    if (const toml::node *size = table.get("size")) {
        if (!stream)
            fail(size->source(), "size applies to a stream only");
        wire.source.size = stringOf(*size, "size");
    }
}

Wire tableWire(const std::string &dir, const toml::table &table, const std::string &channel) {
    static const char *const kKeys[] = {"buffer", "file",   "cube", "video", "stream",
                                        "audio",  "filter", "wrap", "vflip", "type",
                                        "loop",   "format", "size"};
    for (auto &&[key, value] : table)
        if (std::find(std::begin(kKeys), std::end(kKeys), key.str()) == std::end(kKeys))
            fail(key.source(), "unknown key " + inQuotes(key.str()) + " in " + channel +
                                   ": buffer, file, cube, video, stream, audio, filter, wrap, "
                                   "vflip, type, loop, format, size");
    const toml::node *buffer = table.get("buffer"), *file = table.get("file");
    const toml::node *cube = table.get("cube"), *video = table.get("video");
    const toml::node *stream = table.get("stream"), *audio = table.get("audio");
    const toml::node *filter = table.get("filter"), *wrap = table.get("wrap");
    const toml::node *vflip = table.get("vflip"), *type = table.get("type");
    Wire wire;
    const int given = (buffer != nullptr) + (file != nullptr) + (cube != nullptr) +
                      (video != nullptr) + (stream != nullptr) + (audio != nullptr);
    if (given > 1)
        fail(table.source(), channel + " takes one of buffer, file, cube, video, stream, audio");
    if (buffer)
        wire = bufferWire(*buffer);
    else if (file)
        wire = fileWire(dir, stringOf(*file, "file"));
    else if (cube)
        wire = cubeWire(dir, *cube);
    else if (video)
        wire = videoWire(dir + "/" + stringOf(*video, "video"), false);
    else if (stream)
        wire = videoWire(streamPath(dir, stringOf(*stream, "stream")), true);
    else if (audio)
        wire = soundWire(SoundInput::kFile, dir + "/" + stringOf(*audio, "audio"));
    readMediaKeys(table, wire);
    const GLenum target =
        type ? static_cast<GLenum>(wordOf(*type, "type", kTypes)) : wire.source.target;
    // Alone, a cube type declares the channel's sampler and reads nothing.
    if (given == 0 && target != GL_TEXTURE_CUBE_MAP)
        fail(table.source(), channel + " wants a buffer, file, cube, video, stream or audio");
    if (given != 0 && target != wire.source.target)
        fail(type->source(), "the type does not match what " + channel + " reads");
    wire.source.target = target;
    if (filter) {
        wire.sampling.filter = static_cast<SamplerFilter>(wordOf(*filter, "filter", kFilters));
        if (buffer && wire.sampling.filter == SamplerFilter::kMipmap)
            fail(filter->source(), "a render target has no mipmaps: choose nearest or linear");
        if (audio && wire.sampling.filter == SamplerFilter::kMipmap)
            fail(filter->source(), "a sound texture has no mipmaps: choose nearest or linear");
    }
    if (wrap)
        wire.sampling.wrap = static_cast<SamplerWrap>(wordOf(*wrap, "wrap", kWraps));
    if (vflip) {
        if (wire.source.kind != SourceKind::kImage && wire.source.kind != SourceKind::kVideo)
            fail(vflip->source(), "vflip applies to a file, video or stream only");
        if (!vflip->is_boolean())
            fail(vflip->source(), "vflip wants true or false");
        wire.source.vflip = vflip->as_boolean()->get();
    }
    return wire;
}

void readPass(const std::string &dir, const toml::table &table,
              std::array<std::optional<Wire>, kShaderChannels> &channels) {
    for (auto &&[key, value] : table) {
        const int n = channelOf(std::string(key.str()));
        if (n < 0)
            fail(key.source(), "unknown key " + inQuotes(key.str()) + ": iChannel0 to iChannel3");
        if (value.is_string())
            channels[n] = stringWire(dir, value);
        else if (value.is_table())
            channels[n] = tableWire(dir, *value.as_table(), channelName(n));
        else
            fail(value.source(), channelName(n) + " wants a string or an inline table");
    }
}

void readRoot(const std::string &dir, const toml::table &root, SetFile &set) {
    for (auto &&[key, value] : root) {
        if (key.str() == "mouse") {
            set.mouse = static_cast<MouseStyle>(wordOf(value, "mouse", kMouseStyles));
            continue;
        }
        const int p = programNamed(key.str());
        if (p < 0 && value.is_table())
            fail(key.source(), "unknown table " + inQuotes(key.str()) + ": " + kTables);
        if (p < 0)
            fail(key.source(),
                 "unknown key " + inQuotes(key.str()) + ": mouse, or a table " + kTables);
        if (!value.is_table())
            fail(value.source(), std::string(programName(p)) + " wants a table");
        readPass(dir, *value.as_table(), set.channels[p]);
    }
}

std::string located(const toml::source_position &at, std::string_view what) {
    return std::string(kSetFileName) + ":" + std::to_string(at.line) + ":" +
           std::to_string(at.column) + ": " + std::string(what);
}

} // namespace

std::string readSetFile(const std::string &dir, SetFile &set) {
    const std::string path = dir + "/" + kSetFileName;
    std::error_code error;
    if (!fs::exists(path, error)) {
        set = SetFile{};
        return "";
    }
    // Only a regular file has an end to read to.
    if (!fs::is_regular_file(path, error))
        return std::string(kSetFileName) + ": not a regular file";
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    if (!in.is_open() || in.bad())
        return std::string(kSetFileName) + ": " + std::strerror(errno);
    SetFile read;
    read.present = true;
    try {
        readRoot(dir, toml::parse(std::string_view(text), std::string_view(kSetFileName)), read);
    } catch (const toml::parse_error &e) {
        return located(e.source().begin, e.description());
    } catch (const Problem &problem) {
        return located(problem.at, problem.what);
    }
    set = std::move(read);
    return "";
}
