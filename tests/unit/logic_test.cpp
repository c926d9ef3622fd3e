// The pure logic: the command line, the frame-rate title, the shader file names
// and the banner tag.
#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/options.h"
#include "shader/shader_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace {

// The status, then what parseOptions printed on standard output and standard error.
std::string parse(std::string line, Options &options) {
    std::vector<const char *> argv{"quorlin"};
    for (char *word = std::strtok(line.data(), " "); word; word = std::strtok(nullptr, " "))
        argv.push_back(word);
    std::ostringstream out, err;
    const ParseResult r =
        parseOptions(static_cast<int>(argv.size()), argv.data(), options, out, err);
    return (r.run ? "run" : std::to_string(r.status)) + "|" + out.str() + "|" + err.str();
}

std::string parse(const std::string &line) {
    Options options;
    return parse(line, options);
}

TEST(Options, BadUsageNamesTheProblem) {
    const std::string hint = "\nRun 'quorlin --help' for usage.\n", start = "2||quorlin: ";
    const char *cases[][2] = {
        {"--size 800", "--size: '800' is not WIDTHxHEIGHT, such as 800x600"},
        {"--size 0x600", "--size: '0x600' is not WIDTHxHEIGHT with each side from 1 to 8192"},
        {"--size 8x8193", "--size: '8x8193' is not WIDTHxHEIGHT with each side from 1 to 8192"},
        {"--size 8x6y", "--size: '8x6y' is not WIDTHxHEIGHT with each side from 1 to 8192"},
        {"--time nan", "--time and --rate take finite numbers"},
        {"/nonexistent", "SHADER_DIR: '/nonexistent' does not exist"},
        {"/dev/null", "SHADER_DIR: '/dev/null' is not a directory"},
        {"--output /tmp", "--output: '/tmp' is a directory"},
        {"--output /none/q.png", "--output: the folder '/none' does not exist"},
        {"--output a%d%02d.png",
         "--output: 'a%d%02d.png' has more than one frame number; a sequence has one, such as "
         "frames/%04d.png"},
        {"--output a%03d.mp4", "--output: 'a%03d.mp4' has a frame number but does not end in .png"},
        {"--output a.gif --rate 50.5",
         "--rate: a GIF plays at most 50 frames per second, not 50.5"},
        {"--expect /none.png", "--expect: '/none.png' does not exist"},
        {"--expect /dev/null", "--expect: '/dev/null' is not a PNG"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parse(c[0]), start + c[1] + hint);
    // In the library's own wording, on one line.
    for (const char *line : {"--frames 0", "--frames x", "--view 5", "--rate 0", "--time 1e8",
                             "--bogus", "a b", "--start-frame -1", "--tolerance 256"}) {
        const std::string printed = parse(line);
        EXPECT_EQ(printed.rfind(start, 0), 0u) << printed;
        EXPECT_EQ(printed.find('\n'), printed.size() - hint.size()) << printed;
    }
    EXPECT_EQ(parse("--output q.png --frames 2 --size 8x8"), "run||");
    EXPECT_EQ(parse("--version"), "0|quorlin 0.2.0\n|");
    const std::string help = "0|Fills a window, frame after frame, with a fragment shader you "
                             "write.\nUsage: quorlin [OPTIONS] [SHADER_DIR]\n";
    EXPECT_EQ(parse("--help").rfind(help, 0), 0u);
}

TEST(Options, RecordingsAndStartFramesRunOnTheFixedClock) {
    struct {
        const char *line, *record, *output;
        double rate;
        int frames;
        bool fixedClock;
    } cases[] = {
        {"--output a.gif", "a.gif", "", 25, 0, true},
        {"--output a.gif --rate 50", "a.gif", "", 50, 0, true},
        {"--output a.mp4 --frames 3", "a.mp4", "", 60, 3, true},
        {"--output /tmp/%09d.png", "/tmp/%09d.png", "", 60, 0, true},
        {"--output 100%.png", "", "100%.png", 60, 1, false},
        {"--output /tmp/%4d%00d%010d.png", "", "/tmp/%4d%00d%010d.png", 60, 1, false},
        {"--start-frame 0", "", "", 60, 0, true},
    };
    for (const auto &c : cases) {
        Options o;
        EXPECT_EQ(parse(c.line, o), "run||");
        EXPECT_EQ(o.record + "|" + o.output, std::string(c.record) + "|" + c.output) << c.line;
        EXPECT_EQ(o.rate, c.rate) << c.line;
        EXPECT_EQ(o.frames, c.frames) << c.line;
        EXPECT_EQ(o.fixedClock, c.fixedClock) << c.line;
    }
}

TEST(FrameRate, RefreshesAfterStrictlyMoreThanATenthOfASecond) {
    struct {
        double lt, now;
        int frames;
        const char *title; // nullptr: no refresh
    } cases[] = {
        {0.1, 0.2, 3, nullptr}, // exactly 0.1 s
        {0.1, std::nextafter(0.2, 1.0), 0, "Quorlin - FPS =  "},
        {1.0, 3.0, 1, "Quorlin - FPS =  "}, // 0.5: zero precision prints no digit
        {1.0, 1.5, 7, "Quorlin - FPS = 14 "},
        {0.2, 0.9, 10, "Quorlin - FPS = 14 "}, // lt + (now - lt) is not now here
        {1.0, 1.125, 123456, "Quorlin - FPS = 987648 "},
    };
    for (const auto &c : cases) {
        lt = c.lt;
        nbFrames = c.frames;
        std::strcpy(title_string, "unchanged");
        EXPECT_EQ(refreshFrameRate(c.now), c.title != nullptr) << c.lt << " " << c.now;
        EXPECT_STREQ(title_string, c.title ? c.title : "unchanged");
        EXPECT_EQ(lt, c.title ? c.lt + (c.now - c.lt) : c.lt);
        EXPECT_EQ(nbFrames, c.title ? 0 : c.frames);
    }
}

TEST(ShaderFilesAndBanner, NamesPathsAndTag) {
    const ShaderFiles f = shaderFilesIn("d");
    std::istringstream paths(f.vertex + ' ' + f.viewerVertex + ' ' + f.image + ' ' + f.buffers[0] +
                             ' ' + f.buffers[1] + ' ' + f.buffers[2] + ' ' + f.buffers[3] + ' ' +
                             f.viewerFragment + ' ' + f.common);
    EXPECT_EQ(paths.str(), "d/VertexShader.vs d/TextureViewer.vs.vert d/Image.frag d/BufferA.fs "
                           "d/BufferB.fs d/BufferC.fs d/BufferD.fs d/TextureViewer.fs.frag "
                           "d/common.incl");
    for (std::string path; paths >> path;)
        EXPECT_TRUE(isShaderFileName(path.substr(2))) << path;
    EXPECT_FALSE(isShaderFileName("Image.fra") || isShaderFileName("BufferE.fs"));
    EXPECT_EQ(defaultShaderDir(shaderRootOf("/a/build")) + defaultShaderDir(shaderRootOf("/")),
              "/a/Shaders//Shaders");
    EXPECT_EQ(std::string(standardTag(202002L).data()) + kStandardTag.data(), "C++20C++17");
}

} // namespace
