// The pure logic: the command line, the frame-rate title, the shader file names
// and the banner tag.
#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/options.h"
#include "inputs/decode_apart.h"
#include "render/frame_date.h"
#include "shader/error_lines.h"
#include "shader/shader_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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
        {"--time nan", "--time: 'nan' is not a number of seconds from -10000000 to 10000000"},
        {"--view 6", "--view: '6' is not a whole number from 0 to 5"},
        {"--frames 1.5", "--frames: '1.5' is not a whole number, 1 or more"},
        {"--frame 10 /tmp", "unknown option --frame (did you mean --frames?)"},
        {"--max-fsp=3", "unknown option --max-fsp (did you mean --max-fps?)"},
        {"--outptu x --bogus", "unknown option --outptu (did you mean --output?)"},
        {"--bogus", "unknown option --bogus"},
        {"/tmp", "/tmp has no Image.frag (quorlin --new /tmp makes a set)"},
        {"/nonexistent", "SHADER_DIR: '/nonexistent' does not exist"},
        {"/dev/null", "SHADER_DIR: '/dev/null' is not a directory"},
        {"--output /tmp", "--output: '/tmp' is a directory"},
        {"--output /none/q.png", "--output: the folder '/none' does not exist"},
        {"--new d --vsync", "--new takes no other option or argument"},
        {"/tmp --new d", "--new takes no other option or argument"},
        {"--import a.json", "--import: give the directory to write the set into, as in "
                            "--import FILE.json DIR"},
        {"--import a.json d --watch", "--import takes only DIR and --media"},
        {"--import a.json d --media /none", "--media: '/none' is not a directory"},
        {"--media /tmp d", "--media goes with --import"},
        {"--texture a", "--texture: 'a' is not NAME=FILE"},
        {"--texture =/proc/self/exe", "--texture: '=/proc/self/exe' is not NAME=FILE"},
        {"--texture a=/none.png", "--texture: '/none.png' does not exist"},
        {"--texture a=/tmp", "--texture: '/tmp' is not a regular file"},
        {"--texture a=/proc/self/exe /none", "SHADER_DIR: '/none' does not exist"}, // one a time
        {"--sampler a", "--sampler: 'a' is not NAME=OPTIONS"},
        {"--sampler a=", "--sampler: 'a=' gives no option"},
        {"--sampler a=clamp,Linear",
         "--sampler: 'Linear' in 'a=clamp,Linear' is none of nearest, linear, mipmap, repeat, "
         "clamp, mirror"},
        {"--sampler a=nearest,repeat,mipmap",
         "--sampler: 'a=nearest,repeat,mipmap' gives more than "
         "one filter"},
        {"--sampler a=mirror,clamp", "--sampler: 'a=mirror,clamp' gives more than one wrap"},
        {"--output a%d%02d.png",
         "--output: 'a%d%02d.png' has more than one frame number; a sequence has one, such as "
         "frames/%04d.png"},
        {"--output a%03d.mp4", "--output: 'a%03d.mp4' has a frame number but does not end in .png"},
        {"--output a.gif --rate 50.5",
         "--rate: a GIF plays at most 50 frames per second, not 50.5"},
        {"--expect /none.png", "--expect: '/none.png' does not exist"},
        {"--output a.wav --expect r.png",
         "--expect compares a picture, and --output 'a.wav' makes none, only sound"},
        {"--expect /dev/null", "--expect: '/dev/null' is not a PNG"},
        {"--input /none", "--input: '/none' is not a file"},
        {"--headless --watch", "--headless needs --frames, --output or --expect: a run without a "
                               "window must end by itself"},
        {"--state-out /tmp", "--state-out: '/tmp' is a directory"},
        {"--state-in /dev/null", "/dev/null: is not a Quorlin state file"},
        {"--set speed", "--set: 'speed' is not NAME=VALUE"},
        {"--set =1", "--set: '=1' is not NAME=VALUE"},
        {"--set a=", "--set: '' in 'a=' is not a number, true, false or 2 to 4 comma-separated "
                     "numbers"},
        {"--set a=1,2,3,4,5", "--set: '1,2,3,4,5' in 'a=1,2,3,4,5' is not a number, true, false "
                              "or 2 to 4 comma-separated numbers"},
        {"--set a=1,,2", "--set: '1,,2' in 'a=1,,2' is not a number, true, false or 2 to 4 "
                         "comma-separated numbers"},
        {"--set a=nan", "--set: 'nan' in 'a=nan' is not a number, true, false or 2 to 4 "
                        "comma-separated numbers"},
        {"--osc 0", "--osc: '0' is not PORT or HOST:PORT with PORT from 1 to 65535"},
        {"--osc host:65536", "--osc: 'host:65536' is not PORT or HOST:PORT with PORT from 1 to "
                             "65535"},
        {"--osc :9000", "--osc: ':9000' is not PORT or HOST:PORT with PORT from 1 to 65535"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parse(c[0]), start + c[1] + hint);
    // In the library's own wording or in words, on one line.
    for (const char *line :
         {"--frames x", "--rate 0", "--time 1e8", "a b", "--max-fps 0", "--max-fps 1001",
          "--new a --new b", "--start-frame -1", "--tolerance 256", "--frames"}) {
        const std::string printed = parse(line);
        EXPECT_EQ(printed.rfind(start, 0), 0u) << printed;
        EXPECT_EQ(printed.find('\n'), printed.size() - hint.size()) << printed;
    }
    EXPECT_EQ(parse("--output q.png --frames 2 --size 8x8"), "run||");
    EXPECT_EQ(parse("--max-fps 1000 --vsync --watch"), "run||");
    EXPECT_EQ(parse("--output --frame.png -- --frame"), "2||quorlin: SHADER_DIR: '--frame' does "
                                                        "not exist" +
                                                            hint);
    EXPECT_EQ(parse("--media /tmp --import a.json /none/d"), "run||");
    EXPECT_EQ(parse("--version"), "0|quorlin 0.2.0\n|");
    const std::string help = "0|Fills a window, frame after frame, with a fragment shader you "
                             "write.\nUsage: quorlin [OPTIONS] [SHADER_DIR]\n";
    EXPECT_EQ(parse("--help").rfind(help, 0), 0u);
    // Value names and ranges in words, never the library's type strings.
    const std::string shown = parse("--help");
    for (const char *raw : {"INT", "FLOAT", "TEXT", " in ["})
        EXPECT_EQ(shown.find(raw), std::string::npos) << raw;
    for (const char *named :
         {"--frames N ", "--time T ", "--view N ", "--size WxH ", "from 0 to 5"})
        EXPECT_NE(shown.find(named), std::string::npos) << named;
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
        {"--output - --rate 30", "-", "", 30, 0, true},
        {"--state-out s --frames 2", "", "", 60, 2, true},
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
                             f.viewerFragment + ' ' + f.common + ' ' + f.sound);
    EXPECT_EQ(paths.str(), "d/VertexShader.vs d/TextureViewer.vs.vert d/Image.frag d/BufferA.fs "
                           "d/BufferB.fs d/BufferC.fs d/BufferD.fs d/TextureViewer.fs.frag "
                           "d/common.incl d/Sound.fs");
    for (std::string path; paths >> path;)
        EXPECT_TRUE(isShaderFileName(path.substr(2))) << path;
    EXPECT_FALSE(isShaderFileName("Image.fra") || isShaderFileName("BufferE.fs"));
    EXPECT_EQ(defaultShaderDir(shaderRootOf("/a/build")) + defaultShaderDir(shaderRootOf("/")),
              "/a/Shaders//Shaders");
    EXPECT_EQ(std::string(standardTag(202002L).data()) + kStandardTag.data(), "C++20C++17");
}

