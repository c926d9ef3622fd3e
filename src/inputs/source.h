// What a program's sampler reads, a source, and the one contract every kind
// of source keeps. A kind is one file, source_KIND.cpp: a class derived from
// Source and its factory, which together do four things:
//   create   the factory makes the kind's GL objects from the plan's
//            description. It is handed the previous plan's source of the same
//            description, if any, and takes it over (a picture whose new read
//            fails keeps the old one; a plan that reads nothing again keeps it
//            as it is) or releases it. It returns nothing when there is
//            nothing to read, and the plan then reads transparent black;
//   update   once a frame, before any pass draws, for a kind whose content
//            changes over time (updates() says so); the active unit is then
//            one whose texture every draw binds again;
//   bind     binds its texture on the active unit: before every draw of a
//            program that reads it when perDraw(), else once, when the plan is
//            applied, on a unit of its own;
//   release  gives back what create made.
// Besides, a source gives the size and, for media, the playback time that the
// uniforms of a program reading it report.
// A new kind: a SourceKind value, its fields in SourceSpec (and in operator==),
// its factory declared below and listed in plan.cpp's table, and its file.
#pragma once

#include "inputs/keyboard.h"
#include "inputs/samplers.h"
#include "inputs/sound/sound_channel.h"
#include "render/cube_target.h"
#include "render/render_targets.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <memory>
#include <string>

struct FrameUniforms;
struct Sound;

// The keyboard is read texel by texel.
constexpr SamplerSettings kKeyboardSampling{SamplerFilter::kNearest, SamplerWrap::kClamp, true};

enum class SourceKind {
    kBlack,
    kImage,
    kTarget,
    kVideo,
    kSound,
    kKeyboard,
    kCube,
    kCubePass,
    kKinds
};

// The plan's description of a source: samplers whose sources are described
// alike read one source, decoded and uploaded once.
struct SourceSpec {
    SourceKind kind = SourceKind::kBlack;
    GLenum target = GL_TEXTURE_2D; // GL_TEXTURE_2D, or GL_TEXTURE_CUBE_MAP for a samplerCube
    std::string path;    // kImage, kVideo, kSound: the file; a stream's URL or device; kCube: the
                         // faces' name with {face}
    bool vflip = true;   // kImage, kVideo: (0, 0) is the bottom-left pixel
    int buffer = -1;     // kTarget, kCubePass: the pass whose target it reads
    bool stream = false; // kVideo: live, read at its newest frame
    bool loop = true;    // kVideo, kSound: a file starts again at its end
    std::string format;  // kVideo: a stream's input format ("v4l2")
    std::string size;    // kVideo: a stream's requested size, WxH
    SoundInput sound = SoundInput::kFile; // kSound: a file, the microphone or loopback
};
inline bool operator==(const SourceSpec &a, const SourceSpec &b) {
    return a.kind == b.kind && a.target == b.target && a.path == b.path && a.vflip == b.vflip &&
           a.buffer == b.buffer && a.stream == b.stream && a.loop == b.loop &&
           a.format == b.format && a.size == b.size && a.sound == b.sound;
}

class Source;

// The clock media follow. On the fixed clock (exact) it is each frame's
// iTime, before iTime is narrowed to a float, and each frame waits for its
// picture; on the live clock it counts the seconds rendering has run, from 0
// at the first rendered frame, a pause left out. now: at the latest frame.
struct MediaClock {
    bool exact = false;
    double now = 0.0;
};

// What a factory is given besides the description.
struct SourceContext {
    SamplerSettings sampling; // its texture's own sampling: its first reader's
    bool mipmaps;             // some reader filters with mipmaps
    std::string reader;       // the first sampler reading it, for messages
    std::string readerPass;   // the program it belongs to, likewise
    bool reread;              // false: a change of view, not a reload: nothing is read again
    const RenderTargets *targets;
    glm::vec2 renderSize;
    GLint *maxSide; // GL_MAX_TEXTURE_SIZE, asked at the first need (0 until then)
    MediaClock media;
    Sound *sound; // what plays and captures sound
    Keyboard *keyboard;
    const CubeTarget *cube;
    bool *seamless; // GL_TEXTURE_CUBE_MAP_SEAMLESS is on: once a cube is read, never before
};

// Turns on seamless filtering across cube faces, the first time.
void seamlessCubes(const SourceContext &context);

class Source {
  public:
    explicit Source(const SourceSpec &spec) : spec(spec) {}
    virtual ~Source() = default;
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    virtual bool updates() const { return false; }
    // Returns whether size() changed, which the programs' sizes then follow.
    virtual bool update(const FrameUniforms &) { return false; }
    virtual bool perDraw() const { return false; }
    virtual void bind() const = 0;
    virtual void release() = 0;
    // Width and height of what it reads: iChannelResolution, NAMEResolution.
    virtual glm::vec2 size() const = 0;
    // The playback time of its media, for iChannelTime; false: it has none.
    virtual bool mediaTime(float &) const { return false; }

    const SourceSpec spec;
};

using SourceFactory = std::unique_ptr<Source> (*)(const SourceSpec &, const SourceContext &,
                                                  std::unique_ptr<Source> previous);

// Transparent black, 1 x 1: an unwired channel, a sampler without a picture.
std::unique_ptr<Source> createBlackSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous);
// A picture file, decoded apart and uploaded.
std::unique_ptr<Source> createImageSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous);
// Sound: the spectrum and waveform of a file, the microphone or what the
// machine plays (sound/sound_channel.h).
std::unique_ptr<Source> createSoundSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous);
// A buffer pass's render target: this frame's picture for a pass that runs
// after it, the previous frame's for itself and the passes before it.
std::unique_ptr<Source> createTargetSource(const SourceSpec &spec, const SourceContext &context,
                                           std::unique_ptr<Source> previous);
// A video file, a live stream or a camera, decoded by ffmpeg on a thread of
// its own and followed by the frame's clock.
std::unique_ptr<Source> createVideoSource(const SourceSpec &spec, const SourceContext &context,
                                          std::unique_ptr<Source> previous);
// The keyboard's three rows of 256 key codes.
std::unique_ptr<Source> createKeyboardSource(const SourceSpec &spec, const SourceContext &context,
                                             std::unique_ptr<Source> previous);
// A cube map read from six picture files, named as pattern with {face}
// standing for px nx py ny pz nz: face 0 to 5, in GL's order.
std::string cubeFacePath(const std::string &pattern, int face);
std::unique_ptr<Source> createCubeSource(const SourceSpec &spec, const SourceContext &context,
                                         std::unique_ptr<Source> previous);
// The cube-map pass's cube: this frame's for the image, the previous frame's
// for the passes, itself included.
std::unique_ptr<Source> createCubePassSource(const SourceSpec &spec, const SourceContext &context,
                                             std::unique_ptr<Source> previous);
