// The panel, in Dear ImGui with its GLFW and OpenGL 3 back-ends.
#include "app/panel.h"

#include "params/messages.h"
#include "params/params_file.h"

#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace {

namespace msg = param_messages;

constexpr const char *kGlslVersion = "#version 330 core";
constexpr float kWidth = 360.0f;
constexpr float kStripHeight = 40.0f;
constexpr float kPadHeight = 120.0f; // the most; a pad has the render size's shape
constexpr float kPointRadius = 4.0f;
constexpr double kMillisecondsPerSecond = 1e3;
const char *const kPassNames[kTimedPasses] = {"A", "B", "C", "D", "cube", "image"};

void start(Panel &panel, GLFWwindow *window) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    // No imgui.ini or log in the user's working directory.
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::GetIO().LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    ImGui_ImplOpenGL3_Init(kGlslVersion);
    createPassTiming(panel.timing);
    panel.started = true;
}

float onStep(const ParamDeclaration &d, float value) {
    return d.step > 0.0f ? d.min + std::round((value - d.min) / d.step) * d.step : value;
}

// A square of the render size's shape: x right, y up, in render pixels, as
// iMouse counts them.
bool pad(const char *name, float *xy, glm::vec2 size) {
    const float width = std::min(ImGui::CalcItemWidth(), kPadHeight * size.x / size.y);
    const ImVec2 extent(width, width * size.y / size.x);
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton(name, extent);
    const bool changed = ImGui::IsItemActive();
    if (changed) {
        const ImVec2 mouse = ImGui::GetIO().MousePos;
        xy[0] = std::clamp((mouse.x - origin.x) / extent.x, 0.0f, 1.0f) * size.x;
        xy[1] = std::clamp(1.0f - (mouse.y - origin.y) / extent.y, 0.0f, 1.0f) * size.y;
    }
    ImDrawList *draw = ImGui::GetWindowDrawList();
    const ImVec2 end(origin.x + extent.x, origin.y + extent.y);
    draw->AddRectFilled(origin, end, ImGui::GetColorU32(ImGuiCol_FrameBg));
    const ImVec2 point(origin.x + xy[0] / size.x * extent.x,
                       origin.y + (1.0f - xy[1] / size.y) * extent.y);
    draw->AddCircleFilled(point, kPointRadius, ImGui::GetColorU32(ImGuiCol_SliderGrab));
    ImGui::SameLine();
    ImGui::Text("%s\n(%.0f, %.0f)", name, static_cast<double>(xy[0]), static_cast<double>(xy[1]));
    return changed;
}

// The control for one parameter; true when the person changed value.
bool control(const ParamDeclaration &d, ParamValue &value, glm::vec2 renderSize) {
    const char *name = d.name.c_str();
    const ImGuiSliderFlags flags = ImGuiSliderFlags_NoInput;
    if (d.type == ParamType::kBool) {
        bool on = value[0] != 0.0f;
        const bool changed = ImGui::Checkbox(name, &on);
        value[0] = on ? 1.0f : 0.0f;
        return changed;
    }
    if (d.type == ParamType::kInt) {
        int whole = static_cast<int>(value[0]);
        const bool changed = ImGui::SliderInt(name, &whole, static_cast<int>(d.min),
                                              static_cast<int>(d.max), "%d", flags);
        value[0] = onStep(d, static_cast<float>(whole));
        return changed;
    }
    if (d.control == ParamControl::kPad)
        return pad(name, value.data(), renderSize);
    if (d.control == ParamControl::kColour)
        return d.type == ParamType::kVec3
                   ? ImGui::ColorEdit3(name, value.data(), ImGuiColorEditFlags_Float)
                   : ImGui::ColorEdit4(name, value.data(), ImGuiColorEditFlags_Float);
    const int count = componentCount(d.type);
    const bool changed = ImGui::SliderScalarN(name, ImGuiDataType_Float, value.data(), count,
                                              &d.min, &d.max, "%.3g", flags);
    for (int i = 0; i < count; ++i)
        value[static_cast<std::size_t>(i)] = onStep(d, value[static_cast<std::size_t>(i)]);
    return changed;
}

void save(const Scene &scene, const std::string &path) {
    const std::string problem = writeParamsFile(path, scene.parameters.list);
    std::cout << (problem.empty() ? msg::saved(path) : msg::notSaved(path, problem)) << std::endl;
}

void times(Panel &panel, const Scene &scene) {
    const int count = std::min(panel.frames, kFrameTimes);
    const int oldest = panel.frames > kFrameTimes ? panel.frames % kFrameTimes : 0;
    char overlay[64];
    std::snprintf(
        overlay, sizeof(overlay), "frame %.2f ms",
        count > 0 ? static_cast<double>(panel.frameMilliseconds[(panel.frames - 1) % kFrameTimes])
                  : 0.0);
    ImGui::PlotLines("##frames", panel.frameMilliseconds.data(), count, oldest, overlay, 0.0f,
                     FLT_MAX, ImVec2(ImGui::GetContentRegionAvail().x, kStripHeight));
    if (scene.programs.active == 0)
        return;
    ImGui::TextUnformatted("GPU:");
    for (int pass = 0; pass < kTimedPasses; ++pass) {
        if (pass != kImagePass && !(scene.programs.active & passBit(pass)))
            continue;
        ImGui::SameLine();
        ImGui::Text("%s %.2f ms", kPassNames[pass],
                    static_cast<double>(panel.timing.milliseconds[static_cast<std::size_t>(pass)]));
    }
}

} // namespace

void togglePanel(Panel &panel, GLFWwindow *window, Scene &scene) {
    if (!panel.started)
        start(panel, window);
    panel.shown = !panel.shown;
    panel.frames = 0;
    scene.timing = panel.shown && scene.programs.active != 0 ? &panel.timing : nullptr;
}

bool panelHoldsPointer(const Panel &panel) {
    return panel.shown && ImGui::GetIO().WantCaptureMouse;
}

bool panelTakesKeys(const Panel &panel) {
    return panel.shown && ImGui::GetIO().WantTextInput;
}

void recordFrameTime(Panel &panel, double seconds) {
    panel.frameMilliseconds[static_cast<std::size_t>(panel.frames % kFrameTimes)] =
        static_cast<float>(seconds * kMillisecondsPerSecond);
    ++panel.frames;
}

void drawPanel(Panel &panel, Scene &scene, const std::string &paramsPath) {
    if (scene.timing != nullptr)
        nextTimedFrame(panel.timing);
    scene.timing = scene.programs.active != 0 ? &panel.timing : nullptr;
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSizeConstraints(ImVec2(kWidth, 0.0f),
                                        ImVec2(kWidth, ImGui::GetIO().DisplaySize.y));
    ImGui::SetNextWindowBgAlpha(1.0f);
    ImGui::Begin("Parameters", nullptr,
                 ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings);
    if (ImGui::Button("Reset"))
        resetParameters(scene.parameters);
    ImGui::SameLine();
    if (ImGui::Button("Save"))
        save(scene, paramsPath);
    for (Parameter &p : scene.parameters.list) {
        ParamValue value = p.value;
        if (control(p.declared, value, scene.resolution))
            setParameter(scene.parameters, p, value);
    }
    times(panel, scene);
    ImGui::End();
    ImGui::Render();
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
}

void endPanel(Panel &panel, Scene &scene) {
    if (!panel.started)
        return;
    scene.timing = nullptr;
    deletePassTiming(panel.timing);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    panel.started = false;
}
