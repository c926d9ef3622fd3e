// Making the inputs' plan and binding what it says.
#include "inputs/plan.h"

#include "inputs/messages.h"
#include "util/text.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <set>
#include <utility>

namespace {

namespace fs = std::filesystem;

// Units 0 to 3 are the channels', bound at each draw; sources bound once get
// units of their own from here up.
constexpr GLint kFirstOwnUnit = kShaderChannels;
const std::string kResolutionSuffix = "Resolution";
const std::string kChannelResolution = "iChannelResolution";
const std::string kChannelTime = "iChannelTime";
const std::string kSampleRate = "iSampleRate";
constexpr GLfloat kDepth = 1.0f; // z of a vec3 resolution
// The first reader of a source decides its texture's own sampling.
constexpr int kPlanOrder[] = {kImageProgram, kBufferA, kBufferB, kBufferC, kBufferD, kCubeA};
// By SourceKind.
constexpr SourceFactory kFactories[] = {
    createBlackSource, createImageSource,    createTargetSource, createVideoSource,
    createSoundSource, createKeyboardSource, createCubeSource,   createCubePassSource};
static_assert(std::size(kFactories) == static_cast<std::size_t>(SourceKind::kKinds));

// One sampler of one program, or a channel the program asks about without sampling it.
struct Use {
    int program;
    std::string name;
    int channel; // -1: not a channel
    Wire wire;
    bool sampled;
    Source *source = nullptr;
    GLuint sampler = 0;
    GLint unit = -1;
};

// A source bound once, with its sampler object, on unit kFirstOwnUnit + its index.
using OwnUnit = std::pair<const Source *, GLuint>;

struct Build {
    Inputs &inputs;
    InputPlan next;
    const RenderTargets &targets;
    const CubeTarget &cube;
    glm::vec2 renderSize;
    bool reread;
    std::vector<std::pair<SourceSpec, Source *>> made;           // by the description asked for
    std::vector<std::pair<const Source *, SamplerSettings>> own; // each texture's own sampling
    std::vector<std::pair<SamplerSettings, GLuint>> samplers;

