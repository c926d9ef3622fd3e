// Building and rebuilding the set's programs.
#include "shader/programs.h"

#include "shader/compose.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

using Failure = std::vector<std::string>;

constexpr GLsizei kNameSize = 256;

// A declared type comes from the listing of active uniforms that also finds a
// program's samplers, so a link asks nothing more of GL for it; GL_NONE when
// the program does not use the uniform.
GLenum typeOf(const std::vector<ActiveUniform> &uniforms, const char *name) {
    for (const ActiveUniform &uniform : uniforms)
        if (uniform.name == name)
            return uniform.type;
    return GL_NONE;
}

// Sampler values live in the program and are set by the inputs' plan, once
// per build, not per frame.
ProgramInputs inspect(const Shader &shader) {
    ProgramInputs inputs;
    inputs.uniforms = activeUniforms(shader.programId);
    for (const ActiveUniform &u : inputs.uniforms) {
        const int n = channelOf(u.name);
        if (n >= 0 && isSamplerType(u.type))
            inputs.channels |= passBit(n);
    }
    inputs.frame = typeOf(inputs.uniforms, "iFrame") != GL_NONE;
    inputs.timeDelta = typeOf(inputs.uniforms, "iTimeDelta") != GL_NONE;
    inputs.resolution3 = typeOf(inputs.uniforms, "iResolution") == GL_FLOAT_VEC3;
    inputs.date = typeOf(inputs.uniforms, "iDate") == GL_FLOAT_VEC4;
    inputs.frameRate = typeOf(inputs.uniforms, "iFrameRate") == GL_FLOAT;
    for (const ActiveUniform &u : inputs.uniforms)
        if (u.name == "iChannelTime" && u.type == GL_FLOAT)
            inputs.channelTimes = std::min(u.size, static_cast<GLint>(kShaderChannels));
    // Set six times a frame: looked up once.
    if (typeOf(inputs.uniforms, kCubeFaceUniform) != GL_NONE)
        inputs.cubeFace = glGetUniformLocation(shader.programId, kCubeFaceUniform);
    return inputs;
}

// What every program of one build of the set shares.
struct SetBuild {
    const ShaderFiles &files;
    const Wiring &wiring;
    bool generatedImage; // the image stage gets the generated header
    // A set with a set file, or whose image stage declares nothing, may leave
    // out the vertex and viewer files.
    bool fallbacks;
};

SetBuild setBuild(const ShaderFiles &files, const Wiring &wiring) {
    const bool generated = generatesHeader(files.common, files.image);
    return {files, wiring, generated, wiring.set.present || generated};
}

// The viewer is no program of the wiring: its channels are declared 2D.
constexpr int kViewerProgram = -1;

// Builds in the set's order, so the failure kept is the first one reported.
Shader build(Failure &first, const SetBuild &set, const std::string &vertex,
             const std::string &fragment, int program) {
    Composition composition;
    composition.shippedFallbacks = set.fallbacks;
    composition.shippedFragment = set.fallbacks && program == kViewerProgram;
    for (int n = 0; program != kViewerProgram && n < kShaderChannels; ++n)
        composition.channels[n] = channelWire(set.wiring, program, n).source.target;
    Shader shader(readStages(set.files.common, vertex, fragment, composition));
    if (first.empty())
        first = shader.failure;
    return shader;
}

Shader buildImage(Failure &first, const SetBuild &set) {
    return build(first, set, set.files.vertex, set.files.image, kImageProgram);
}

Shader buildViewer(Failure &first, const SetBuild &set) {
    return build(first, set, set.files.viewerVertex, set.files.viewerFragment, kViewerProgram);
}

// A candidate that does not link is given back at once.
bool keepIfLinked(Shader &candidate) {
    if (candidate.linked())
        return true;
    candidate.release();
    return false;
}

// Replaces current by candidate when candidate links; returns whether it did.
bool replaceIfLinked(Shader &current, Shader candidate) {
    if (!keepIfLinked(candidate))
        return false;
    current.release();
    current = candidate;
    return true;
}

void rebuildBuffer(Programs &programs, const SetBuild &set, int x) {
    BufferPass &pass = programs.buffers[x];
    Shader candidate = build(programs.failure, set, set.files.vertex, set.files.buffers[x], x);
    if (!keepIfLinked(candidate))
        return;
    if (pass.shader)
        pass.shader->release();
    pass.shader = candidate;
    pass.inputs = inspect(candidate);
}

