// Reading the set's images into textures and pointing its samplers at them.
#include "inputs/images.h"

#include "inputs/image_files.h"
#include "render/passes.h"
#include "util/text.h"

#include <algorithm>
#include <iostream>
#include <set>

namespace {

constexpr GLint kFirstImageUnit = kBufferPasses;
const std::string kResolutionSuffix = "Resolution";
const std::string kChannelResolution = "iChannelResolution";
constexpr GLfloat kDepth = 1.0f; // z of a vec3 resolution

struct ProgramUniforms {
    Shader *shader;
    const std::vector<ActiveUniform> &uniforms; // from the program's last link
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

// On the bound texture.
void setSampling(const SamplerSettings &s) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapMode(s));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapMode(s));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter(s));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    s.filter == SamplerFilter::kNearest ? GL_NEAREST : GL_LINEAR);
}

const SamplerSettings &settingsOf(const ImageChoices &choices, const std::string &name) {
    static const SamplerSettings kDefault;
    const SamplerSettings *chosen = samplerChoice(choices, name);
    return chosen != nullptr ? *chosen : kDefault;
}

// Binds the texture on the active unit, a channel's; the decoded pixels go
// as soon as GL has them.
void upload(ImageInput &input, DecodedImage &image, const SamplerSettings &settings) {
    if (input.texture == 0)
        glGenTextures(1, &input.texture);
    glBindTexture(GL_TEXTURE_2D, input.texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(image.internalFormat), image.width,
                 image.height, 0, GL_RGBA, image.type, image.pixels.get());
    image.pixels.reset();
    setSampling(settings);
    if (settings.filter == SamplerFilter::kMipmap)
        glGenerateMipmap(GL_TEXTURE_2D);
    input.size = {image.width, image.height};
}

void release(GLuint texture) {
    if (texture != 0)
        glDeleteTextures(1, &texture);
}

void read(ImageInput &input, Images &images) {
    const std::string path = boundFile(images.choices, input.name);
    if (!path.empty())
        input.path = path;
    if (input.path.empty()) {
        std::cout << "No image for sampler " << input.name << ": give --texture " << input.name
                  << "=FILE or put " << input.name << ".png in " << images.choices.dir << std::endl;
        return;
    }
    if (images.maxSide == 0)
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &images.maxSide);
    DecodedImage image;
    const std::string error = readImageFile(input.path, images.maxSide, image);
    if (error.empty())
        upload(input, image, settingsOf(images.choices, input.name));
    else
        std::cout << "Failed to load image " << input.path << " for " << input.name << ": " << error
                  << std::endl;
}

GLuint blackTexture() {
    static constexpr GLubyte kTransparentBlack[4] = {0, 0, 0, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTransparentBlack);
    SamplerSettings nearest;
    nearest.filter = SamplerFilter::kNearest;
    setSampling(nearest);
    return texture;
}

// Units after the channels' for the names that are not channels; when they run
// out, the last unit holds transparent black for the rest. Returns how many
// names have a unit of their own.
std::size_t assignUnits(Images &images) {
    std::vector<ImageInput *> needing;
    for (ImageInput &input : images.inputs) {
        input.unit = -1;
        if (channelOf(input.name) < 0)
            needing.push_back(&input);
    }
    if (needing.empty())
        return 0;
    if (images.maxUnits == 0)
        glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &images.maxUnits);
    // GL 3.3 guarantees 16, so some are always free.
    const std::size_t free = static_cast<std::size_t>(images.maxUnits - kFirstImageUnit);
    const std::size_t kept = needing.size() <= free ? needing.size() : free - 1;
    std::string left;
    for (std::size_t i = 0; i < needing.size(); ++i) {
        needing[i]->unit = kFirstImageUnit + static_cast<GLint>(std::min(i, kept));
        if (i >= kept)
            left += " " + needing[i]->name;
    }
    if (!left.empty())
        std::cout << "No texture unit left for sampler(s)" << left << std::endl;
    return kept;
}

const ImageInput *inputNamed(const Images &images, const std::string &name) {
    for (const ImageInput &input : images.inputs)
        if (input.name == name)
            return &input;
    return nullptr;
}

glm::vec2 channelSize(const Images &images, int n, glm::vec2 renderSize) {
    const ImageInput *input = inputNamed(images, channelName(n));
    return input != nullptr ? glm::vec2(input->size) : renderSize;
}

