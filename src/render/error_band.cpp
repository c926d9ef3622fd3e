// The error band: stb_easy_font's quads, as triangles in window pixels
// turned to clip space on the CPU, so the program needs no uniform.
#include "render/error_band.h"

#include "render/fixed_program.h"
#include "shader/error_lines.h"

#include <stb_easy_font.h>

#include <algorithm>
#include <cstddef>

namespace {

constexpr float kScale = 2.0f;             // twice the font's own size
constexpr float kLineHeight = 12.0f;       // the font's line advance
constexpr float kPadding = 8.0f;           // window pixels around the text
constexpr int kFontVertexBytes = 16;       // x, y, z as floats, then four colour bytes
constexpr int kFontBytesPerChar = 64 * 12; // the widest glyph has fewer than 12 quads
constexpr int kFloatsPerVertex = 3;        // clip x, y and ink: 0 band, 1 text
constexpr char kFirstGlyph = ' ';
constexpr char kLastGlyph = '~';

const char *const kVertexSource = R"(#version 330 core
layout (location = 0) in vec3 corner;
out float ink;
void main()
{
    ink = corner.z;
    gl_Position = vec4(corner.xy, 0.0, 1.0);
}
)";

const char *const kFragmentSource = R"(#version 330 core
in float ink;
out vec4 colour;
void main()
{
    colour = mix(vec4(0.1, 0.07, 0.08, 1.0), vec4(1.0, 0.62, 0.55, 1.0), ink);
}
)";

// The font has glyphs for printable ASCII only.
std::string printable(const std::string &line) {
    std::string text = line;
    for (char &c : text)
        if (c < kFirstGlyph || c > kLastGlyph)
            c = c == '\t' ? ' ' : '?';
    return text;
}

// The longest start of text that fits in width font units.
std::string cut(std::string text, float width) {
    while (!text.empty() && stb_easy_font_width(text.data()) > width)
        text.pop_back();
    return text;
}

void addCorner(std::vector<float> &out, float x, float y, float ink, glm::ivec2 size) {
    out.push_back(x / static_cast<float>(size.x) * 2.0f - 1.0f);
    out.push_back(1.0f - y / static_cast<float>(size.y) * 2.0f);
    out.push_back(ink);
}

// Two triangles; window pixels counted down from the top.
void addRectangle(std::vector<float> &out, const float (&edges)[4], float ink, glm::ivec2 size) {
    const float left = edges[0], top = edges[1], right = edges[2], bottom = edges[3];
    const float xs[6] = {left, right, right, left, right, left};
    const float ys[6] = {top, top, bottom, top, bottom, bottom};
    for (int i = 0; i < 6; ++i)
        addCorner(out, xs[i], ys[i], ink, size);
}

void layOut(ErrorBand &band, glm::ivec2 size) {
    band.vertices.clear();
    const std::size_t count = std::min(band.lines.size(), kFailureLines);
    const float height = 2.0f * kPadding + static_cast<float>(count) * kLineHeight * kScale;
    const float top = static_cast<float>(size.y) - height;
    const float whole[4] = {0.0f, top, static_cast<float>(size.x), static_cast<float>(size.y)};
    addRectangle(band.vertices, whole, 0.0f, size);
    std::vector<char> quads;
    for (std::size_t n = 0; n < count; ++n) {
        std::string text =
            cut(printable(band.lines[n]), (static_cast<float>(size.x) - 2.0f * kPadding) / kScale);
        quads.resize(text.size() * kFontBytesPerChar + 1);
        const int made = stb_easy_font_print(0.0f, 0.0f, text.data(), nullptr, quads.data(),
                                             static_cast<int>(quads.size()));
        const float left = kPadding;
        const float lineTop = top + kPadding + static_cast<float>(n) * kLineHeight * kScale;
        for (int q = 0; q < made; ++q) {
            const auto *corner =
                reinterpret_cast<const float *>(quads.data() + q * 4 * kFontVertexBytes);
            // Corners 0 and 2 of a quad are opposite.
            const float *far = corner + 2 * kFontVertexBytes / sizeof(float);
            const float rectangle[4] = {left + corner[0] * kScale, lineTop + corner[1] * kScale,
                                        left + far[0] * kScale, lineTop + far[1] * kScale};
            addRectangle(band.vertices, rectangle, 1.0f, size);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, band.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(band.vertices.size() * sizeof(float)),
                 band.vertices.data(), GL_DYNAMIC_DRAW);
    band.laidOutFor = size;
}

} // namespace

bool showErrorBand(ErrorBand &band, const std::vector<std::string> &lines) {
    if (lines == band.lines)
        return false;
    if (band.program == 0 && !lines.empty()) {
        band.program = createFixedProgram(kVertexSource, kFragmentSource);
        glGenVertexArrays(1, &band.vao);
        glGenBuffers(1, &band.vbo);
        glBindVertexArray(band.vao);
        glBindBuffer(GL_ARRAY_BUFFER, band.vbo);
        glVertexAttribPointer(0, kFloatsPerVertex, GL_FLOAT, GL_FALSE,
                              kFloatsPerVertex * sizeof(float), nullptr);
        glEnableVertexAttribArray(0);
    }
    band.lines = lines;
    band.laidOutFor = {0, 0};
    return true;
}

void drawErrorBand(ErrorBand &band, glm::ivec2 windowSize) {
    if (windowSize != band.laidOutFor)
        layOut(band, windowSize);
    glUseProgram(band.program);
    glBindVertexArray(band.vao);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(band.vertices.size() / kFloatsPerVertex));
    // A program that failed to link leaves the bound one drawing the next
    // frame's image: let that be none, as without the band.
    glBindVertexArray(0);
    glUseProgram(0);
}

void deleteErrorBand(const ErrorBand &band) {
    if (band.program == 0)
        return;
    glDeleteVertexArrays(1, &band.vao);
    glDeleteBuffers(1, &band.vbo);
    glDeleteProgram(band.program);
}
