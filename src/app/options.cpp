// Command-line parsing with CLI11, held to the program's own wording and exit
// statuses rather than the library's.
#include "app/options.h"

#include "output/output_name.h"
#include "params/messages.h"
#include "params/osc.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// Four float targets of this size already take several GiB.
constexpr int kMaxSide = 8192;
constexpr int kViews = 5;
constexpr double kMaxTime = 1e7;
constexpr double kMaxRate = 1e6;
constexpr int kMaxFps = 1000;

struct UsageError {
    std::string message;
};

// A file named on the command line that is not as it should be: its own
// line, without the hint to read the usage.
struct FileError {
    std::string message;
};

int parseSide(const std::string &text, const std::string &whole) {
    int value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 1 || value > kMaxSide)
        throw UsageError{"--size: '" + whole + "' is not WIDTHxHEIGHT with each side from 1 to " +
                         std::to_string(kMaxSide)};
    return value;
}

void parseSize(const std::string &text, Options &options) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        throw UsageError{"--size: '" + text + "' is not WIDTHxHEIGHT, such as 800x600"};
    options.width = parseSide(text.substr(0, x), text);
    options.height = parseSide(text.substr(x + 1), text);
}

void checkPaths(const Options &options) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!options.shaderDir.empty() && !fs::is_directory(options.shaderDir, ignored))
        throw UsageError{
            "SHADER_DIR: '" + options.shaderDir +
            (fs::exists(options.shaderDir, ignored) ? "' is not a directory" : "' does not exist")};
    if (options.output.empty())
        return;
    if (fs::is_directory(options.output, ignored))
        throw UsageError{"--output: '" + options.output + "' is a directory"};
    const fs::path folder = fs::path(options.output).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ignored))
        throw UsageError{"--output: the folder '" + folder.string() + "' does not exist"};
}

// --new writes files and runs nothing, so nothing else belongs with it.
void checkNewSet(const CLI::App &app, const std::string &dir) {
    if (dir.empty())
        throw UsageError{"--new: the directory name is empty"};
    for (const CLI::Option *option : app.get_options())
        if (option->get_name() != "--new" && option->count() > 0)
            throw UsageError{"--new takes no other option or argument"};
}

// --import writes files into SHADER_DIR and runs nothing; --media only helps it.
void checkImport(const CLI::App &app, const Options &options) {
    if (options.import.empty())
        throw UsageError{"--import: the file name is empty"};
    if (options.shaderDir.empty())
        throw UsageError{"--import: give the directory to write the set into, as in "
                         "--import FILE.json DIR"};
    for (const CLI::Option *option : app.get_options())
        if (option->count() > 0 &&
            !(option->check_name("--import") || option->check_name("--media") ||
              option->check_name("SHADER_DIR")))
            throw UsageError{"--import takes only DIR and --media"};
    std::error_code ignored;
    if (app.count("--media") > 0 && !std::filesystem::is_directory(options.media, ignored))
        throw UsageError{"--media: '" + options.media + "' is not a directory"};
}

void parseImageChoices(const std::vector<std::string> &textures,
                       const std::vector<std::string> &samplers, Options &options) {
    for (const std::string &text : textures) {
        options.textures.emplace_back();
        const std::string problem = parseTextureChoice(text, options.textures.back());
        if (!problem.empty())
            throw UsageError{problem};
    }
    for (const std::string &text : samplers) {
        options.samplers.emplace_back();
        const std::string problem = parseSamplerChoice(text, options.samplers.back());
        if (!problem.empty())
            throw UsageError{problem};
    }
}

void readScript(const std::string &path, Options &options) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        throw UsageError{"--input: '" + path + "' is not a file"};
    std::ifstream in(path);
    if (!in)
        throw UsageError{"--input: '" + path + "' cannot be read"};
    const std::string problem = parseInputScript(in, path, options.input);
    if (!problem.empty())
        throw FileError{problem};
    options.scripted = true;
}

void parseParameterChoices(const std::vector<std::string> &settings, Options &options) {
    for (const std::string &text : settings) {
        Setting setting{text, {}, {}};
        const std::string problem = parseSetting(text, setting.name, setting.value);
        if (!problem.empty())
            throw UsageError{problem};
        options.settings.push_back(setting);
    }
    std::string host, port;
    if (!options.osc.empty() && !parseOscAddress(options.osc, host, port))
        throw UsageError{param_messages::badAddress(options.osc)};
}

} // namespace

ParseResult refuseUsage(const std::string &message, std::ostream &err) {
    err << "quorlin: " << message << "\nRun 'quorlin --help' for usage." << std::endl;
    return {false, kUsageStatus};
}

