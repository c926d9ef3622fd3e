// Fragment source composition. The scan is lexical: comments are blanked and
// braces and parentheses counted, which is enough to tell a function's name
// or a global declaration from the rest without a GLSL parser.
#include "shader/compose.h"

#include "shader/sound_main.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <vector>

namespace {

// Used only when the source declares no colour output of its own.
const char *const kOwnOutput = "quorlinFragColor";
const char *const kImageEntry = "mainImage";
const char *const kCubeEntry = "mainCubemap";
const char *const kSoundEntry = "mainSound";
// For each face of a cube map, in GL's order (+X, -X, +Y, -Y, +Z, -Z), the
// directions in which its s and t grow and the face's own, as columns: from
// the cube map's table, so that a direction made of them reads that very
// texel.
const char *const kCubeFaces =
    "const mat3 quorlinFaces[6] = mat3[6](\n"
    "    mat3(0, 0, -1, 0, -1, 0, 1, 0, 0), mat3(0, 0, 1, 0, -1, 0, -1, 0, 0),\n"
    "    mat3(1, 0, 0, 0, 0, 1, 0, 1, 0), mat3(1, 0, 0, 0, 0, -1, 0, -1, 0),\n"
    "    mat3(1, 0, 0, 0, -1, 0, 0, 0, 1), mat3(-1, 0, 0, 0, -1, 0, 0, 0, -1));\n";
const char *const kGeneratedHead = "#version 330 core\n"
                                   "uniform vec3 iResolution;\n"
                                   "uniform float iTime;\n"
                                   "uniform float iTimeDelta;\n"
                                   "uniform int iFrame;\n"
                                   "uniform float iFrameRate;\n"
                                   "uniform float iChannelTime[4];\n"
                                   "uniform vec3 iChannelResolution[4];\n"
                                   "uniform vec4 iMouse;\n"
                                   "uniform vec4 iDate;\n"
                                   "uniform float iSampleRate;\n";

// Comments become spaces, line ends kept, so positions keep their meaning.
std::string withoutComments(const std::string &text) {
    std::string out = text;
    for (std::size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] != '/' || (out[i + 1] != '/' && out[i + 1] != '*'))
            continue;
        const bool line = out[i + 1] == '/';
        std::size_t end = out.find(line ? "\n" : "*/", i + 2);
        end = end == std::string::npos ? out.size() : end + (line ? 0 : 2);
        for (std::size_t j = i; j < end; ++j)
            if (out[j] != '\n')
                out[j] = ' ';
        i = end - 1;
    }
    return out;
}

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The identifiers and single punctuation characters of text, in order.
template <typename Visit> void forEachToken(const std::string &text, Visit visit) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i + 1;
        if (isNameChar(text[i]))
            while (end < text.size() && isNameChar(text[end]))
                ++end;
        if (!std::isspace(static_cast<unsigned char>(text[i])))
            visit(text.substr(i, end - i));
        i = end;
    }
}

// Whether name is followed by an opening parenthesis anywhere: GLSL has no
// recursion, so for main or mainImage that is a declaration or definition.
bool namesFunction(const std::string &text, const std::string &name) {
    bool previousIsName = false;
    bool found = false;
    forEachToken(text, [&](const std::string &token) {
        found = found || (previousIsName && token == "(");
        previousIsName = token == name;
    });
    return found;
}

bool isQualifier(const std::string &token) {
    return token == "highp" || token == "mediump" || token == "lowp" || token == "flat" ||
           token == "smooth" || token == "noperspective" || token == "invariant";
}

// The first "out [qualifiers] vec4 NAME" outside braces and parentheses, so
// that mainImage's own out parameter is not taken for it.
std::string colourOutput(const std::string &text) {
    int depth = 0;
    int step = 0; // 0: looking for out; 1: for vec4; 2: for the name
    std::string found;
    forEachToken(text, [&](const std::string &token) {
        if (token == "{" || token == "(")
            ++depth;
        else if (token == "}" || token == ")")
            --depth;
        if (!found.empty() || depth != 0)
            return;
        if (step == 2 && isNameChar(token[0]))
            found = token;
        else if (step == 1 && token == "vec4")
            step = 2;
        else if (!(step == 1 && isQualifier(token)))
            step = token == "out" ? 1 : 0;
    });
    return found;
}

} // namespace

std::string composeFragment(const std::string &header, const std::string &common,
                            const std::string &file) {
    std::string source = header + common + file;
    // Most files name none of the entry points: spare them the scan. The
    // first one a file defines, in this order, is the one its main calls.
    const char *entry = nullptr;
    std::string own;
    for (const char *candidate : {kImageEntry, kCubeEntry, kSoundEntry}) {
        if (file.find(candidate) == std::string::npos)
            continue;
        if (own.empty())
            own = withoutComments(file);
        if (namesFunction(own, candidate)) {
            entry = candidate;
            break;
        }
    }
    if (entry == nullptr)
        return source;
    const std::string code = withoutComments(source);
    if (namesFunction(code, "main"))
        return source;
    std::string output = colourOutput(code);
    // A line of its own, even after a file that ends without a line end.
    source += '\n';
    if (output.empty()) {
        output = kOwnOutput;
        source += "out vec4 " + output + ";\n";
    }
    if (entry == kImageEntry)
        return source + "void main() { mainImage(" + output + ", gl_FragCoord.xy); }\n";
    if (entry == kCubeEntry)
        return source + "uniform int " + kCubeFaceUniform + ";\n" + kCubeFaces +
               "void main() {\n"
               "    vec2 st = gl_FragCoord.xy * (2.0 / " +
               std::to_string(kCubeFaceSize) + ".0) - 1.0;\n    mainCubemap(" + output +
               ", gl_FragCoord.xy, vec3(0.0), quorlinFaces[" + kCubeFaceUniform +
               "] * vec3(st, 1.0));\n}\n";
    // One fragment a sample, row after row of a block.
    return source + "uniform ivec2 " + kSoundBlock + ";\nuniform float " + kSoundRate +
           ";\nvoid main() { int s = " + kSoundBlock + ".x + int(gl_FragCoord.y) * " + kSoundBlock +
           ".y + int(gl_FragCoord.x); " + output + " = vec4(mainSound(s, float(s) / " + kSoundRate +
           "), 0.0, 1.0); }\n";
}

bool declaresVersion(const std::string &text) {
    // Most files never name it: spare them the scan.
    if (text.find("version") == std::string::npos)
        return false;
    const std::string code = withoutComments(text);
    for (std::size_t at = 0; at < code.size();) {
        const std::size_t end = std::min(code.find('\n', at), code.size());
        std::vector<std::string> tokens;
        forEachToken(code.substr(at, end - at), [&](const std::string &token) {
            if (tokens.size() < 2)
                tokens.push_back(token);
        });
        if (tokens.size() == 2 && tokens[0] == "#" && tokens[1] == "version")
            return true;
        at = end + 1;
    }
    return false;
}

std::string generatedHeader(const std::array<GLenum, 4> &channels) {
    std::string header = kGeneratedHead;
    for (std::size_t n = 0; n < channels.size(); ++n)
        header += std::string("uniform ") +
                  (channels[n] == GL_TEXTURE_CUBE_MAP ? "samplerCube" : "sampler2D") + " iChannel" +
                  std::to_string(n) + ";\n";
    return header;
}
