// The frame loop.
#include "app/frame_loop.h"

#include "app/click_mouse.h"
#include "app/input.h"
#include "app/interrupt.h"
#include "app/pacing.h"
#include "app/progress.h"
#include "app/tuning.h"
#include "output/picture.h"
#include "output/recording.h"
#include "output/render_state.h"
#include "render/error_band.h"
#include "shader/error_lines.h"
#include "shader/watcher.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>

double lt = 0.0;
double fps = 0.0;
int nbFrames = 0;
char title_string[50] = "";

namespace {

constexpr double kTitleInterval = 0.1;
// Zero precision: a rate below 1 prints no digits.
constexpr const char *kTitleFormat = "Quorlin - FPS = %.i ";
constexpr int kMouseValues = 4;
// A run ended by a signal exits as the shell reports one that killed it.
constexpr int kSignalStatusBase = 128;
enum MouseSlot { kCursorX, kCursorY, kLeftButton };
// iFrameRate until the title has measured a rate.
constexpr float kFirstFrameRate = 60.0f;

// What outlives a pass.
struct LoopState {
    double mouse[kMouseValues] = {};
    bool running = false;
    bool spaceHeld = false;
    CommandLatches latches;
    int view = 0;
    int rendered = 0; // frames rendered so far
    // The last rendered frame's inputs, to draw it again for a screenshot.
    FrameUniforms last{};
    double lastMouse[kMouseValues] = {};
    bool clickStyle = false; // iMouse reads the click style's values
    ClickMouse click;
    bool mediaRunning = false; // the previous pass rendered
    double mediaWall = 0.0;    // the live clock at the previous rendered frame
    bool controlRule = false;  // the window's keys go to the shader's keyboard
    ScriptPlayer script;
    int status = 0;
    ErrorBand band;
    bool bandChanged = false; // since the last pass
};

// Only someone at a terminal is shown a failed build on the window.
void showFailure(LoopState &state, const std::vector<std::string> &failure) {
    if (standardOutputIsTerminal() && showErrorBand(state.band, failure))
        state.bandChanged = true;
}

// A set file that does not read keeps the wiring it replaces.
void reload(Scene &scene, const ShaderFiles &files, const std::string &shaderDir, LoopState &state,
            ShaderWatcher &watcher) {
    const std::string setProblem = readSetFile(shaderDir, scene.inputs.wiring.set);
    if (!setProblem.empty())
        std::cout << "quorlin: " << setProblem << std::endl;
    if (reloadPrograms(scene.programs, files, scene.inputs.wiring, state.view)) {
        scene.programs.image.use();
        setResolution(scene.programs.image, scene.programs.imageInputs, scene.resolution);
        std::cout << "Reloaded shaders from " << shaderDir << std::endl;
    }
    prepareTargets(scene, state.view);
    buildPlan(scene.inputs, scene.programs, scene.targets, scene.cube, scene.resolution, true);
    watcher.watchAlso(scene.inputs.plan.watched);
    updateParameters(scene.parameters, scene.programs, false);
    const std::vector<std::string> soundFailure =
        reloadSound(scene.sound, files, scene.inputs.wiring);
    const std::vector<std::string> &failure =
        scene.programs.failure.empty() ? soundFailure : scene.programs.failure;
    showFailure(state,
                setProblem.empty() ? failure : std::vector<std::string>{"quorlin: " + setProblem});
}

// The back buffer's content after a swap is not defined; while paused the
// window's last frame is drawn into it again from the same inputs (only the
// window pass, so feedback buffers stay put).
void drawLastFrame(Scene &scene, const LoopState &state) {
    if (state.rendered > 0) {
        renderToWindow(scene, state.last, state.view, true, framebufferSize());
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, scene.window.framebuffer);
        clearBoundFramebuffer();
    }
}