ParseResult parseOptions(int argc, const char *const *argv, Options &options, std::ostream &out,
                         std::ostream &err, const std::string &examplesDir) {
    CLI::App app{"Fills a window, frame after frame, with a fragment shader you write.", "quorlin"};
    app.set_version_flag("--version", std::string("quorlin ") + QUORLIN_VERSION,
                         "Print the version and exit");
    std::string size;
    app.add_option("SHADER_DIR", options.shaderDir,
                   "Directory holding Image.frag, common.incl, ... (default: ../Shaders)");
    app.add_option("--size", size, "Window, iResolution and render-target size (default 800x600)")
        ->type_name("WxH");
    app.add_option("--frames", options.frames, "Render N frames from the start, then exit")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()));
    app.add_option("--output", options.output,
                   "After the last frame, save the window as PNG; FILE.mp4, .mkv, .mov, .webm or "
                   ".gif records every frame, frames/%04d.png writes one PNG a frame")
        ->type_name("FILE");
    auto *time = app.add_option("--time", options.startTime,
                                "Fixed clock: frame k gets iTime = T + k / RATE");
    time->check(CLI::Range(-kMaxTime, kMaxTime));
    auto *rate = app.add_option("--rate", options.rate,
                                "Frames per second of the fixed clock "
                                "(default 60; alone means --time 0)");
    rate->check(CLI::Range(1.0 / kMaxRate, kMaxRate));
    auto *start = app.add_option("--start-frame", options.startFrame,
                                 "The first rendered frame is frame K (fixed clock). Feedback sets "
                                 "start from cleared targets, so they cannot be split");
    start->type_name("K")->check(CLI::Range(0, std::numeric_limits<int>::max()));
    app.add_option("--expect", options.expect,
                   "Compare the last frame with this PNG; exit 1 when they differ")
        ->type_name("REF.png");
    app.add_option("--tolerance", options.tolerance,
                   "Largest channel difference --expect lets pass (default 2)")
        ->check(CLI::Range(0, 255));
    app.add_flag("--watch", options.watch, "Reload the shaders when a file of the set changes");
    app.add_option(
           "--view", options.view,
           "Show render target N (1 to 4), or the cube-map pass's faces (5), instead of the image")
        ->check(CLI::Range(0, kViews));
    app.add_option("--max-fps", options.maxFps,
                   "Render at most N frames a second; sleep while paused")
        ->check(CLI::Range(1, kMaxFps));
    app.add_flag("--vsync", options.vsync, "Swap in step with the display; sleep while paused");
    auto *newSet = app.add_option("--new", options.newSet,
                                  "Write a copy of the shipped shader set into the new or "
                                  "empty directory DIR, then exit")
                       ->type_name("DIR");
    auto *import = app.add_option("--import", options.import,
                                  "Write a set made from a shader's JSON export into the new or "
                                  "empty directory SHADER_DIR, then exit")
                       ->type_name("FILE.json");
    auto *media = app.add_option("--media", options.media,
                                 "With --import: a directory to look in for media that is not "
                                 "beside FILE.json")
                      ->type_name("DIR");
    std::vector<std::string> textures, samplers;
    std::string script;
    app.add_option("--texture", textures, "Sampler NAME reads image FILE (repeatable)")
        ->type_name("NAME=FILE")
        ->allow_extra_args(false);
    app.add_option("--sampler", samplers,
                   "Sampling of NAME: nearest, linear or mipmap, and repeat, clamp or mirror, "
                   "comma-separated (repeatable)")
        ->type_name("NAME=OPTIONS")
        ->allow_extra_args(false);
    auto *input = app.add_option("--input", script,
                                 "Key and mouse events before chosen frames, one a line: FRAME key "
                                 "down|up CODE, or FRAME mouse X Y [down|up] [left|right]")
                      ->type_name("FILE");
    std::vector<std::string> settings;
    app.add_option("--set", settings,
                   "Parameter NAME starts at VALUE: a number, true, false or comma-separated "
                   "numbers (repeatable)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    app.add_option("--osc", options.osc,
                   "Take parameter values as OSC messages on UDP PORT of 127.0.0.1, or of HOST")
        ->type_name("[HOST:]PORT");
    app.footer("Keys: space starts and pauses, R reloads, S saves a screenshot, 1-4 show a "
               "render target, 5 the cube-map pass, 0 the image, Tab shows the parameters, Escape "
               "quits; while the shader reads the keyboard, all but Escape need Control." +
               (examplesDir.empty() ? "" : "\n\nExample sets: " + examplesDir));

    try {
        app.parse(argc, argv);
        if (newSet->count() > 0)
            checkNewSet(app, options.newSet);
        if (import->count() > 0) {
            checkImport(app, options);
            return {true, 0};
        }
        if (media->count() > 0)
            throw UsageError{"--media goes with --import"};
        if (!size.empty())
            parseSize(size, options);
        // A range check lets NaN through.
        if (!std::isfinite(options.startTime) || !std::isfinite(options.rate))
            throw UsageError{"--time and --rate take finite numbers"};
        checkPaths(options);
        parseImageChoices(textures, samplers, options);
        parseParameterChoices(settings, options);
        if (input->count() > 0)
            readScript(script, options);
        options.fixedClock =
            time->count() > 0 || rate->count() > 0 || start->count() > 0 || options.scripted;
        const std::string unusable = applyRecordingRules(options, rate->count() > 0);
        if (!unusable.empty())
            throw UsageError{unusable};
    } catch (const CLI::CallForHelp &) {
        out << app.help() << std::flush;
        return {false, 0};
    } catch (const CLI::CallForVersion &e) {
        out << e.what() << std::endl;
        return {false, 0};
    } catch (const CLI::ParseError &e) {
        err << "quorlin: " << e.what() << "\nRun 'quorlin --help' for usage." << std::endl;
        return {false, kUsageStatus};
    } catch (const UsageError &e) {
        return refuseUsage(e.message, err);
    } catch (const FileError &e) {
        err << "quorlin: " << e.message << std::endl;
        return {false, kUsageStatus};
    }
    if ((!options.output.empty() || !options.expect.empty()) && options.frames == 0)
        options.frames = 1;
    return {true, 0};
}
