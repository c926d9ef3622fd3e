// Shader: reading and composing the files, the GL call sequence, the read,
// compile and link reports byte for byte, and the uniform setters.
#include "output_capture.h"
#include "recording_gl.h"
#include "shader/Shader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Status = RecordingGl::Status;

const std::string kReadError = "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: ";
// Line end, blank, 2 hyphens, blank, 51 hyphens, blank, 2 hyphens, blank.
const std::string kClosing = "\n -- " + std::string(51, '-') + " -- \n";

std::string compileReport(const std::string &type, const std::string &log) {
    return "ERROR::SHADER_COMPILATION_ERROR of type: " + type + "\n" + log + kClosing;
}
std::string linkReport(const std::string &log) {
    return "ERROR::PROGRAM_LINKING_ERROR of type: PROGRAM\n" + log + kClosing;
}

// The explanation the standard library gives when opening a missing file on a
// stream that raises on failbit, as the constructor's streams do.
std::string failedOpenExplanation() {
    std::ifstream stream;
    stream.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    try {
        stream.open("/nonexistent/quorlin/file");
    } catch (const std::ios_base::failure &failure) {
        return failure.what();
    }
    return "(the open did not fail)";
}

class ShaderTest : public ::testing::Test {
  protected:
    ShaderTest() {
        std::string pattern = (fs::temp_directory_path() / "quorlin-shader-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch directory");
        dir_ = pattern;
    }
    ~ShaderTest() override { fs::remove_all(dir_); }

    void write(const std::string &name, const std::string &bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string path(const std::string &name) const { return (dir_ / name).string(); }

    // Builds from common.incl, shader.vs and shader.fs; any of them may be absent.
    Shader build(std::string *output = nullptr) {
        CoutCapture capture;
        Shader shader(path("common.incl").c_str(), path("shader.vs").c_str(),
                      path("shader.fs").c_str());
        if (output != nullptr)
            *output = capture.text();
        return shader;
    }

    void writeValidFiles() {
        write("common.incl", "#version 330 core\n");
        write("shader.vs", "#version 330 core\nvoid main() {}\n");
        write("shader.fs", "out vec4 colour;\nvoid main() { colour = vec4(1.0); }\n");
    }

    RecordingGl gl;

  private:
    fs::path dir_;
};

TEST_F(ShaderTest, ConstructorCallsGlInOrderFetchingLogsOnlyForFailures) {
    const std::vector<std::string> allFail = {
        "glCreateShader(GL_VERTEX_SHADER) -> 1",
        "glShaderSource(1, 1, data, null)",
        "glCompileShader(1)",
        "glGetShaderiv(1, GL_COMPILE_STATUS, out)",
        "glGetShaderInfoLog(1, 1024, null, out)",
        "glCreateShader(GL_FRAGMENT_SHADER) -> 2",
        "glShaderSource(2, 1, data, null)",
        "glCompileShader(2)",
        "glGetShaderiv(2, GL_COMPILE_STATUS, out)",
        "glGetShaderInfoLog(2, 1024, null, out)",
        "glCreateProgram() -> 3",
        "glAttachShader(3, 1)",
        "glAttachShader(3, 2)",
        "glLinkProgram(3)",
        "glGetProgramiv(3, GL_LINK_STATUS, out)",
        "glGetProgramInfoLog(3, 1024, null, out)",
        "glDeleteShader(1)",
        "glDeleteShader(2)",
    };
    // Success takes the same path without fetching a log.
    std::vector<std::string> allSucceed;
    for (const std::string &call : allFail)
        if (call.find("InfoLog") == std::string::npos)
            allSucceed.push_back(call);
    struct Case {
        const char *label;
        Status status;
        const std::vector<std::string> &calls;
    } cases[] = {
        {"every stage and the link succeed", Status::Success, allSucceed},
        {"every stage and the link fail", Status::Failure, allFail},
        {"no status is ever written", Status::Unwritten, allFail},
    };
    writeValidFiles();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        gl.calls.clear();
        gl.next.shader = 1;
        gl.compileStatus = {{1, c.status}, {2, c.status}};
        gl.linkStatus = {{3, c.status}};
        EXPECT_EQ(build().programId, 3u);
        EXPECT_EQ(gl.calls, c.calls);
    }
}

