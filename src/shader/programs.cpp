// Building and rebuilding the set's programs.
#include "shader/programs.h"

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
    pass.inputs = inspect(candidate);
}

// Builds the needed passes, in the order A to D within each round, until no
// new pass is needed; rebuild also builds again those that already have a
// program. Passes no longer needed give their programs back.
void resolveBuffers(Programs &programs, const ShaderFiles &files, const Wiring &wiring, int view,
                    bool rebuild) {
    ProgramInputs &image = programs.imageInputs;
    image.reads = buffersRead(wiring, kImageProgram, image.channels);
    unsigned needed = image.reads | (view > 0 ? passBit(view - 1) : 0);
    unsigned visited = 0;
    programs.missing = 0;
    for (bool grew = true; grew;) {
        grew = false;
        for (int x = 0; x < kBufferPasses; ++x) {
            if (!(needed & passBit(x)) || (visited & passBit(x)))
                continue;
            visited |= passBit(x);
            BufferPass &pass = programs.buffers[x];
            std::error_code ignored;
            if (!pass.shader && !std::filesystem::exists(files.buffers[x], ignored)) {
                programs.missing |= passBit(x);
                continue;
            }
            if (rebuild || !pass.shader)
                rebuildBuffer(programs, pass, files, files.buffers[x]);
            if (pass.shader) {
                pass.inputs.reads = buffersRead(wiring, x, pass.inputs.channels);
                needed |= pass.inputs.reads;
                grew = true;
            }
        }
    }
    programs.active = 0;
    programs.readsDate = image.date;
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

Programs buildPrograms(const ShaderFiles &files) {
    Failure failure;
    const Shader image = build(failure, files, files.image);
    const Shader viewer = buildViewer(failure, files);
    Programs programs{image, viewer, {}, {}, 0, 0, false, std::move(failure)};
    programs.imageInputs = inspect(programs.image);
    return programs;
}

void buildBufferPasses(Programs &programs, const ShaderFiles &files, const Wiring &wiring,
                       int view) {
    resolveBuffers(programs, files, wiring, view, false);
}

bool reloadPrograms(Programs &programs, const ShaderFiles &files, const Wiring &wiring, int view) {
    programs.failure.clear();
    const bool imageReplaced =
        replaceIfLinked(programs.image, build(programs.failure, files, files.image));
    if (imageReplaced)
        programs.imageInputs = inspect(programs.image);
    replaceIfLinked(programs.viewer, buildViewer(programs.failure, files));
    resolveBuffers(programs, files, wiring, view, true);
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
