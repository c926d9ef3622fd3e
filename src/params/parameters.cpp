// The parameter list, its values and their uniform calls.
#include "params/parameters.h"

#include "params/messages.h"

#include <algorithm>
#include <iostream>

namespace {

namespace msg = param_messages;

struct ProgramRef {
    const Shader *shader;
    ProgramInputs *inputs;
};

std::vector<ProgramRef> parameterPrograms(Programs &programs) {
    std::vector<ProgramRef> found{{&programs.image, &programs.imageInputs}};
    for (int x = 0; x < kPasses; ++x)
        if (programs.active & passBit(x))
            found.push_back({&*programs.buffers[x].shader, &programs.buffers[x].inputs});
    return found;
}

template <typename T> T *named(std::vector<T> &items, std::string_view name) {
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const T &item) { return item.name == name; });
    return found == items.end() ? nullptr : &*found;
}

Parameter *named(std::vector<Parameter> &list, std::string_view name) {
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const Parameter &p) { return p.declared.name == name; });
    return found == list.end() ? nullptr : &*found;
}

void say(const std::string &line) {
    std::cout << line << std::endl;
}

// Saved first, then --set over it; the last --set of a name wins.
void startValue(Parameters &parameters, Parameter &p, std::string *firstBadSetting) {
    if (const SavedValue *saved = named(parameters.saved, p.declared.name)) {
        const std::string problem = fitValue(p.declared, saved->value, p.value);
        if (problem.empty())
            p.origin = ParamOrigin::kFile;
        else
            say(msg::inFile(saved->line, saved->column, problem));
    }
    for (const Setting &setting : parameters.settings) {
        if (setting.name != p.declared.name)
            continue;
        const std::string problem = fitValue(p.declared, setting.value, p.value);
        if (problem.empty())
            p.origin = ParamOrigin::kCommandLine;
        else if (firstBadSetting != nullptr && firstBadSetting->empty())
            *firstBadSetting = msg::badSetting(setting.text, problem);
        else if (firstBadSetting == nullptr)
            say(msg::badSetting(setting.text, problem));
    }
}

// The command line's names once a build; the file's again each time it is read.
void reportUnused(Parameters &parameters, bool settingsToo) {
    for (const Setting &setting : parameters.settings)
        if (settingsToo && named(parameters.list, setting.name) == nullptr)
            say(msg::unused(setting.name));
    for (const SavedValue &saved : parameters.saved)
        if (named(parameters.list, saved.name) == nullptr)
            say(msg::inFile(saved.line, saved.column, msg::unused(saved.name)));
}

bool active(const ProgramInputs &inputs, const ParamDeclaration &d) {
    return std::any_of(inputs.uniforms.begin(), inputs.uniforms.end(), [&](const ActiveUniform &u) {
        return u.name == d.name && u.type == glTypeOf(d.type);
    });
}

// A use found at an earlier build of the same link keeps its location and
// what the program holds.
void bind(Parameters &parameters, const ProgramRef &program) {
    std::vector<ParameterUse> &before = program.inputs->parameters.uses;
    std::vector<ParameterUse> uses;
    for (std::size_t i = 0; i < parameters.list.size(); ++i) {
        const ParamDeclaration &p = parameters.list[i].declared;
        const auto own = std::find_if(
            program.shader->parameters.begin(), program.shader->parameters.end(),
            [&](const ParamDeclaration &d) { return d.name == p.name && d.type == p.type; });
        if (own == program.shader->parameters.end() || !active(*program.inputs, p))
            continue;
        if (const ParameterUse *kept = named(before, p.name))
            uses.push_back({p.name, i, kept->location, kept->held});
        else
            uses.push_back({p.name, i,
                            glGetUniformLocation(program.shader->programId, p.name.c_str()),
                            own->initial});
    }
    before = std::move(uses);
}

void upload(ParamType type, GLint location, const ParamValue &v) {
    switch (type) {
    case ParamType::kFloat:
        glUniform1f(location, v[0]);
        break;
    case ParamType::kInt:
    case ParamType::kBool:
        glUniform1i(location, static_cast<GLint>(v[0]));
        break;
    case ParamType::kVec2:
        glUniform2f(location, v[0], v[1]);
        break;
    case ParamType::kVec3:
        glUniform3f(location, v[0], v[1], v[2]);
        break;
    case ParamType::kVec4:
        glUniform4f(location, v[0], v[1], v[2], v[3]);
        break;
    }
}

} // namespace

std::string updateParameters(Parameters &parameters, Programs &programs, bool startUp) {
    std::vector<Parameter> before = std::move(parameters.list);
    parameters.list.clear();
    const std::vector<ProgramRef> refs = parameterPrograms(programs);
    for (const ProgramRef &program : refs)
        for (const ParamDeclaration &d : program.shader->parameters)
            if (named(parameters.list, d.name) == nullptr)
                parameters.list.push_back({d, d.initial, ParamOrigin::kInitialiser});
    std::string firstBadSetting;
    for (Parameter &p : parameters.list) {
        const Parameter *old = named(before, p.declared.name);
        if (old == nullptr || old->declared.type != p.declared.type)
            startValue(parameters, p, startUp ? &firstBadSetting : nullptr);
        else if (old->origin != ParamOrigin::kInitialiser)
            p = {p.declared, old->value, old->origin};
    }
    reportUnused(parameters, true);
    for (const ProgramRef &program : refs)
        bind(parameters, program);
    // A set without parameters has nothing to draw again.
    if (!parameters.list.empty() || !before.empty())
        ++parameters.changes;
    return firstBadSetting;
}

Parameter *findParameter(Parameters &parameters, std::string_view name) {
    return named(parameters.list, name);
}

void setParameter(Parameters &parameters, Parameter &parameter, const ParamValue &value) {
    if (value == parameter.value)
        return;
    parameter.value = value;
    parameter.origin = ParamOrigin::kLive;
    ++parameters.changes;
}

void resetParameters(Parameters &parameters) {
    for (Parameter &p : parameters.list) {
        p.value = p.declared.initial;
        p.origin = ParamOrigin::kInitialiser;
    }
    ++parameters.changes;
}

void takeSavedValues(Parameters &parameters, std::vector<SavedValue> saved) {
    parameters.saved = std::move(saved);
    for (Parameter &p : parameters.list) {
        if (p.origin == ParamOrigin::kCommandLine)
            continue;
        const SavedValue *value = named(parameters.saved, p.declared.name);
        if (value == nullptr && p.origin == ParamOrigin::kFile)
            p = {p.declared, p.declared.initial, ParamOrigin::kInitialiser};
        if (value == nullptr)
            continue;
        const std::string problem = fitValue(p.declared, value->value, p.value);
        if (problem.empty())
            p.origin = ParamOrigin::kFile;
        else
            say(msg::inFile(value->line, value->column, problem));
    }
    reportUnused(parameters, false);
    ++parameters.changes;
}

void applyParameters(const Parameters &parameters, ProgramParameters &program) {
    if (program.uses.empty() || program.seen == parameters.changes)
        return;
    program.seen = parameters.changes;
    for (ParameterUse &use : program.uses) {
        const Parameter &p = parameters.list[use.index];
        if (p.value == use.held)
            continue;
        use.held = p.value;
        upload(p.declared.type, use.location, p.value);
    }
}
