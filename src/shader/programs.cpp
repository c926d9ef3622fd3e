// Building and rebuilding the set's programs.
#include "shader/programs.h"

namespace {

using Failure = std::vector<std::string>;

// A declared type comes from the listing of active uniforms that also finds a
// program's samplers, so a link asks nothing more of GL for it; GL_NONE when
// the program does not use the uniform.
GLenum typeOf(const std::vector<ActiveUniform> &uniforms, const char *name) {
    for (const ActiveUniform &uniform : uniforms)
        if (uniform.name == name)
            return uniform.type;
    return GL_NONE;
}

ProgramInputs inspect(const Shader &shader) {
    ProgramInputs inputs;
    for (int n = 0; n < kBufferPasses; ++n)
        if (shader.hasUniform(channelName(n).c_str()))
            inputs.channels |= passBit(n);
    inputs.frame = shader.hasUniform("iFrame");
    inputs.timeDelta = shader.hasUniform("iTimeDelta");
    inputs.uniforms = activeUniforms(shader.programId);
    inputs.resolution3 = typeOf(inputs.uniforms, "iResolution") == GL_FLOAT_VEC3;
    inputs.date = typeOf(inputs.uniforms, "iDate") == GL_FLOAT_VEC4;
    return inputs;
}

// Sampler values live in the program, so they are set once per link, not per
// frame: channel n reads texture unit n.
ProgramInputs prepare(Shader &shader) {
    ProgramInputs inputs = inspect(shader);
    if (inputs.channels != 0)
        shader.use();
    for (int n = 0; n < kBufferPasses; ++n)
        if (inputs.channels & passBit(n))
            shader.setSampler(channelName(n), static_cast<unsigned>(n));
    return inputs;
}

// Builds in the set's order, so the failure kept is the first one reported.
Shader build(Failure &first, const std::string &common, const std::string &vertex,
             const std::string &fragment) {
    Shader shader(common.c_str(), vertex.c_str(), fragment.c_str());
    if (first.empty())
        first = shader.failure;
    return shader;
}

Shader build(Failure &first, const ShaderFiles &files, const std::string &fragment) {
    return build(first, files.common, files.vertex, fragment);
}

Shader buildViewer(Failure &first, const ShaderFiles &files) {
    return build(first, files.common, files.viewerVertex, files.viewerFragment);
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

void rebuildBuffer(Programs &programs, BufferPass &pass, const ShaderFiles &files,
                   const std::string &path) {
    Shader candidate = build(programs.failure, files, path);
    if (!keepIfLinked(candidate))
        return;
    if (pass.shader)
        pass.shader->release();
    pass.shader = candidate;
    pass.inputs = prepare(candidate);
}

// Builds the needed passes, in the order A to D within each round, until no
// new pass is needed; rebuild also builds again those that already have a
// program. Passes no longer needed give their programs back.
void resolveBuffers(Programs &programs, const ShaderFiles &files, bool rebuild) {
    unsigned needed = targetChannels(programs, programs.imageInputs);
    unsigned visited = 0;
    for (bool grew = true; grew;) {
        grew = false;
        for (int x = 0; x < kBufferPasses; ++x) {
            if (!(needed & passBit(x)) || (visited & passBit(x)))
                continue;
            visited |= passBit(x);
            BufferPass &pass = programs.buffers[x];
            if (rebuild || !pass.shader)
                rebuildBuffer(programs, pass, files, files.buffers[x]);
            if (pass.shader) {
                needed |= targetChannels(programs, pass.inputs);
                grew = true;
            }
        }
    }
    programs.active = 0;
    programs.readsDate = programs.imageInputs.date;
    for (int x = 0; x < kBufferPasses; ++x) {
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

Programs buildPrograms(const ShaderFiles &files) {
    Failure failure;
    const Shader image = build(failure, files, files.image);
    const Shader viewer = buildViewer(failure, files);
    Programs programs{image, viewer, {}, {}, 0, 0, false, std::move(failure)};
    programs.imageInputs = prepare(programs.image);
    return programs;
}

void buildBufferPasses(Programs &programs, const ShaderFiles &files, unsigned imageChannels) {
    programs.imageChannels = imageChannels;
    resolveBuffers(programs, files, false);
}

bool setBuilt(const Programs &programs, int view) {
    // A pass that is read but did not build is the one read and not active.
    unsigned read = targetChannels(programs, programs.imageInputs);
    for (int x = 0; x < kBufferPasses; ++x)
        if (programs.active & passBit(x))
            read |= targetChannels(programs, programs.buffers[x].inputs);
    return programs.image.linked() && (view == 0 || programs.viewer.linked()) &&
           (read & ~programs.active) == 0;
}

bool reloadPrograms(Programs &programs, const ShaderFiles &files, unsigned imageChannels) {
    programs.imageChannels = imageChannels;
    programs.failure.clear();
    const bool imageReplaced =
        replaceIfLinked(programs.image, build(programs.failure, files, files.image));
    if (imageReplaced)
        programs.imageInputs = prepare(programs.image);
    replaceIfLinked(programs.viewer, buildViewer(programs.failure, files));
    resolveBuffers(programs, files, true);
    return imageReplaced;
}