TEST(FixedClockDate, CountsFrom2000InTheGregorianCalendar) {
    const struct {
        double seconds;
        DateValue date;
    } cases[] = {
        {0.0, {2000, 0, 1, 0}},
        {59 * 86400.0 + 3661.5, {2000, 1, 29, 3661.5}}, // the leap day of a year divisible by 400
        {366 * 86400.0, {2001, 0, 1, 0}},
        {-0.25, {1999, 11, 31, 86399.75}},
        {(365 * 100 + 25 + 59) * 86400.0, {2100, 2, 1, 0}}, // 2100 has no leap day
    };
    for (const auto &c : cases)
        EXPECT_EQ(dateAfter2000(c.seconds), c.date) << c.seconds;
    EXPECT_EQ(frameDate(false, true, 5.0), DateValue{});
}

TEST(LocatedLines, OneTableOfDriverLines) {
    const std::string include = "1\n2\n3\n4\n", file = std::string(95, '\n') + "#line 500\n";
    const StageOrigin fragment = stageOrigin("", "s/common.incl", include, "s/Image.frag", file),
                      joined =
                          stageOrigin("", "s/common.incl", include + "four", "s/Image.frag", "x"),
                      vertex = stageOrigin("", "", "", "s/VertexShader.vs", "a\nb\nc\n"),
                      generated =
                          stageOrigin("h1\nh2\n", "s/common.incl", include, "s/Image.frag", "y");
    const struct {
        const StageOrigin &origin;
        const char *log, *located; // "": none
    } cases[] = {
        {fragment, "0:36(12): error: `x' undeclared", "s/Image.frag:32:12: error: `x' undeclared"},
        {fragment, "0:3(1): preprocessor error: #if with no expression",
         "s/common.incl:3:1: error: #if with no expression"},
        {fragment, "0:6(3): warning: extension unsupported: 1",
         "s/Image.frag:2:3: warning: "
         "extension unsupported: 1"},
        {fragment, "0(7) : error C0000: syntax error, unexpected ';'",
         "s/Image.frag:3: error: syntax error, unexpected ';'"},
        {fragment, "0(7) : warning C7050: \"c\" might be used",
         "s/Image.frag:3: warning: \"c\" "
         "might be used"},
        {fragment, "ERROR: 0:8: 'x' : undeclared identifier",
         "s/Image.frag:4: error: 'x' : undeclared identifier"},
        {fragment, "WARNING: 0:99: a", "s/Image.frag:95: warning: a"},
        {fragment, "0:100(1): error: after the #line directive", ""},
        {fragment, "0:0(0): error: no line", ""},
        {fragment, "1:12(1): error: another source string", ""},
        {fragment, "0:12(1): info: not an error", ""},
        {fragment, "error: linking with uncompiled shader", ""},
        {joined, "0:5(7): error: m", "s/Image.frag:1:3: error: m"},
        {joined, "0:5(4): error: m", "s/common.incl:5:4: error: m"},
        {joined, "0:5: error: m", ""},
        {joined, "0(5) : error C1: m", "s/Image.frag:1: error: m"},
        {joined, "0:6(1): error: appended", ""},
        {vertex, "0:3(5): error: m", "s/VertexShader.vs:3:5: error: m"},
        {vertex, "0:4(5): error: appended", ""},
        {generated, "0:2(1): error: in the header", ""},
        {generated, "0:3(1): error: m", "s/common.incl:1:1: error: m"},
        {generated, "0:7(2): error: m", "s/Image.frag:1:2: error: m"},
    };
    for (const auto &c : cases) {
        const std::vector<std::string> lines = locatedLines(c.log, c.origin, false);
        EXPECT_EQ(lines.empty() ? "" : lines[0], c.located) << c.log;
    }
    EXPECT_EQ(failureLines("\n  \nerror: a\n\nb\n", vertex),
              (std::vector<std::string>{"error: a", "b"}));
    EXPECT_EQ(failureLines("0:1(2): error: m\nnot located\n", vertex)[0],
              "VertexShader.vs:1:2: error: m");
}

} // namespace

// Found by fuzzing: decoded one after another in one process, stb_image's
// JPEG decoder dies on these. Decoded apart, each costs a reason at most.
TEST(Images, ADecoderThatDiesCostsOnlyTheImage) {
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(QUORLIN_DECODER_CRASHES))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    constexpr int kMaxSide = 16384;
    for (const auto &file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
        DecodedImage image;
        const std::string reason = decodeApart(bytes.data(), bytes.size(), kMaxSide, true, image);
        EXPECT_EQ(reason.empty(), image.pixels != nullptr) << file << ": " << reason;
    }
}
