// The command line, parsed once into a plain value that the rest reads.
#pragma once

#include "inputs/input_script.h"
#include "inputs/samplers.h"
#include "params/values.h"

#include <ostream>
#include <string>
#include <vector>

// The highest view: 1 to 4 show render targets 1 to 4, 5 the cube-map pass's faces.
constexpr int kLastView = 5;

struct Options {
    std::string shaderDir; // empty: the Shaders directory beside the working directory
    int width = 800;
    int height = 600;
    bool sizeGiven = false; // chosen: by --size, or by the reference of --expect
    int frames = 0;         // 0: run until the window is closed
    std::string output;     // empty: no picture at the end
    bool fixedClock = false;
    double startTime = 0.0;
    double rate = 60.0;
    bool watch = false;
    int view = 0;                        // 0: the image; else up to kLastView
    std::vector<TextureChoice> textures; // --texture, in the order given
    std::vector<SamplerChoice> samplers; // --sampler, in the order given

    int maxFps = 0; // 0: unthrottled
    bool vsync = false;
    std::string newSet;  // not empty: write a new set there instead of running
    std::string import;  // not empty: write a set from this export into shaderDir instead
    std::string media;   // where --import also looks for media
    std::string record;  // a video or PNG sequence named by --output, which is then empty
    std::string sound;   // a WAV file named by --output, which is then empty
    std::string encoder; // ffmpeg's path, found once when recording a video
    int startFrame = 0;
    std::string expect; // a reference PNG to compare the last frame with
    int tolerance = 2;
    bool scripted = false; // --input: the script, not the window, gives keys and pointer
    InputScript input;
    bool headless = false; // no window even where there is a display
    std::string stateIn;   // a state to continue from; empty: cleared targets, frame 0
    std::string stateOut;  // where the state goes after the last frame; empty: nowhere
    // With --output -: the standard output the frames go to, set aside before
    // anything is printed; -1 otherwise.
    int streamFd = -1;
    std::vector<Setting> settings; // --set, in the order given
    std::string osc;               // --osc PORT or HOST:PORT; empty: no OSC server
};

// The largest side of the render size.
constexpr int kMaxRenderSide = 8192;

// The status of a command that cannot be run as given.
constexpr int kUsageStatus = 2;

struct ParseResult {
    bool run;   // false: the process ends now with status
    int status; // 0 after --help or --version, 2 after bad usage
};

// Help and version go to out; a bad-usage line starting with "quorlin: " and
// a hint to run --help go to err. Nothing is printed for a usable command.
// The help names examplesDir, when given, as where the example sets are.
ParseResult parseOptions(int argc, const char *const *argv, Options &options, std::ostream &out,
                         std::ostream &err, const std::string &examplesDir = "");

// A bad-usage line found after parsing, worded as parseOptions words its own.
ParseResult refuseUsage(const std::string &message, std::ostream &err);