void saveScreenshot(Scene &scene, const LoopState &state, bool drawnThisPass) {
    const glm::ivec2 size = framebufferSize();
    if (!drawnThisPass)
        drawLastFrame(scene, state);
    const std::string name = screenshotName();
    const std::string error = saveWindowPicture(scene.window.framebuffer, size.x, size.y, name);
    if (error.empty())
        std::cout << "Saved " << std::filesystem::absolute(name).native() << std::endl;
    else
        std::cout << "Failed to save " << name << ": " << error << std::endl;
}

// The last frame of a --frames run: its picture comes from the buffer it was
// drawn into, before the swap.
int finishRun(const Options &options, GLuint window) {
    if (options.output.empty())
        return 0;
    const glm::ivec2 size = framebufferSize();
    const std::string error = saveWindowPicture(window, size.x, size.y, options.output);
    if (error.empty()) {
        std::cout << "Saved " << options.output << " (" << size.x << "x" << size.y << ")"
                  << std::endl;
        return 0;
    }
    std::cout << "Failed to write " << options.output << ": " << error << std::endl;
    return 1;
}

// After every picture of the pass is taken, so none holds the band. While
// paused the band's coming or going, the panel and a changed parameter draw
// the last frame again. Returns whether the window was drawn this pass.
bool drawBand(Scene &scene, LoopState &state, const Tuning &tuning, bool drawnThisPass) {
    if ((state.bandChanged || tuning.wantsFrame()) && !drawnThisPass) {
        drawLastFrame(scene, state);
        drawnThisPass = true;
    }
    state.bandChanged = false;
    if (drawnThisPass && errorBandShown(state.band))
        drawErrorBand(state.band, framebufferSize());
    return drawnThisPass;
}

// The click style must see a press and release between two polls, which
// GLFW keeps for it in sticky mode; the button style polls as it always did.
void followMouseStyle(const Surface &surface, const Scene &scene, LoopState &state) {
    const bool click = clicksMouse(scene.inputs.wiring, scene.programs.generatedImage);
    if (click == state.clickStyle)
        return;
    if (surface.window != nullptr)
        glfwSetInputMode(surface.window, GLFW_STICKY_MOUSE_BUTTONS, click ? GLFW_TRUE : GLFW_FALSE);
    state.clickStyle = click;
}

// A view shows a target whose pass then runs, and so do the passes it reads.
void changeView(Scene &scene, const ShaderFiles &files, LoopState &state, int view,
                ShaderWatcher &watcher) {
    state.view = view;
    const unsigned running = scene.programs.active;
    buildBufferPasses(scene.programs, files, scene.inputs.wiring, view);
    prepareTargets(scene, view);
    if (scene.programs.active == running)
        return;
    buildPlan(scene.inputs, scene.programs, scene.targets, scene.cube, scene.resolution, false);
    watcher.watchAlso(scene.inputs.plan.watched);
}

void handleCommands(unsigned pressed, LoopState &state, Scene &scene, const ShaderFiles &files,
                    const std::string &shaderDir, ShaderWatcher &watcher, Tuning &tuning) {
    if (pressed & kPauseCommand) {
        state.running = !state.running;
        lt = glfwGetTime();
    }
    if (pressed & (1u << kPanelKey))
        tuning.togglePanel();
    if (pressed & (1u << kReloadKey))
        reload(scene, files, shaderDir, state, watcher);
    for (int view = 0; view <= kCubeView; ++view)
        if (pressed & (1u << (kView0Key + view)))
            changeView(scene, files, state, view, watcher);
}

// While a running program reads the keyboard, the window's keys go to it,
// unless a script alone feeds the shader or there is no window to give keys;
// the line says so when that begins.
void followKeyboard(const Surface &surface, Scene &scene, LoopState &state,
                    const Options &options) {
    const bool rule =
        scene.inputs.plan.readsKeyboard && !options.scripted && surface.window != nullptr;
    if (rule == state.controlRule)
        return;
    state.controlRule = rule;
    routeKeys(rule ? &scene.inputs.keyboard : nullptr);
    if (rule)
        std::cout << kControlRuleLine << std::endl;
    else
        scene.inputs.keyboard = Keyboard{}; // what is held now would stay held
}

} // namespace

