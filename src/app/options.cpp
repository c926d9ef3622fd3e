// Command-line parsing with CLI11, held to the program's own wording and exit
// statuses rather than the library's.
#include "app/options.h"

#include "app/new_set.h"
#include "app/set_writer.h"
#include "output/output_name.h"
#include "output/render_state.h"
#include "params/messages.h"
#include "params/osc.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

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
// A number from low to high, with the range in words for the help and the
// refusal rather than the library's bounds (NaN is refused too).
template <typename T> CLI::Validator between(T low, T high, const std::string &words) {
    return CLI::Validator(
        [low, high, words](std::string &text) {
            T value{};
            if (CLI::detail::lexical_cast(text, value) && value >= low && value <= high)
                return std::string();
            return "'" + text + "' is not " + words;
        },
        "");
}

constexpr const char *kFramesRange = "a whole number, 1 or more";
constexpr const char *kTimeRange = "a number of seconds from -10000000 to 10000000";
constexpr const char *kRateRange = "a number from 0.000001 to 1000000";
constexpr const char *kStartRange = "a whole number, 0 or more";
constexpr const char *kToleranceRange = "a whole number from 0 to 255";
constexpr const char *kViewRange = "a whole number from 0 to 5";
constexpr const char *kMaxFpsRange = "a whole number from 1 to 1000";

std::size_t editDistance(const std::string &a, const std::string &b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A misspelt long option would otherwise leave its value to be taken as the
// shader directory, and the library would complain about the directory.
void checkOptionNames(const CLI::App &app, int argc, const char *const *argv) {
    constexpr std::size_t kMostEdits = 2;
    const std::vector<const CLI::Option *> options = app.get_options();
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--")
            return;
        if (word.rfind("--", 0) != 0)
            continue;
        const std::string name = word.substr(0, word.find('='));
        std::string nearest;
        std::size_t nearestEdits = kMostEdits + 1;
        bool known = false;
        for (const CLI::Option *option : options) {
            for (const std::string &longName : option->get_lnames()) {
                const std::size_t edits = editDistance(name, "--" + longName);
                known = known || edits == 0;
                if (edits == 0 && word.size() == name.size() && option->get_type_size_min() > 0)
                    ++i; // its value, whatever it looks like
                if (edits < nearestEdits) {
                    nearest = "--" + longName;
                    nearestEdits = edits;
                }
            }
        }
        if (!known)
            throw UsageError{"unknown option " + name +
                             (nearest.empty() ? "" : " (did you mean " + nearest + "?)")};
    }
}

int parseSide(const std::string &text, const std::string &whole) {
    int value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 1 || value > kMaxRenderSide)
        throw UsageError{"--size: '" + whole + "' is not WIDTHxHEIGHT with each side from 1 to " +
                         std::to_string(kMaxRenderSide)};
    return value;
}

void parseSize(const std::string &text, Options &options) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        throw UsageError{"--size: '" + text + "' is not WIDTHxHEIGHT, such as 800x600"};
    options.width = parseSide(text.substr(0, x), text);
    options.height = parseSide(text.substr(x + 1), text);
}

void checkFileToWrite(const std::string &option, const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (path.empty())
        return;
    if (fs::is_directory(path, ignored))
        throw UsageError{option + ": '" + path + "' is a directory"};
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ignored))
        throw UsageError{option + ": the folder '" + folder.string() + "' does not exist"};
}