    // Each line once a plan; a plan that reads nothing again (a change of
    // view) does not repeat the old plan's.
    void say(const std::string &line) {
        if (next.said.insert(line).second)
            std::cout << line << std::endl;
    }
};

Wire blackWire(GLenum target) {
    Wire wire;
    wire.source.target = target;
    return wire;
}

// A sampler reads a source of its own type or transparent black.
Wire typed(Wire wire, GLenum samplerType) {
    const GLenum target = samplerType == GL_SAMPLER_CUBE ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    if (wire.source.target != target)
        wire.source = blackWire(target).source;
    return wire;
}

bool asksAboutChannels(const ProgramInputs &inputs) {
    return std::any_of(inputs.uniforms.begin(), inputs.uniforms.end(), [](const ActiveUniform &u) {
        return u.name == kChannelResolution || u.name == kChannelTime;
    });
}

std::vector<Use> usesOf(const Wiring &wiring, const Programs &programs) {
    std::vector<Use> uses;
    for (int p : kPlanOrder) {
        if (runningProgram(programs, p) == nullptr)
            continue;
        const ProgramInputs &inputs = programInputs(programs, p);
        const auto first = static_cast<std::ptrdiff_t>(uses.size());
        for (const ActiveUniform &u : inputs.uniforms) {
            if (!isSamplerType(u.type))
                continue;
            const int n = channelOf(u.name);
            const Wire wire = n >= 0 ? channelWire(wiring, p, n) : namedWire(wiring, u.name);
            uses.push_back({p, u.name, n, typed(wire, u.type), true});
        }
        std::sort(uses.begin() + first, uses.end(),
                  [](const Use &a, const Use &b) { return a.name < b.name; });
        if (!asksAboutChannels(inputs))
            continue;
        for (int n = 0; n < kShaderChannels; ++n)
            if (!(inputs.channels & passBit(n)))
                uses.push_back({p, channelName(n), n, channelWire(wiring, p, n), false});
    }
    return uses;
}

std::unique_ptr<Source> takeOver(InputPlan &old, const SourceSpec &spec) {
    for (auto s = old.sources.begin(); s != old.sources.end(); ++s) {
        if ((*s)->spec == spec) {
            std::unique_ptr<Source> taken = std::move(*s);
            old.sources.erase(s);
            return taken;
        }
    }
    return nullptr;
}

// Made once for every use described alike; a source with nothing to read is
// transparent black.
Source *sourceFor(Build &b, const std::vector<Use> &uses, const Use &use) {
    const SourceSpec &spec = use.wire.source;
    for (const auto &[asked, source] : b.made)
        if (asked == spec)
            return source;
    const bool mipmaps = std::any_of(uses.begin(), uses.end(), [&](const Use &u) {
        return u.sampled && u.wire.source == spec &&
               u.wire.sampling.filter == SamplerFilter::kMipmap;
    });
    const SourceContext context{
        use.wire.sampling, mipmaps,        use.name,           programName(use.program),
        b.reread,          &b.targets,     b.renderSize,       &b.inputs.maxSide,
        b.inputs.media,    b.inputs.sound, &b.inputs.keyboard, &b.cube,
        &b.inputs.seamless};
    std::unique_ptr<Source> source = kFactories[static_cast<std::size_t>(spec.kind)](
        spec, context, takeOver(b.inputs.plan, spec));
    Source *made = nullptr;
    if (source) {
        made = source.get();
        b.own.emplace_back(made, context.sampling);
        if (made->updates())
            b.next.updated.push_back(made);
        b.next.sources.push_back(std::move(source));
    } else {
        made = sourceFor(
            b, uses, Use{use.program, use.name, use.channel, blackWire(spec.target), use.sampled});
    }
    b.made.emplace_back(spec, made);
    return made;
}

// Lines for a sampler that reads nothing, or a target whose pass has no file.
void reportEmpty(Build &b, const Use &use, unsigned missing) {
    const char *program = programName(use.program);
    const SourceSpec &spec = use.wire.source;
    if (use.wire.noImage)
        b.say(noImageLine(use.name, b.inputs.wiring.choices.dir));
    else if (use.wire.unwired)
        b.say(unwiredLine(use.name, program));
    else if ((spec.kind == SourceKind::kTarget || spec.kind == SourceKind::kCubePass) &&
             (missing & passBit(spec.buffer)))
        b.say(missingPassLine(bufferFileName(spec.buffer), use.name, program));
}

void makeSources(Build &b, std::vector<Use> &uses, unsigned missing) {
    // Sampled first: a source's first reader decides its own sampling.
    for (bool sampled : {true, false}) {
        for (Use &use : uses) {
            if (use.sampled != sampled)
                continue;
            if (use.sampled)
                reportEmpty(b, use, missing);
            use.source = sourceFor(b, uses, use);
            if (use.sampled && use.source->spec.kind == SourceKind::kKeyboard)
                b.next.readsKeyboard = true;
            if (use.channel >= 0)
                b.next.programs[use.program].channels[use.channel] = use.source;
        }
    }
}

GLuint samplerFor(Build &b, const SamplerSettings &settings) {
    for (const auto &[made, sampler] : b.samplers)
        if (made == settings)
            return sampler;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    setSamplerObject(sampler, settings);
    b.samplers.emplace_back(settings, sampler);
    b.next.samplers.push_back(sampler);
    return sampler;
}

// Readers that sample a texture otherwise than its own parameters get a
// sampler object; transparent black reads alike in any sampling.
void chooseSamplers(Build &b, std::vector<Use> &uses) {
    for (Use &use : uses) {
        if (!use.sampled || use.source->spec.kind == SourceKind::kBlack)
            continue;
        const auto own = std::find_if(b.own.begin(), b.own.end(),
                                      [&](const auto &o) { return o.first == use.source; });
        if (own->second != use.wire.sampling)
            use.sampler = samplerFor(b, use.wire.sampling);
    }
}

// Channels whose source changes between draws keep their own unit and are
// bound at each draw; every other source and sampler pair gets a unit of its
// own. When those run out, the last unit left holds transparent black for
// the rest.
std::vector<OwnUnit> assignUnits(Build &b, std::vector<Use> &uses) {
    std::vector<OwnUnit> units;
    for (Use &use : uses) {
        if (!use.sampled)
            continue;
        if (use.source->perDraw()) {
            use.unit = use.channel;
            b.next.programs[use.program].draws.push_back({use.unit, use.source, use.sampler});
            b.next.drawSamplers = b.next.drawSamplers || use.sampler != 0;
            continue;
        }
        const OwnUnit pair{use.source, use.sampler};
        auto found = std::find(units.begin(), units.end(), pair);
        use.unit = kFirstOwnUnit + static_cast<GLint>(found - units.begin());
        if (found == units.end())
            units.push_back(pair);
    }
    if (units.empty())
        return units;
    if (b.inputs.maxUnits == 0)
        glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &b.inputs.maxUnits);
    // GL 3.3 guarantees 16, so some are always free.
    const auto free = static_cast<std::size_t>(b.inputs.maxUnits - kFirstOwnUnit);
    if (units.size() <= free)
        return units;
    const GLint last = kFirstOwnUnit + static_cast<GLint>(free) - 1;
    units.resize(free - 1);
    units.emplace_back(
        sourceFor(b, uses, Use{kImageProgram, "", -1, blackWire(GL_TEXTURE_2D), true}), 0);
    std::string left;
    std::set<std::string> named;
    for (Use &use : uses) {
        if (use.unit < last)
            continue;
        use.unit = last;
        if (named.insert(use.name).second)
            left += " " + use.name;
    }
    b.say(noUnitLine(left));
    return units;
}

