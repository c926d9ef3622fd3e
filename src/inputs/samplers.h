// Sampler names and sampling: the --texture and --sampler choices, the files
// of the shader directory that bind by name, the channels' names, and how a
// sampling is set on a texture or a sampler object.
#pragma once

#include <glad/gl.h>

#include <string>
#include <vector>

enum class SamplerFilter { kMipmap, kLinear, kNearest };
enum class SamplerWrap { kRepeat, kClamp, kMirror };

struct SamplerSettings {
    SamplerFilter filter = SamplerFilter::kMipmap;
    SamplerWrap wrap = SamplerWrap::kRepeat;
    bool filterGiven = false; // a render target keeps its linear filter unless told
    bool wrapGiven = false;   // a video keeps its clamp unless told
};
// Whether two settings sample alike (how they were given aside).
bool operator==(const SamplerSettings &a, const SamplerSettings &b);
inline bool operator!=(const SamplerSettings &a, const SamplerSettings &b) {
    return !(a == b);
}

// A render target's own sampling: linear, repeat, no mipmaps.
constexpr SamplerSettings kTargetSampling{SamplerFilter::kLinear, SamplerWrap::kRepeat, true};
// A video's own sampling: linear, clamp, no mipmaps.
constexpr SamplerSettings kVideoSampling{SamplerFilter::kLinear, SamplerWrap::kClamp, true, true};
// A sound texture's own: texels blend along the row, and never across the rows' edges.
constexpr SamplerSettings kSoundSampling{SamplerFilter::kLinear, SamplerWrap::kClamp, true, true};

// The settings as parameters of the texture bound to target on the active
// unit, or of a sampler object.
void setTextureSampling(GLenum target, const SamplerSettings &settings);
void setSamplerObject(GLuint sampler, const SamplerSettings &settings);

// A texture kept as it is (of target, sampled as sampling, with mipmaps or
// not) that is now read as wanted, with mipmaps when wantsMipmaps: its
// settings set again and mipmaps made once some reader first wants them.
void resampleTexture(GLenum target, GLuint texture, const SamplerSettings &wanted,
                     bool wantsMipmaps, SamplerSettings &sampling, bool &mipmaps);

struct TextureChoice {
    std::string name;
    std::string file;
};

struct SamplerChoice {
    std::string name;
    SamplerSettings settings;
};

// Everything start-up and reload need to find the set's images.
struct ImageChoices {
    std::vector<TextureChoice> textures; // later ones win for the same name
    std::vector<SamplerChoice> samplers;
    std::string dir;
};

// NAME=FILE and NAME=OPTIONS as the command line gives them; each returns an
// empty string or what is wrong, worded for a "quorlin: " line.
std::string parseTextureChoice(const std::string &text, TextureChoice &choice);
std::string parseSamplerChoice(const std::string &text, SamplerChoice &choice);

// Whether a file name ends in one of the picture extensions, in any case.
bool hasImageExtension(const std::string &name);

// The file bound to a sampler name: its --texture, else the first NAME.<ext>
// in the shader directory; empty when neither.
std::string boundFile(const ImageChoices &choices, const std::string &name);

// The name's --sampler, or nullptr.
const SamplerSettings *samplerChoice(const ImageChoices &choices, const std::string &name);

// Bare file names in the shader directory whose saving changes what binds.
std::vector<std::string> watchedImageFiles(const ImageChoices &choices,
                                           const std::vector<std::string> &names);

// An empty string, or the bad-usage text for a --sampler mipmap on a channel
// that reads a render target.
std::string channelSamplerProblem(const ImageChoices &choices);

// Channels a program may sample: iChannel0 to iChannel3.
constexpr int kShaderChannels = 4;

// The channel names, iChannel0 to iChannel3.
const std::string &channelName(int n);
// Channel n, or -1 for a sampler that is not a channel.
int channelOf(const std::string &name);