void checkPaths(const Options &options) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!options.shaderDir.empty() && !fs::is_directory(options.shaderDir, ignored))
        throw UsageError{
            "SHADER_DIR: '" + options.shaderDir +
            (fs::exists(options.shaderDir, ignored) ? "' is not a directory" : "' does not exist")};
    if (!options.shaderDir.empty() &&
        !fs::exists(fs::symlink_status(fs::path(options.shaderDir) / "Image.frag", ignored)))
        throw UsageError{options.shaderDir + " has no Image.frag (quorlin --new " +
                         shellQuoted(options.shaderDir) + " makes a set)"};
    checkFileToWrite("--output", options.output);
    checkFileToWrite("--state-out", options.stateOut);
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
                   "Directory holding Image.frag, common.incl, ... (default: ../Shaders)")
        ->type_name("");
    app.add_option("--size", size,
                   "Window, iResolution and render-target size, each side 1 to " +
                       std::to_string(kMaxRenderSide) + " (default 800x600)")
        ->type_name("WxH");
    app.add_option("--frames", options.frames,
                   std::string("Render N frames from the start, then exit; N is ") + kFramesRange)
        ->type_name("N")
        ->check(between(1, std::numeric_limits<int>::max(), kFramesRange));
    app.add_option("--output", options.output,
                   "After the last frame, save the window as PNG; FILE.mp4, .mkv, .mov, .webm or "
                   ".gif records every frame, frames/%04d.png writes one PNG a frame, FILE.wav "
                   "writes the sound of Sound.fs, - streams YUV4MPEG2 on standard output")
        ->type_name("FILE");
    auto *time = app.add_option(
        "--time", options.startTime,
        std::string("Fixed clock: frame k gets iTime = T + k / RATE; T is ") + kTimeRange);
    time->type_name("T")->check(between(-kMaxTime, kMaxTime, kTimeRange));
    auto *rate = app.add_option("--rate", options.rate,
                                std::string("Frames per second of the fixed clock (default 60; "
                                            "alone means --time 0); RATE is ") +
                                    kRateRange);
    rate->type_name("RATE")->check(between(1.0 / kMaxRate, kMaxRate, kRateRange));
    auto *start = app.add_option("--start-frame", options.startFrame,
                                 std::string("The first rendered frame is frame K (fixed clock). "
                                             "Feedback sets start from cleared targets: continue "
                                             "them with --state-in; K is ") +
                                     kStartRange);
    start->type_name("K")->check(between(0, std::numeric_limits<int>::max(), kStartRange));
    app.add_option("--expect", options.expect,
                   "Compare the last frame with this PNG; exit 1 when they differ")
        ->type_name("REF.png");
    app.add_option("--tolerance", options.tolerance,
                   std::string("Largest channel difference --expect lets pass (default 2); N is ") +
                       kToleranceRange)
        ->type_name("N")
        ->check(between(0, 255, kToleranceRange));
    app.add_flag("--watch", options.watch, "Reload the shaders when a file of the set changes");
    app.add_option("--view", options.view,
                   std::string("Show render target N (1 to 4), or the cube-map pass's faces (5), "
                               "instead of the image (0, the default); N is ") +
                       kViewRange)
        ->type_name("N")
        ->check(between(0, kLastView, kViewRange));
    app.add_option("--max-fps", options.maxFps,
                   std::string("Render at most N frames a second; sleep while paused; N is ") +
                       kMaxFpsRange)
        ->type_name("N")
        ->check(between(1, kMaxFps, kMaxFpsRange));
    app.add_flag("--vsync", options.vsync, "Swap in step with the display; sleep while paused");
    app.add_option("--state-in", options.stateIn,
                   "Continue from the render targets, frame and clock in FILE")
        ->type_name("FILE");
    app.add_option("--state-out", options.stateOut,
                   "After the last frame, write the render targets, frame and clock to FILE")
        ->type_name("FILE");
    auto *headless = app.add_flag("--headless", options.headless,
                                  "Render without a window (EGL), as where there is no display; "
                                  "with --frames, --output or --expect");
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
        checkOptionNames(app, argc, argv);
        app.parse(argc, argv);
        if (newSet->count() > 0)
            checkNewSet(app, options.newSet);
        if (import->count() > 0) {
            checkImport(app, options);
            return {true, 0};
        }
        if (media->count() > 0)
            throw UsageError{"--media goes with --import"};
        options.sizeGiven = !size.empty();
        if (options.sizeGiven)
            parseSize(size, options);
        if (headless->count() > 0 && options.frames == 0 && options.output.empty() &&
            options.expect.empty())
            throw UsageError{"--headless needs --frames, --output or --expect: a run without a "
                             "window must end by itself"};
        checkPaths(options);
        parseImageChoices(textures, samplers, options);
        parseParameterChoices(settings, options);
        if (input->count() > 0)
            readScript(script, options);
        options.fixedClock = time->count() > 0 || rate->count() > 0 || start->count() > 0 ||
                             options.scripted || !options.stateOut.empty();
        if (!options.stateIn.empty()) {
            const std::string problem =
                applyState(options, time->count() > 0, rate->count() > 0, start->count() > 0);
            if (!problem.empty())
                throw UsageError{problem};
        }
        const std::string unusable =
            applyRecordingRules(options, rate->count() > 0 || !options.stateIn.empty());
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