// Sampler units and sizes live in the program: set once per plan, not per frame.
void setProgramUniforms(GLuint id, const ProgramInputs &inputs, const ProgramPlan &plan,
                        const std::vector<Use> &uses, int p, float sampleRate) {
    bool current = false;
    auto location = [&](const std::string &name) {
        if (!current)
            glUseProgram(id);
        current = true;
        return glGetUniformLocation(id, name.c_str());
    };
    auto sizeOf = [&](const std::string &name) -> const Source * {
        for (const Use &use : uses)
            if (use.program == p && use.name == name)
                return use.source;
        return nullptr;
    };
    for (const Use &use : uses)
        if (use.program == p && use.sampled)
            glUniform1i(location(use.name), use.unit);
    for (const ActiveUniform &u : inputs.uniforms) {
        const bool three = u.type == GL_FLOAT_VEC3;
        if (u.name == kSampleRate && u.type == GL_FLOAT) {
            glUniform1f(location(u.name), sampleRate);
        } else if (!three && u.type != GL_FLOAT_VEC2) {
            continue;
        } else if (u.name == kChannelResolution) {
            std::vector<GLfloat> values;
            for (int n = 0; n < std::min<GLint>(u.size, kShaderChannels); ++n) {
                const glm::vec2 size = plan.channels[n] ? plan.channels[n]->size() : glm::vec2(0);
                values.insert(values.end(), {size.x, size.y});
                if (three)
                    values.push_back(kDepth);
            }
            const GLsizei count = static_cast<GLsizei>(values.size() / (three ? 3 : 2));
            if (three)
                glUniform3fv(location(u.name + "[0]"), count, values.data());
            else
                glUniform2fv(location(u.name + "[0]"), count, values.data());
        } else if (endsWith(u.name, kResolutionSuffix)) {
            const Source *of = sizeOf(u.name.substr(0, u.name.size() - kResolutionSuffix.size()));
            if (of == nullptr)
                continue;
            const glm::vec2 size = of->size();
            if (three)
                glUniform3f(location(u.name), size.x, size.y, kDepth);
            else
                glUniform2f(location(u.name), size.x, size.y);
        }
    }
}

// A unit that held a sampler object in the old plan and holds none now is given back its default.
void bindOwnUnits(Build &b, const std::vector<OwnUnit> &units) {
    const InputPlan &old = b.inputs.plan;
    auto hadSampler = [&](GLint unit) {
        return std::find(old.samplerUnits.begin(), old.samplerUnits.end(), unit) !=
               old.samplerUnits.end();
    };
    for (std::size_t i = 0; i < units.size(); ++i) {
        const GLint unit = kFirstOwnUnit + static_cast<GLint>(i);
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        units[i].first->bind();
        if (units[i].second != 0 || hadSampler(unit))
            glBindSampler(static_cast<GLuint>(unit), units[i].second);
        if (units[i].second != 0)
            b.next.samplerUnits.push_back(unit);
    }
    for (GLint unit : old.samplerUnits)
        if (unit >= kFirstOwnUnit + static_cast<GLint>(units.size()))
            glBindSampler(static_cast<GLuint>(unit), 0);
    if (old.drawSamplers && !b.next.drawSamplers)
        for (GLint unit = 0; unit < kShaderChannels; ++unit)
            glBindSampler(static_cast<GLuint>(unit), 0);
    // The unit left active is where the next texture set-up binds.
    if (!units.empty())
        glActiveTexture(GL_TEXTURE0);
}

