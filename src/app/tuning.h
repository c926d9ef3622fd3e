// What changes a running set's parameters between reloads: OSC messages,
// params.toml saved by another program (with --watch), and the panel. Owned
// by the frame loop, which asks it at the start and the end of each pass.
#pragma once

#include "app/input.h"
#include "app/panel.h"
#include "params/osc.h"
#include "render/passes.h"
#include "shader/watcher.h"

#include <GLFW/glfw3.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

// Not a key: what space does, asked by OSC.
constexpr unsigned kPauseCommand = 1u << kCommandKeys;

class Tuning {
  public:
    // Starts osc's thread when it listens; wakeLoop: the loop may sleep in
    // the window system's wait, which a message must end.
    Tuning(GLFWwindow *window, Scene &scene, OscServer &osc, const std::string &shaderDir,
           bool watch, bool wakeLoop);
    ~Tuning();
    Tuning(const Tuning &) = delete;
    Tuning &operator=(const Tuning &) = delete;

    // At the start of a pass: the OSC messages in the order they came, and
    // params.toml when it was saved. Returns the commands asked for: bit
    // 1 << kReloadKey, 1 << kScreenshotKey, and kPauseCommand.
    unsigned take(double now);

    void togglePanel() { ::togglePanel(panel_, window_, scene_); }
    bool holdsPointer() const { return panelHoldsPointer(panel_); }
    bool takesKeys() const { return panelTakesKeys(panel_); }

    // While paused: whether the last frame must be drawn again, for the panel
    // or for a value changed since it was drawn.
    bool wantsFrame() const { return panel_.shown || scene_.parameters.changes != drawnChanges_; }

    // At the end of a pass, after its pictures are taken: drawn, the window's
    // back buffer holds a frame (new when rendered), over which the panel goes.
    void finishPass(double now, bool drawn, bool rendered);

  private:
    unsigned apply(const OscMessage &message, double now);
    void report(std::string_view path, const std::string &problem, double now);
    void readSavedValues();

    GLFWwindow *window_;
    Scene &scene_;
    OscServer &osc_;
    std::string paramsPath_;
    bool watch_;
    ShaderWatcher watcher_{false};
    std::vector<std::string> watchedNames_;
    std::vector<OscMessage> messages_;
    std::map<std::string, double, std::less<>> reported_; // by OSC path, when last reported
    Panel panel_;
    unsigned drawnChanges_;
    double lastFrame_ = -1.0; // the clock at the last rendered frame; below 0: none yet
};