TEST_F(ShaderTest, FragmentSourceIsTheIncludeFollowedDirectlyByTheFragmentFile) {
    struct Case {
        const char *label;
        std::optional<std::string> common; // nullopt: the include is missing
        std::string vertex, fragment, vertexSource, fragmentSource;
    } cases[] = {
        {"include, then fragment", "#version 330 core\n", "#version 330 core\nvoid main(){}\n",
         "void main(){}\n", "#version 330 core\nvoid main(){}\n",
         "#version 330 core\nvoid main(){}\n"},
        {"include without a final line end joins lines", "#version 330 core\n#define A 1", "v",
         "float x;\n", "v", "#version 330 core\n#define A 1float x;\n"},
        {"bytes pass unchanged", "a\r\n\t\\n", "b\r\n", "c\r\n", "b\r\n", "a\r\n\t\\nc\r\n"},
        {"empty include", "", "v", "f", "v", "f"},
        {"missing include reads as empty", std::nullopt, "v", "f", "v", "f"},
        {"empty vertex and fragment files", "i", "", "", "", "i"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(path("common.incl"));
        if (c.common)
            write("common.incl", *c.common);
        write("shader.vs", c.vertex);
        write("shader.fs", c.fragment);
        gl.next.shader = 1;
        std::string output;
        build(&output);
        EXPECT_EQ(gl.source[1], c.vertexSource);
        EXPECT_EQ(gl.source[2], c.fragmentSource);
        EXPECT_EQ(output, "");
    }
}

TEST_F(ShaderTest, UnreadableFileLeavesBothSourcesEmptyAndReportsOnce) {
    enum Kind { File, Missing, Directory };
    struct Case {
        const char *label;
        Kind vertex, fragment, common;
    } cases[] = {
        {"vertex file missing", Missing, File, File},
        {"fragment file missing", File, Missing, File},
        {"both missing", Missing, Missing, File},
        // A directory opens on Linux and then reads as nothing.
        {"vertex path is a directory", Directory, File, File},
        {"fragment path is a directory", File, Directory, File},
        {"include is there but is a directory", File, File, Directory},
    };
    const std::string expected = kReadError + failedOpenExplanation() + "\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        auto place = [&](const std::string &name, Kind kind, const std::string &text) {
            fs::remove_all(path(name));
            if (kind == File)
                write(name, text);
            if (kind == Directory)
                fs::create_directory(path(name));
        };
        place("shader.vs", c.vertex, "#version 330 core\nvoid main(){}\n");
        place("shader.fs", c.fragment, "void main(){}\n");
        place("common.incl", c.common, "#version 330 core\n");
        gl.calls.clear();
        gl.next.shader = 1;
        std::string output;
        build(&output);
        EXPECT_EQ(output, expected);
        EXPECT_EQ(gl.source[1], "");
        EXPECT_EQ(gl.source[2], "");
        // Both stages are still compiled, linked and released.
        EXPECT_EQ(callsNamed(gl.calls, {"glCompileShader", "glLinkProgram", "glDeleteShader"}),
                  (std::vector<std::string>{"glCompileShader(1)", "glCompileShader(2)",
                                            "glLinkProgram(3)", "glDeleteShader(1)",
                                            "glDeleteShader(2)"}));
    }
}

TEST_F(ShaderTest, CompileAndLinkFailuresPrintTheirReportsInStageOrder) {
    std::string longLog;
    for (int i = 0; longLog.size() < 3000; ++i)
        longLog += "0:" + std::to_string(i) + "(1): error: x\n";
    const std::string log1023 = longLog.substr(0, 1023), log1024 = longLog.substr(0, 1024);
    const Status fails = Status::Failure, unwritten = Status::Unwritten;
    // Objects 1 and 2 are the vertex and fragment stages, 3 the program.
    struct Outcome {
        GLuint object;
        Status status;
        std::string log;
    };
    struct Case {
        const char *label;
        std::vector<Outcome> outcomes;
        std::string output;
    } cases[] = {
        {"all succeed", {{1, Status::Success, "warning only"}}, ""},
        {"vertex fails",
         {{1, fails, "0:1(1): error: x"}},
         compileReport("VERTEX", "0:1(1): error: x")},
        {"fragment fails", {{2, fails, "0:3: error\n"}}, compileReport("FRAGMENT", "0:3: error\n")},
        {"link fails", {{3, fails, "error: no main"}}, linkReport("error: no main")},
        {"all fail, in stage order",
         {{1, fails, "v"}, {2, fails, "f"}, {3, fails, "p"}},
         compileReport("VERTEX", "v") + compileReport("FRAGMENT", "f") + linkReport("p")},
        {"empty log", {{1, fails, ""}}, compileReport("VERTEX", "")},
        {"1023 characters printed whole", {{1, fails, log1023}}, compileReport("VERTEX", log1023)},
        {"1024 characters cut to 1023", {{2, fails, log1024}}, compileReport("FRAGMENT", log1023)},
        {"long link log cut to 1023", {{3, fails, longLog}}, linkReport(log1023)},
        {"unwritten compile status: failure, empty log",
         {{1, unwritten, "x"}},
         compileReport("VERTEX", "")},
        {"unwritten link status: failure, empty log", {{3, unwritten, "x"}}, linkReport("")},
    };
    writeValidFiles();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        gl.next.shader = 1;
        gl.compileStatus.clear();
        gl.linkStatus.clear();
        gl.infoLog.clear();
        for (const Outcome &o : c.outcomes) {
            (o.object == 3 ? gl.linkStatus : gl.compileStatus)[o.object] = o.status;
            gl.infoLog[o.object] = o.log;
        }
        std::string output;
        build(&output);
        EXPECT_EQ(output, c.output);
    }
}

