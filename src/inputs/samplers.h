// Which image each sampler of the set reads: the --texture and --sampler
// choices, the files of the shader directory that bind by name, and the
// samplers a linked program uses.
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
};

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

// The file bound to a sampler name: its --texture, else the first NAME.<ext>
// in the shader directory; empty when neither.
std::string boundFile(const ImageChoices &choices, const std::string &name);

// The sampling a name gets: its --sampler, else mipmapped trilinear, repeat.
const SamplerSettings *samplerChoice(const ImageChoices &choices, const std::string &name);

// Bare file names in the shader directory whose saving changes what binds.
std::vector<std::string> watchedImageFiles(const ImageChoices &choices,
                                           const std::vector<std::string> &names);

// An empty string, or the bad-usage text for a --sampler mipmap on a channel
// that reads a render target.
std::string channelSamplerProblem(const ImageChoices &choices);

// The channel names, iChannel0 to iChannel3.
const std::string &channelName(int n);
// Channel n, or -1 for a sampler that is not a channel.
int channelOf(const std::string &name);

// A linked program's active uniforms of interest: its 2D samplers and its
// float, int, bool, vec2, vec3 and vec4 uniforms (arrays by their first
// element's name, "[0]" cut).
struct ActiveUniform {
    std::string name;
    GLenum type;
    GLint size;
};
std::vector<ActiveUniform> activeUniforms(GLuint program);