void reportUnusedChoices(Build &b, const ImageChoices &choices, const std::set<std::string> &used) {
    auto check = [&](const std::string &name) {
        if (!used.count(name))
            b.say(unusedChoiceLine(name));
    };
    for (const TextureChoice &t : choices.textures)
        check(t.name);
    for (const SamplerChoice &s : choices.samplers)
        check(s.name);
}

// The set file, the files that bind by name and the pictures, cube faces,
// video and sound files the plan reads from the shader directory or its
// subfolders.
std::vector<std::string> watchedFiles(const ImageChoices &choices, const std::vector<Use> &uses,
                                      const std::set<std::string> &names) {
    std::vector<std::string> files = watchedImageFiles(choices, {names.begin(), names.end()});
    files.push_back(kSetFileName);
    auto watch = [&](const std::string &path) {
        const std::string inSet = fs::path(path).lexically_relative(choices.dir).native();
        if (!inSet.empty() && inSet.rfind("..", 0) != 0)
            files.push_back(inSet);
    };
    for (const Use &use : uses) {
        const SourceSpec &spec = use.wire.source;
        const bool file = spec.kind == SourceKind::kImage ||
                          (spec.kind == SourceKind::kVideo && !spec.stream) ||
                          (spec.kind == SourceKind::kSound && spec.sound == SoundInput::kFile);
        if (file)
            watch(spec.path);
        for (int face = 0; spec.kind == SourceKind::kCube && face < kCubeFaces; ++face)
            watch(cubeFacePath(spec.path, face));
    }
    return files;
}

} // namespace

void seamlessCubes(const SourceContext &context) {
    if (*context.seamless)
        return;
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    *context.seamless = true;
}

void buildPlan(Inputs &inputs, const Programs &programs, const RenderTargets &targets,
               const CubeTarget &cube, glm::vec2 renderSize, bool reread) {
    std::vector<Use> uses = usesOf(inputs.wiring, programs);
    Build b{inputs, {}, targets, cube, renderSize, reread, {}, {}, {}};
    if (!reread)
        b.next.said = inputs.plan.said;
    makeSources(b, uses, programs.missing);
    chooseSamplers(b, uses);
    const std::vector<OwnUnit> units = assignUnits(b, uses);
    for (int p : kPlanOrder)
        if (const Shader *shader = runningProgram(programs, p))
            setProgramUniforms(shader->programId, programInputs(programs, p), b.next.programs[p],
                               uses, p, b.next.sampleRate);
    bindOwnUnits(b, units);

    std::set<std::string> used;
    for (const Use &use : uses)
        if (use.sampled)
            used.insert(use.name);
    reportUnusedChoices(b, inputs.wiring.choices, used);
    b.next.watched = watchedFiles(inputs.wiring.choices, uses, used);
    releasePlan(inputs.plan);
    inputs.plan = std::move(b.next);
}

bool updateInputs(const InputPlan &plan, const FrameUniforms &frame) {
    bool resized = false;
    for (Source *source : plan.updated)
        resized = source->update(frame) || resized;
    return resized;
}

void bindDrawInputs(const InputPlan &plan, int program) {
    for (const Binding &binding : plan.programs[program].draws) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(binding.unit));
        binding.source->bind();
        if (plan.drawSamplers)
            glBindSampler(static_cast<GLuint>(binding.unit), binding.sampler);
    }
}

void releasePlan(InputPlan &plan) {
    for (const std::unique_ptr<Source> &source : plan.sources)
        source->release();
    if (!plan.samplers.empty())
        glDeleteSamplers(static_cast<GLsizei>(plan.samplers.size()), plan.samplers.data());
    plan = InputPlan{};
}