// Builds the needed passes, in the order A to D and the cube within each round, until no
// new pass is needed; rebuild also builds again those that already have a
// program. Passes no longer needed give their programs back.
void resolveBuffers(Programs &programs, const SetBuild &set, int view, bool rebuild) {
    const Wiring &wiring = set.wiring;
    ProgramInputs &image = programs.imageInputs;
    image.reads = buffersRead(wiring, kImageProgram, image.channels);
    unsigned needed = image.reads | (view > 0 ? passBit(view - 1) : 0);
    unsigned visited = 0;
    programs.missing = 0;
    for (bool grew = true; grew;) {
        grew = false;
        for (int x = 0; x < kPasses; ++x) {
            if (!(needed & passBit(x)) || (visited & passBit(x)))
                continue;
            visited |= passBit(x);
            BufferPass &pass = programs.buffers[x];
            std::error_code ignored;
            if (!pass.shader && !std::filesystem::exists(set.files.buffers[x], ignored)) {
                programs.missing |= passBit(x);
                continue;
            }
            if (rebuild || !pass.shader)
                rebuildBuffer(programs, set, x);
            if (pass.shader) {
                pass.inputs.reads = buffersRead(wiring, x, pass.inputs.channels);
                needed |= pass.inputs.reads;
                grew = true;
            }
        }
    }
    programs.active = 0;
    programs.readsDate = image.date;
    for (int x = 0; x < kPasses; ++x) {
        BufferPass &pass = programs.buffers[x];
        if (!pass.shader)
            continue;
        if (needed & passBit(x)) {
            programs.active |= passBit(x);
            programs.readsDate = programs.readsDate || pass.inputs.date;
        } else {
            pass.shader->release();
            pass = BufferPass{};
        }
    }
}

} // namespace

std::vector<ActiveUniform> activeUniforms(GLuint program) {
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    std::vector<ActiveUniform> found;
    for (GLint i = 0; i < count; ++i) {
        GLchar name[kNameSize] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), kNameSize, nullptr, &size, &type, name);
        std::string text = name;
        const std::size_t bracket = text.find('[');
        if (bracket != std::string::npos)
            text.resize(bracket);
        found.push_back({text, type, size});
    }
    return found;
}

bool isSamplerType(GLenum type) {
    return type == GL_SAMPLER_2D || type == GL_SAMPLER_CUBE;
}

Programs buildPrograms(const ShaderFiles &files, const Wiring &wiring) {
    const SetBuild set = setBuild(files, wiring);
    Failure failure;
    const Shader image = buildImage(failure, set);
    const Shader viewer = buildViewer(failure, set);
    Programs programs{image, viewer, {}, {}, 0, 0, false, set.generatedImage, std::move(failure)};
    programs.imageInputs = inspect(programs.image);
    return programs;
}

void buildBufferPasses(Programs &programs, const ShaderFiles &files, const Wiring &wiring,
                       int view) {
    resolveBuffers(programs, setBuild(files, wiring), view, false);
}

bool setBuilt(const Programs &programs, int view) {
    // A pass that is read but did not build is the one read that neither runs
    // nor is missing (a missing file reads a cleared target, said at start-up).
    unsigned read = programs.imageInputs.reads | (view > 0 ? passBit(view - 1) : 0);
    for (int x = 0; x < kBufferPasses; ++x)
        if (programs.active & passBit(x))
            read |= programs.buffers[x].inputs.reads;
    return programs.image.linked() && (view == 0 || programs.viewer.linked()) &&
           (read & ~(programs.active | programs.missing)) == 0;
}

bool reloadPrograms(Programs &programs, const ShaderFiles &files, const Wiring &wiring, int view) {
    programs.failure.clear();
    const SetBuild set = setBuild(files, wiring);
    programs.generatedImage = set.generatedImage;
    const bool imageReplaced = replaceIfLinked(programs.image, buildImage(programs.failure, set));
    if (imageReplaced)
        programs.imageInputs = inspect(programs.image);
    replaceIfLinked(programs.viewer, buildViewer(programs.failure, set));
    resolveBuffers(programs, set, view, true);
    return imageReplaced;
}

const Shader *runningProgram(const Programs &programs, int p) {
    if (p == kImageProgram)
        return &programs.image;
    return (programs.active & passBit(p)) ? &*programs.buffers[p].shader : nullptr;
}

const ProgramInputs &programInputs(const Programs &programs, int p) {
    return p == kImageProgram ? programs.imageInputs : programs.buffers[p].inputs;
}
