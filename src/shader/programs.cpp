// Building and rebuilding the set's programs.
#include "shader/programs.h"

namespace {

const char *const kChannelNames[kBufferPasses] = {"iChannel0", "iChannel1", "iChannel2",
                                                  "iChannel3"};

ProgramInputs inspect(const Shader &shader) {
    ProgramInputs inputs;
    for (int n = 0; n < kBufferPasses; ++n)
        if (shader.hasUniform(kChannelNames[n]))
            inputs.channels |= passBit(n);
    inputs.frame = shader.hasUniform("iFrame");
    inputs.timeDelta = shader.hasUniform("iTimeDelta");
    return inputs;
}

// Sampler values live in the program, so they are set once per link, not per
// frame: channel n reads texture unit n.
ProgramInputs prepare(Shader &shader) {
    const ProgramInputs inputs = inspect(shader);
    if (inputs.channels != 0)
        shader.use();
    for (int n = 0; n < kBufferPasses; ++n)
        if (inputs.channels & passBit(n))
            shader.setSampler(kChannelNames[n], static_cast<unsigned>(n));
    return inputs;
}

Shader build(const ShaderFiles &files, const std::string &fragment) {
    return Shader(files.common.c_str(), files.vertex.c_str(), fragment.c_str());
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

void rebuildBuffer(BufferPass &pass, const ShaderFiles &files, const std::string &path) {
    Shader candidate = build(files, path);
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
    unsigned needed = programs.imageInputs.channels & ~programs.imageChannels;
    unsigned visited = 0;
    for (bool grew = true; grew;) {
        grew = false;
        for (int x = 0; x < kBufferPasses; ++x) {
            if (!(needed & passBit(x)) || (visited & passBit(x)))
                continue;
            visited |= passBit(x);
            BufferPass &pass = programs.buffers[x];
            if (rebuild || !pass.shader)
                rebuildBuffer(pass, files, files.buffers[x]);
            if (pass.shader) {
                needed |= pass.inputs.channels & ~programs.imageChannels;
                grew = true;
            }
        }
    }
    programs.active = 0;
    for (int x = 0; x < kBufferPasses; ++x) {
        BufferPass &pass = programs.buffers[x];
        if (!pass.shader)
            continue;
        if (needed & passBit(x)) {
            programs.active |= passBit(x);
        } else {
            pass.shader->release();
            pass = BufferPass{};
        }
    }
}

} // namespace

Programs buildPrograms(const ShaderFiles &files) {
    Programs programs{
        build(files, files.image),
        Shader(files.common.c_str(), files.viewerVertex.c_str(), files.viewerFragment.c_str()),
        {},
        {},
        0};
    programs.imageInputs = prepare(programs.image);
    return programs;
}

void buildBufferPasses(Programs &programs, const ShaderFiles &files) {
    resolveBuffers(programs, files, false);
}

bool reloadPrograms(Programs &programs, const ShaderFiles &files) {
    const bool imageReplaced = replaceIfLinked(programs.image, build(files, files.image));
    if (imageReplaced)
        programs.imageInputs = prepare(programs.image);
    replaceIfLinked(programs.viewer, Shader(files.common.c_str(), files.viewerVertex.c_str(),
                                            files.viewerFragment.c_str()));
    resolveBuffers(programs, files, true);
    return imageReplaced;
}
