// The parameters' pure logic: declarations found in a source, values given
// and fitted to a type, params.toml read and written.
#include "params/params_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::string describe(const ParamDeclaration &d) {
    std::ostringstream out;
    out << d.name << ' ' << typeName(d.type) << ' ';
    for (int i = 0; i < componentCount(d.type); ++i)
        out << d.initial[static_cast<std::size_t>(i)]
            << (i + 1 < componentCount(d.type) ? "," : "");
    out << ' ' << d.min << ".." << d.max << " step " << d.step << ' '
        << static_cast<int>(d.control);
    return out.str();
}

std::string fit(const std::string &declaration, const std::string &setting, bool osc = false) {
    const ParamDeclaration d = scanDeclarations(declaration).at(0);
    std::string name;
    GivenValue given;
    ParamValue value{};
    const std::string problem = parseSetting(setting, name, given);
    if (!problem.empty())
        return problem;
    const std::string misfit = fitValue(d, given, value, osc);
    return misfit.empty() ? std::to_string(value[0]) + " " + std::to_string(value[2]) : misfit;
}

// In a directory of its own: other checkouts run this test on the same machine.
struct Scratch {
    std::string dir = testing::TempDir() + "params-XXXXXX";
    Scratch() { mkdtemp(dir.data()); }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::string file(const std::string &text) const {
        std::ofstream(dir + "/params.toml") << text;
        return dir + "/params.toml";
    }
};

} // namespace

TEST(Parameters, DeclarationsTheirCommentsAndDefaultRanges) {
    const std::string source =
        std::string("uniform float speed = 1.5;\n"
                    "uniform float gain = -0.25; // the gain, in prose\n"
                    "  uniform highp int count = 0x10; // 0 100\n"
                    "uniform int steps=3;\n"
                    "uniform bool on = true; // 0 1\n"
                    "uniform vec2 centre = vec2(400.0, 300.0); // xy\n"
                    "uniform vec3 tint = vec3(.5); // color\n"
                    "uniform vec4 mixed = vec4(1, -2, 0.5, 1.0f); // 0 10 step 0.5\n"
                    "uniform float quiet = 1e-1; // step 0.1\n"
                    "uniform vec2 notColour = vec2(1, 2); // color\n"
                    "uniform float upsideDown = 1.0; // 5 1\n"
                    "uniform vec3 short = vec3(1.0, 2.0);\n"
                    "uniform vec3 wrongType = vec2(1.0, 2.0);\n"
                    "uniform float sum = 1.0 + 2.0;\n"
                    "uniform float plain;\n"
                    "/* uniform float commented = 1.0;\n"
                    "   uniform float stillCommented = 1.0; */\n"
                    "float notUniform = 1.0;\n"
                    "uniform float tooLong = 1.0; // ") +
        std::string(100000, ' ') + "\n";
    std::vector<std::string> found;
    for (const ParamDeclaration &d : scanDeclarations(source))
        found.push_back(describe(d));
    const std::vector<std::string> expected = {
        "speed float 1.5 0..3 step 0 0",
        "gain float -0.25 -0.5..0.5 step 0 0",
        "count int 16 0..100 step 1 0",
        "steps int 3 0..6 step 1 0",
        "on bool 1 0..1 step 0 0",
        "centre vec2 400,300 0..800 step 0 2",
        "tint vec3 0.5,0.5,0.5 0..1 step 0 1",
        "mixed vec4 1,-2,0.5,1 0..10 step 0.5 0",
        "quiet float 0.1 0..1 step 0.1 0",
        "notColour vec2 1,2 0..4 step 0 0",
        "upsideDown float 1 0..2 step 0 0",
    };
    EXPECT_EQ(found, expected);
}

TEST(Parameters, GivenValuesFitTheirType) {
    const char *cases[][4] = {
        // declaration, --set, as given on the command line, as given by OSC
        {"uniform vec3 t = vec3(0);", "t=1,0.5,0.25", "1.000000 0.250000", "1.000000 0.250000"},
        {"uniform vec3 t = vec3(0);", "t=1,2", "t is a vec3: give 3 numbers",
         "t is a vec3: give 3 numbers"},
        {"uniform int n = 0;", "n=2.5", "n is an int: give a whole number", "3.000000 0.000000"},
        {"uniform int n = 0;", "n=-7", "-7.000000 0.000000", "-7.000000 0.000000"},
        {"uniform bool b = false;", "b=true", "1.000000 0.000000", "1.000000 0.000000"},
        {"uniform bool b = true;", "b=0", "b is a bool: give true or false", "0.000000 0.000000"},
        {"uniform float f = 0.0;", "f=true", "f is a float: give a number",
         "f is a float: give a number"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(fit(c[0], c[1]), c[2]) << c[1];
        EXPECT_EQ(fit(c[0], c[1], true), c[3]) << c[1];
    }
}

TEST(Parameters, ParamsFileReadsWhatItWritesAndNamesWhereItIsBroken) {
    std::vector<Parameter> list;
    for (const ParamDeclaration &d :
         scanDeclarations("uniform float f = 0.1;\n"
                          "uniform int n = -3;\n"
                          "uniform bool b = true;\n"
                          "uniform vec3 t = vec3(0.2, 1e-7, 123456.7);\n"))
        list.push_back({d, d.initial, ParamOrigin::kInitialiser});
    const Scratch scratch;
    const std::string path = scratch.file("old");
    ASSERT_EQ(writeParamsFile(path, list), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir), {}),
              1); // renamed over
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), "b = true\nf = 0.1\nn = -3\nt = [ 0.2, 1e-07, 123457.0 ]\n");
    std::vector<SavedValue> saved;
    ASSERT_EQ(readParamsFile(path, saved), "");
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[3].name + std::to_string(saved[3].line) + std::to_string(saved[3].column),
              "t45");
    EXPECT_EQ(saved[3].value.components, (ParamValue{0.2f, 1e-7f, 123457.0f, 0.0f}));
    EXPECT_EQ(saved[0].value.boolean, true);

    const char *broken[][2] = {
        {"a = 1\nb = \"x\"", "params.toml:2:5: b is not a number, true, false or an array of 2 to "
                             "4 numbers"},
        {"a = [1, 2, 3, 4, 5]", "params.toml:1:5: a is not a number, true, false or an array of "
                                "2 to 4 numbers"},
        {"a = [1]",
         "params.toml:1:5: a is not a number, true, false or an array of 2 to 4 numbers"},
        {"[a]\nb = 1", "params.toml:1:1: a is not a number, true, false or an array of 2 to 4 "
                       "numbers"},
        {"a = 1\na = 2", "params.toml:2:5: Error while parsing key-value pair: cannot redefine "
                         "existing integer 'a'"},
        {"a = [1, 2,\n", "params.toml:1:12: Error while parsing array: encountered end-of-file"},
    };
    for (const auto &b : broken)
        EXPECT_EQ(readParamsFile(scratch.file(b[0]), saved), b[1]) << b[0];
    EXPECT_EQ(readParamsFile(scratch.dir + "/none.toml", saved), "");
    EXPECT_TRUE(saved.empty());
}
