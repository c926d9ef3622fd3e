// Feeds arbitrary bytes as the three shader files through the real Shader
// constructor, with the recording GL standing in for a driver, and checks the
// sources it composes and every line it prints.
#include "output_capture.h"
#include "recording_gl.h"
#include "shader/Shader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Layout of the input: one byte of switches, three files, then the info log
// the fake driver hands back for every object that fails.
enum Switch : unsigned {
    kVertexPresent = 1u << 0,
    kFragmentPresent = 1u << 1,
    kCommonPresent = 1u << 2,
    kVertexFails = 1u << 3,
    kFragmentFails = 1u << 4,
    kLinkFails = 1u << 5,
};

constexpr std::size_t kLogLimit = 1023;
constexpr GLuint kVertexShader = 1;
constexpr GLuint kFragmentShader = 2;
constexpr GLuint kProgram = 3;
const std::string kReportEnd = "\n -- --------------------------------------------------- -- \n";

const std::string &scratchDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/quorlin-fuzz-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        return std::string(made);
    }();
    return dir;
}

void place(const std::string &path, bool present, const std::string &bytes) {
    std::remove(path.c_str());
    if (present)
        std::ofstream(path, std::ios::binary) << bytes;
}

// The library's own text for a stream that fails to open, so the expected
// line is not typed by hand.
std::string openFailureText() {
    std::ifstream stream;
    stream.exceptions(std::ifstream::failbit | std::ifstream::badbit);
    try {
        stream.open(scratchDir() + "/never-there");
    } catch (const std::ios_base::failure &e) {
        return e.what();
    }
    std::abort();
}

// GL sees the sources as C strings: a NUL byte ends them.
std::string asCString(const std::string &text) {
    return text.substr(0, text.find('\0'));
}

std::string report(const std::string &heading, const std::string &type, const std::string &log) {
    return heading + type + "\n" + asCString(log.substr(0, kLogLimit)) + kReportEnd;
}

void check(bool holds, const char *what, const std::string &expected, const std::string &actual) {
    if (holds)
        return;
    std::fprintf(stderr, "%s\nexpected: [%s]\nactual:   [%s]\n", what, expected.c_str(),
                 actual.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    const unsigned switches = input.ConsumeIntegral<uint8_t>();
    const std::string vertexText = input.ConsumeRandomLengthString();
    const std::string fragmentText = input.ConsumeRandomLengthString();
    const std::string commonText = input.ConsumeRandomLengthString();
    const std::string log = input.ConsumeRemainingBytesAsString();

    const std::string vertexPath = scratchDir() + "/stage.vs";
    const std::string fragmentPath = scratchDir() + "/stage.frag";
    const std::string commonPath = scratchDir() + "/common.incl";
    place(vertexPath, switches & kVertexPresent, vertexText);
    place(fragmentPath, switches & kFragmentPresent, fragmentText);
    place(commonPath, switches & kCommonPresent, commonText);

    RecordingGl gl;
    using Status = RecordingGl::Status;
    gl.compileStatus[kVertexShader] = switches & kVertexFails ? Status::Failure : Status::Success;
    gl.compileStatus[kFragmentShader] =
        switches & kFragmentFails ? Status::Failure : Status::Success;
    gl.linkStatus[kProgram] = switches & kLinkFails ? Status::Failure : Status::Success;
    for (GLuint object : {kVertexShader, kFragmentShader, kProgram})
        gl.infoLog[object] = log;

    std::string printed;
    {
        CoutCapture capture;
        Shader shader(commonPath.c_str(), vertexPath.c_str(), fragmentPath.c_str());
        printed = capture.text();
        check(shader.programId == kProgram, "program name", std::to_string(kProgram),
              std::to_string(shader.programId));
    }

    std::string expected;
    std::string vertexSource;
    std::string fragmentSource;
    if ((switches & kVertexPresent) && (switches & kFragmentPresent)) {
        vertexSource = asCString(vertexText);
        fragmentSource = asCString((switches & kCommonPresent ? commonText : "") + fragmentText);
    } else {
        static const std::string readFailure =
            "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: " + openFailureText() + "\n";
        expected += readFailure;
    }
    if (switches & kVertexFails)
        expected += report("ERROR::SHADER_COMPILATION_ERROR of type: ", "VERTEX", log);
    if (switches & kFragmentFails)
        expected += report("ERROR::SHADER_COMPILATION_ERROR of type: ", "FRAGMENT", log);
    if (switches & kLinkFails)
        expected += report("ERROR::PROGRAM_LINKING_ERROR of type: ", "PROGRAM", log);

    check(gl.source[kVertexShader] == vertexSource, "vertex source", vertexSource,
          gl.source[kVertexShader]);
    check(gl.source[kFragmentShader] == fragmentSource, "fragment source", fragmentSource,
          gl.source[kFragmentShader]);
    check(printed == expected, "printed text", expected, printed);
    return 0;
}