bool refreshFrameRate(double now) {
    double elapsed = now - lt;
    if (!(elapsed > kTitleInterval))
        return false;
    fps = static_cast<double>(static_cast<float>(nbFrames)) / elapsed;
    // Truncation of a rate past INT_MAX would be undefined; clamp instead.
    int shown = fps < static_cast<double>(INT_MAX) ? static_cast<int>(fps) : INT_MAX;
    std::snprintf(title_string, sizeof(title_string), kTitleFormat, shown);
    lt = lt + elapsed;
    nbFrames = 0;
    return true;
}

int runFrameLoop(Surface &surface, Scene &scene, const std::string &shaderDir,
                 const ShaderFiles &files, const Options &options, OscServer &osc) {
    // A picture or clip of a set that did not build would be kept as a good one.
    if ((options.frames > 0 || !options.record.empty()) &&
        !setBuilt(scene.programs, options.view)) {
        std::cout << "Not saved: the shaders did not build" << std::endl;
        return 1;
    }
    if (!options.stateIn.empty() && loadState(options.stateIn, scene) != 0)
        return kUsageStatus;
    LoopState state;
    Recording recording(options, scene.resolution, scene.window,
                        soundRecorded(scene.sound) ? &scene.sound : nullptr);
    state.running = options.frames > 0 || recording.records();
    // Otherwise the window stays black and the program looks hung.
    if (!state.running && standardOutputIsTerminal())
        std::cout << "Press space to start, Escape to quit" << std::endl;
    state.view = options.view;
    // Space belongs to the shader then: rendering cannot wait for it.
    followKeyboard(surface, scene, state, options);
    state.running = state.running || state.controlRule;
    Pacer pacer = startPacing(surface, options);
    ShaderWatcher watcher;
    if (options.watch) {
        const std::string error = watcher.open(shaderDir);
        if (!error.empty())
            std::cout << "Cannot watch " << shaderDir << ": " << error << std::endl;
        watcher.watchAlso(scene.inputs.plan.watched);
        showFailure(state, scene.programs.failure);
    }
    // Without a window the loop's waits are sleeps, which end by themselves.
    Tuning tuning(surface.window, scene, osc, shaderDir, options.watch,
                  pacer.on && surface.window != nullptr);

    // Without a window the loop's sleeps end by themselves.
    wakeOnInterrupt(surface.window != nullptr);
    while (!closeRequested(surface) && interruptSignal() == 0) {
        const double now = surfaceTime(surface);
        unsigned keys = 0;
        if (surface.window != nullptr) { // without one: no keys, and the mouse stays at zero
            // The pointer over the panel is not the shader's.
            double pointer[kMouseValues];
            processInput(surface.window, pointer, &state.running, &state.spaceHeld);
            if (!tuning.holdsPointer())
                std::copy(std::begin(pointer), std::end(pointer), state.mouse);
            keys = pollCommandKeys(surface.window, state.latches);
        }
        followRunning(scene.sound, state.running);
        const unsigned pressed = (tuning.takesKeys() ? 0 : keys) | tuning.take(now);
        if (pressed != 0)
            handleCommands(pressed, state, scene, files, shaderDir, watcher, tuning);
        if (options.watch && watcher.changed(now))
            reload(scene, files, shaderDir, state, watcher);
        followMouseStyle(surface, scene, state);
        followKeyboard(surface, scene, state, options);

        if (state.running) {
            // A run may start later in the sequence: frame numbers and the
            // clock continue from there.
            const int frame = options.startFrame + state.rendered;
            // A script's pointer replaces the window's.
            if (options.scripted) {
                playScript(options.input, state.script, frame, scene.inputs.keyboard);
                std::copy(std::begin(state.script.mouse), std::end(state.script.mouse),
                          state.mouse);
            }
            const double clock =
                options.fixedClock ? options.startTime + frame / options.rate : now;
            const float time = static_cast<float>(clock);
            // Media on the live clock run with rendering, from 0 at the first
            // frame, and a pause holds them; where a sound file is heard, they
            // keep to what is heard.
            double heard = 0.0;
            scene.inputs.media.now =
                options.fixedClock ? clock
                : heardClock(scene.sound, heard)
                    ? heard
                    : scene.inputs.media.now + (state.mediaRunning ? now - state.mediaWall : 0.0);
            state.mediaRunning = true;
            state.mediaWall = now;
            const float previous =
                state.rendered > 0
                    ? state.last.time
                    : static_cast<float>(options.startTime + (frame - 1) / options.rate);
            const FrameUniforms uniforms{
                scene.resolution,
                time,
                state.clickStyle ? state.click.value : state.lastMouse,
                frame,
                frame == 0 ? 0.0f : time - previous,
                frameDate(scene.programs.readsDate, options.fixedClock, time),
                options.fixedClock ? static_cast<float>(options.rate)
                : fps > 0.0        ? static_cast<float>(fps)
                                   : kFirstFrameRate,
                scene.inputs.media.now};
            std::copy(std::begin(state.mouse), std::end(state.mouse), state.lastMouse);
            if (state.clickStyle)
                stepClickMouse(state.click, state.mouse[kCursorX], state.mouse[kCursorY],
                               state.mouse[kLeftButton] != 0.0 || state.script.leftPressed);
            // The sound's render moves the viewport as passes do.
            const bool soundRendered =
                updateSound(scene.sound, clock, options.startTime + (frame + 1.0) / options.rate,
                            recording.recordsSound(), scene.imageQuad.vao);
            if (updateInputs(scene.inputs.plan, uniforms))
                buildPlan(scene.inputs, scene.programs, scene.targets, scene.cube, scene.resolution,
                          false);
            const bool passesRan = renderBufferPasses(scene, uniforms) || soundRendered;
            recording.drawFrame(scene, uniforms, state.view, passesRan, framebufferSize(),
                                state.rendered);
            if (refreshFrameRate(surfaceTime(surface)))
                showTitle(surface, title_string);
            nbFrames++;
            state.last = uniforms;
            state.rendered++;
            frameRendered(scene.inputs.keyboard);
            if (!recording.frameDone(state.rendered))
                requestClose(surface);
            if (state.rendered == options.frames) {
                // The last frame's count comes before what is said of the run.
                endProgress(state.rendered);
                state.status = finishRun(options, scene.window.framebuffer);
                requestClose(surface);
            }
        } else {
            state.mediaRunning = false;
        }
        const bool screenshot = pressed & (1u << kScreenshotKey);
        if (screenshot)
            saveScreenshot(scene, state, state.running);
        if (!pacer.on) {
            tuning.finishPass(now, drawBand(scene, state, tuning, state.running || screenshot),
                              state.running);
            swapBuffers(surface);
            pollEvents(surface);
        } else if (state.running) {
            tuning.finishPass(now, drawBand(scene, state, tuning, true), true);
            swapBuffers(surface);
            shown(pacer);
            if (!closeRequested(surface))
                waitForNextFrame(pacer, surface);
        } else {
            if (needsRedraw(pacer) || state.bandChanged || tuning.wantsFrame()) {
                drawLastFrame(scene, state);
                tuning.finishPass(now, drawBand(scene, state, tuning, true), false);
                swapBuffers(surface);
                shown(pacer);
            }
            if (!pressesPending())
                waitWhilePaused(surface, options.watch);
        }
    }
    wakeOnInterrupt(false);
    deleteErrorBand(state.band);
    if (!options.stateOut.empty())
        state.status =
            std::max(state.status, saveState(options.stateOut, scene,
                                             options.startFrame + state.rendered, options));

    const int signal = interruptSignal();
    const int finished = recording.finish(state.rendered, state.status, signal != 0);
    if (signal != 0)
        return kSignalStatusBase + signal;
    if (recording.records())
        return finished;
    if (state.rendered < options.frames) {
        std::cout << "Closed after " << state.rendered << " of " << options.frames << " frames";
        if (!options.output.empty())
            std::cout << "; no picture written to " << options.output;
        std::cout << std::endl;
        return 1;
    }
    return finished;
}
