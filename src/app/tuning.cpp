// Applying OSC messages and saved values at the start of a pass, and the panel
// at its end.
#include "app/tuning.h"

#include "params/messages.h"
#include "params/params_file.h"

#include <cstring>
#include <iostream>

namespace {

namespace msg = param_messages;

constexpr double kReportInterval = 1.0; // seconds between two lines for one OSC path

struct OwnCommand {
    const char *path;
    unsigned command;
};
const OwnCommand kOwnCommands[] = {
    {"/quorlin/pause", kPauseCommand},
    {"/quorlin/reload", 1u << kReloadKey},
    {"/quorlin/screenshot", 1u << kScreenshotKey},
};

void wake() {
    glfwPostEmptyEvent();
}

} // namespace

Tuning::Tuning(GLFWwindow *window, Scene &scene, OscServer &osc, const std::string &shaderDir,
               bool watch, bool wakeLoop)
    : window_(window), scene_(scene), osc_(osc), paramsPath_(paramsFilePath(shaderDir)),
      watch_(watch), watchedNames_{kParamsFileName}, drawnChanges_(scene.parameters.changes) {
    if (osc_.listening())
        osc_.start(wakeLoop ? wake : nullptr);
    if (!watch_)
        return;
    // The shader watcher has said already when the directory cannot be watched.
    watcher_.open(shaderDir);
    watcher_.watchAlso(watchedNames_);
}

Tuning::~Tuning() {
    endPanel(panel_, scene_);
}

unsigned Tuning::take(double now) {
    if (watch_ && watcher_.changed(now))
        readSavedValues();
    if (!osc_.listening())
        return 0;
    osc_.take(messages_);
    unsigned commands = 0;
    for (const OscMessage &message : messages_) {
        // Two pauses in one frame cancel out, as two taps of space would.
        const unsigned asked = apply(message, now);
        commands = (commands | (asked & ~kPauseCommand)) ^ (asked & kPauseCommand);
    }
    return commands;
}

void Tuning::finishPass(double now, bool drawn, bool rendered) {
    if (rendered && panel_.shown && lastFrame_ >= 0.0)
        recordFrameTime(panel_, now - lastFrame_);
    if (rendered)
        lastFrame_ = now;
    if (!drawn)
        return;
    drawnChanges_ = scene_.parameters.changes;
    if (panel_.shown)
        drawPanel(panel_, scene_, paramsPath_);
}

unsigned Tuning::apply(const OscMessage &message, double now) {
    const std::string_view path(message.path.data());
    for (const OwnCommand &own : kOwnCommands)
        if (path == own.path)
            return own.command;
    const std::string_view name = path.substr(path.empty() ? 0 : 1);
    Parameter *parameter = findParameter(scene_.parameters, name);
    if (parameter == nullptr) {
        report(path, msg::unused(std::string(name)), now);
        return 0;
    }
    ParamValue value{};
    const std::string problem = message.numbers
                                    ? fitValue(parameter->declared, message.value, value, true)
                                    : msg::oscNotNumbers();
    if (problem.empty())
        setParameter(scene_.parameters, *parameter, value);
    else
        report(path, problem, now);
    return 0;
}

// A sender that keeps sending a wrong message gets one line a second, not one
// a message.
void Tuning::report(std::string_view path, const std::string &problem, double now) {
    const auto last = reported_.find(path);
    if (last != reported_.end() && now - last->second < kReportInterval)
        return;
    reported_[std::string(path)] = now;
    std::cout << msg::oscProblem(std::string(path), problem) << std::endl;
}

// A broken file changes nothing: the values stay as they were.
void Tuning::readSavedValues() {
    std::vector<SavedValue> saved;
    const std::string problem = readParamsFile(paramsPath_, saved);
    if (problem.empty())
        takeSavedValues(scene_.parameters, std::move(saved));
    else
        std::cout << problem << std::endl;
}