TEST_F(ShaderTest, OnlyTheExactLabelProgramSelectsTheLinkStatus) {
    struct Case {
        std::string label;
        std::string query;
    } cases[] = {
        {"PROGRAM", "glGetProgramiv(7, GL_LINK_STATUS, out)"},
        {"program", "glGetShaderiv(7, GL_COMPILE_STATUS, out)"},
        {"PROGRAMS", "glGetShaderiv(7, GL_COMPILE_STATUS, out)"},
        {"PROG", "glGetShaderiv(7, GL_COMPILE_STATUS, out)"},
        {"", "glGetShaderiv(7, GL_COMPILE_STATUS, out)"},
    };
    writeValidFiles();
    Shader shader = build();
    for (const Case &c : cases) {
        SCOPED_TRACE("label \"" + c.label + "\"");
        gl.calls.clear();
        shader.checkCompileErrors(7, c.label);
        EXPECT_EQ(gl.calls, std::vector<std::string>{c.query});
    }
}

TEST_F(ShaderTest, SettersLookUpTheLocationOnEveryCallAndPassValuesAsGlTakesThem) {
    struct Case {
        const char *label;
        std::function<void(Shader &, RecordingGl &)> act;
        std::vector<std::string> calls;
    } cases[] = {
        {"use", [](Shader &s, RecordingGl &) { s.use(); }, {"glUseProgram(3)"}},
        {"setFloat",
         [](Shader &s, RecordingGl &) { s.setFloat("iTime", 2.5f); },
         {"glGetUniformLocation(3, \"iTime\") -> 4", "glUniform1f(4, 2.5)"}},
        {"no location is cached between calls",
         [](Shader &s, RecordingGl &g) {
             s.setFloat("iTime", 1.0f);
             g.uniformLocation["iTime"] = 9;
             s.setFloat("iTime", 2.0f);
         },
         {"glGetUniformLocation(3, \"iTime\") -> 4", "glUniform1f(4, 1)",
          "glGetUniformLocation(3, \"iTime\") -> 9", "glUniform1f(9, 2)"}},
        {"setSampler passes the unit as an integer",
         [](Shader &s, RecordingGl &) { s.setSampler("fboAttachment", 7u); },
         {"glGetUniformLocation(3, \"fboAttachment\") -> 2", "glUniform1i(2, 7)"}},
        // Negative zero and the smallest denormal survive only if nothing converts them.
        {"setVec2 passes both floats bit for bit",
         [](Shader &s, RecordingGl &) {
             s.setVec2("iResolution", glm::vec2(-0.0f, 1.40129846e-45f));
         },
         {"glGetUniformLocation(3, \"iResolution\") -> 5", "glUniform2f(5, -0, 1.40129846e-45)"}},
        // The float nearest 0.1 is 0.100000001 and nearest 1/3 is 0.333333343;
        // truncation would give 0.099999994 and 0.333333313.
        {"setVec4 narrows each double to the nearest float",
         [](Shader &s, RecordingGl &) {
             double values[4] = {0.1, 1.0 / 3.0, -2.5, 1e10};
             s.setVec4("iMouse", values);
         },
         {"glGetUniformLocation(3, \"iMouse\") -> 6",
          "glUniform4f(6, 0.100000001, 0.333333343, -2.5, 1e+10)"}},
        {"an unknown name still sets location -1, which GL ignores",
         [](Shader &s, RecordingGl &) { s.setFloat("unused", 1.0f); },
         {"glGetUniformLocation(3, \"unused\") -> -1", "glUniform1f(-1, 1)"}},
    };
    writeValidFiles();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        gl.next.shader = 1;
        Shader shader = build();
        gl.calls.clear();
        gl.uniformLocation = {
            {"fboAttachment", 2}, {"iTime", 4}, {"iResolution", 5}, {"iMouse", 6}};
        c.act(shader, gl);
        EXPECT_EQ(gl.calls, c.calls);
    }
}

} // namespace