void setUniforms(const ProgramUniforms &program, const Images &images, glm::vec2 renderSize) {
    const GLuint id = program.shader->programId;
    bool current = false;
    auto location = [&](const std::string &name) {
        if (!current)
            program.shader->use();
        current = true;
        return glGetUniformLocation(id, name.c_str());
    };
    for (const ActiveUniform &u : program.uniforms) {
        const ImageInput *image = inputNamed(images, u.name);
        if (u.type == GL_SAMPLER_2D && image != nullptr && image->unit >= 0) {
            glUniform1i(location(u.name), image->unit);
        } else if (u.type != GL_FLOAT_VEC2 && u.type != GL_FLOAT_VEC3) {
            continue;
        } else if (u.name == kChannelResolution) {
            std::vector<GLfloat> values;
            for (int n = 0; n < u.size; ++n) {
                const glm::vec2 size = channelSize(images, n, renderSize);
                values.insert(values.end(), {size.x, size.y});
                if (u.type == GL_FLOAT_VEC3)
                    values.push_back(kDepth);
            }
            if (u.type == GL_FLOAT_VEC3)
                glUniform3fv(location(u.name + "[0]"), u.size, values.data());
            else
                glUniform2fv(location(u.name + "[0]"), u.size, values.data());
        } else if (endsWith(u.name, kResolutionSuffix)) {
            const ImageInput *of =
                inputNamed(images, u.name.substr(0, u.name.size() - kResolutionSuffix.size()));
            if (of == nullptr)
                continue;
            const glm::vec2 size = of->size;
            if (u.type == GL_FLOAT_VEC3)
                glUniform3f(location(u.name), size.x, size.y, kDepth);
            else
                glUniform2f(location(u.name), size.x, size.y);
        }
    }
}

// A channel that keeps its render target takes its --sampler as texture
// parameters of the target's textures.
void setTargetSampling(Scene &scene) {
    for (int n = 0; n < kBufferPasses; ++n) {
        const SamplerSettings *chosen = samplerChoice(scene.images.choices, channelName(n));
        if (chosen == nullptr || scene.images.channels[n] != 0)
            continue;
        SamplerSettings settings = *chosen;
        if (!settings.filterGiven)
            settings.filter = SamplerFilter::kLinear;
        const RenderTarget &target = scene.targets[static_cast<std::size_t>(n)];
        for (GLuint texture : {target.colour, target.spareColour}) {
            if (texture == 0)
                continue;
            glBindTexture(GL_TEXTURE_2D, texture);
            setSampling(settings);
        }
    }
}

void reportUnused(const Images &images, const std::set<std::string> &used) {
    std::set<std::string> reported;
    auto check = [&](const std::string &name) {
        if (!used.count(name) && reported.insert(name).second)
            std::cout << "No program uses sampler " << name << std::endl;
    };
    for (const TextureChoice &t : images.choices.textures)
        check(t.name);
    for (const SamplerChoice &s : images.choices.samplers)
        check(s.name);
}

} // namespace

unsigned imageChannels(const Images &images) {
    unsigned mask = 0;
    for (int n = 0; n < kBufferPasses; ++n)
        if (images.channels[n] != 0 || !boundFile(images.choices, channelName(n)).empty())
            mask |= passBit(n);
    return mask;
}

void bindImages(Scene &scene) {
    Images &images = scene.images;
    Programs &programs = scene.programs;
    std::vector<ProgramUniforms> visited{{&programs.image, programs.imageInputs.uniforms}};
    for (int x = 0; x < kBufferPasses; ++x)
        if (programs.active & passBit(x))
            visited.push_back({&*programs.buffers[x].shader, programs.buffers[x].inputs.uniforms});
    std::set<std::string> used;
    for (const ProgramUniforms &program : visited)
        for (const ActiveUniform &u : program.uniforms)
            if (u.type == GL_SAMPLER_2D)
                used.insert(u.name);

    std::vector<ImageInput> previous = std::move(images.inputs);
    images.inputs.clear();
    for (const std::string &name : used) {
        const int channel = channelOf(name);
        if (channel >= 0 && !(programs.imageChannels & passBit(channel)))
            continue;
        auto kept = std::find_if(previous.begin(), previous.end(),
                                 [&](const ImageInput &p) { return p.name == name; });
        images.inputs.emplace_back();
        if (kept != previous.end()) {
            images.inputs.back() = std::move(*kept);
            previous.erase(kept);
        }
        images.inputs.back().name = name;
    }
    for (const ImageInput &gone : previous)
        release(gone.texture);
    const std::size_t withUnits = assignUnits(images);
    for (ImageInput &input : images.inputs) {
        if (input.unit < 0 || input.unit < kFirstImageUnit + static_cast<GLint>(withUnits)) {
            read(input, images);
        } else {
            release(input.texture);
            input = ImageInput{input.name, "", 0, {0, 0}, input.unit};
        }
    }
    const bool anyBlack = std::any_of(images.inputs.begin(), images.inputs.end(),
                                      [](const ImageInput &i) { return i.texture == 0; });
    if (anyBlack && images.black == 0)
        images.black = blackTexture();
    for (int n = 0; n < kBufferPasses; ++n) {
        const ImageInput *input = inputNamed(images, channelName(n));
        images.channels[n] = input == nullptr ? 0 : input->texture ? input->texture : images.black;
    }
    setTargetSampling(scene);
    for (const ProgramUniforms &program : visited)
        setUniforms(program, images, scene.resolution);

    bool bound = false;
    for (const ImageInput &input : images.inputs) {
        if (input.unit < 0)
            continue;
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(input.unit));
        glBindTexture(GL_TEXTURE_2D, input.texture ? input.texture : images.black);
        bound = true;
    }
    // The unit left active is where the next texture set-up binds.
    if (bound)
        glActiveTexture(GL_TEXTURE0);
    reportUnused(images, used);
    images.watchedFiles = watchedImageFiles(images.choices, {used.begin(), used.end()});
}

void deleteImages(const Images &images) {
    for (const ImageInput &input : images.inputs)
        release(input.texture);
    release(images.black);
}
