// The Y'CbCr pass: one draw with an output a plane (or a half of the luma
// plane), and one read an output.
#include "output/frame_convert.h"

#include "render/fixed_program.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

// BT.709's luma weights of red and blue; green's make up the rest.
constexpr float kRedLuma = 0.2126f;
constexpr float kBlueLuma = 0.0722f;
constexpr float kGreenLuma = 1.0f - kRedLuma - kBlueLuma;
// Limited range: Y' from 16 to 235, Cb and Cr from 16 to 240 around 128.
constexpr float kLumaSpan = 219.0f / 255.0f;
constexpr float kLumaFloor = 16.0f / 255.0f;
constexpr float kChromaSpan = 224.0f / 255.0f;
constexpr float kChromaMiddle = 128.0f / 255.0f;
constexpr float kBlueScale = kChromaSpan / (2.0f * (1.0f - kBlueLuma));
constexpr float kRedScale = kChromaSpan / (2.0f * (1.0f - kRedLuma));

// Weights of red, green and blue, then the offset.
constexpr std::array<float, 4> kLumaWeight = {kLumaSpan * kRedLuma, kLumaSpan *kGreenLuma,
                                              kLumaSpan *kBlueLuma, kLumaFloor};
constexpr std::array<float, 4> kBlueWeight = {-kBlueScale * kRedLuma, -kBlueScale *kGreenLuma,
                                              kBlueScale *(1.0f - kBlueLuma), kChromaMiddle};
constexpr std::array<float, 4> kRedWeight = {kRedScale * (1.0f - kRedLuma), -kRedScale *kGreenLuma,
                                             -kRedScale *kBlueLuma, kChromaMiddle};

constexpr GLint kFrameUnit = 0;

// One triangle over the whole viewport.
const char *const kVertexSource = R"(#version 330 core
void main()
{
    gl_Position = vec4(vec2(gl_VertexID & 1, gl_VertexID >> 1) * 4.0 - 1.0, 0.0, 1.0);
}
)";

// Each pixel of the frame is fetched once. The pass's rows count up and are
// read back first to last, so its first row is the picture's top one: the
// frame is fetched from its top down, wherever its top is kept. Past the
// frame's last column or row (an odd side made even) it repeats them. The
// frame's size, its order and the weights are constants written in front,
// which llvmpipe turns into code twice as fast as the same from uniforms.
const char *const kFragmentBody = R"(
uniform sampler2D frame;

vec3 pixel(ivec2 at)
{
    ivec2 inside = min(at, last);
    return texelFetch(frame, ivec2(inside.x, topDown ? inside.y : last.y - inside.y), 0).rgb;
}

float weigh(vec3 colour, vec4 weight)
{
    return dot(colour, weight.rgb) + weight.a;
}

#ifdef HALF_CHROMA
layout(location = 0) out vec2 upperLuma;
layout(location = 1) out vec2 lowerLuma;
layout(location = 2) out float cb;
layout(location = 3) out float cr;
void main()
{
    ivec2 at = ivec2(gl_FragCoord.xy) * 2;
    vec3 a = pixel(at), b = pixel(at + ivec2(1, 0));
    vec3 c = pixel(at + ivec2(0, 1)), d = pixel(at + ivec2(1, 1));
    upperLuma = vec2(weigh(a, luma), weigh(b, luma));
    lowerLuma = vec2(weigh(c, luma), weigh(d, luma));
    vec3 mean = (a + b + c + d) * 0.25;
    cb = weigh(mean, blue);
    cr = weigh(mean, red);
}
#else
layout(location = 0) out float y;
layout(location = 1) out float cb;
layout(location = 2) out float cr;
void main()
{
    vec3 colour = pixel(ivec2(gl_FragCoord.xy));
    y = weigh(colour, luma);
    cb = weigh(colour, blue);
    cr = weigh(colour, red);
}
#endif
)";

struct Output {
    GLenum internalFormat;
    GLenum format;
};

GLuint createOutput(const Output &output, glm::ivec2 size, GLenum attachment) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, output.internalFormat, size.x, size.y, 0, output.format,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture, 0);
    return texture;
}

std::string vec4Constant(const char *name, const std::array<float, 4> &value) {
    char text[160];
    std::snprintf(text, sizeof(text), "const vec4 %s = vec4(%.9g, %.9g, %.9g, %.9g);\n", name,
                  value[0], value[1], value[2], value[3]);
    return text;
}

std::string fragmentSource(glm::ivec2 frameSize, bool half, bool topDown) {
    return std::string("#version 330 core\n") + (half ? "#define HALF_CHROMA\n" : "") +
           "const ivec2 last = ivec2(" + std::to_string(frameSize.x - 1) + ", " +
           std::to_string(frameSize.y - 1) + ");\n" +
           "const bool topDown = " + (topDown ? "true" : "false") + ";\n" +
           vec4Constant("luma", kLumaWeight) + vec4Constant("blue", kBlueWeight) +
           vec4Constant("red", kRedWeight) + kFragmentBody;
}

} // namespace

std::size_t convertedBytes(glm::ivec2 frameSize, Chroma chroma) {
    if (chroma == Chroma::kFull)
        return 3 * static_cast<std::size_t>(frameSize.x) * frameSize.y;
    const glm::ivec2 half = (frameSize + frameSize % 2) / 2;
    return 6 * static_cast<std::size_t>(half.x) * half.y;
}

FrameConverter createFrameConverter(glm::ivec2 frameSize, Chroma chroma, bool topDown) {
    FrameConverter converter{};
    const bool half = chroma == Chroma::kHalf;
    converter.size = half ? frameSize + frameSize % 2 : frameSize;
    converter.passSize = half ? converter.size / 2 : converter.size;
    const std::size_t lumaBytes = static_cast<std::size_t>(converter.size.x) * converter.size.y;
    const std::size_t chromaBytes =
        static_cast<std::size_t>(converter.passSize.x) * converter.passSize.y;
    // 4:2:0's luma comes in two halves, the block's upper and lower rows,
    // each read with every other row of the plane skipped.
    const std::vector<Output> outputs =
        half ? std::vector<Output>{{GL_RG8, GL_RG},
                                   {GL_RG8, GL_RG},
                                   {GL_R8, GL_RED},
                                   {GL_R8, GL_RED}}
             : std::vector<Output>{{GL_R8, GL_RED}, {GL_R8, GL_RED}, {GL_R8, GL_RED}};
    converter.reads =
        half ? std::vector<PlaneRead>{{GL_COLOR_ATTACHMENT0, GL_RG, converter.size.x, 0},
                                      {GL_COLOR_ATTACHMENT1, GL_RG, converter.size.x,
                                       static_cast<std::size_t>(converter.size.x)},
                                      {GL_COLOR_ATTACHMENT2, GL_RED, 0, lumaBytes},
                                      {GL_COLOR_ATTACHMENT3, GL_RED, 0, lumaBytes + chromaBytes}}
             : std::vector<PlaneRead>{{GL_COLOR_ATTACHMENT0, GL_RED, 0, 0},
                                      {GL_COLOR_ATTACHMENT1, GL_RED, 0, lumaBytes},
                                      {GL_COLOR_ATTACHMENT2, GL_RED, 0, lumaBytes + chromaBytes}};

    const std::string fragment = fragmentSource(frameSize, half, topDown);
    converter.program = createFixedProgram(kVertexSource, fragment.c_str());
    glUseProgram(converter.program);
    glUniform1i(glGetUniformLocation(converter.program, "frame"), kFrameUnit);
    glGenVertexArrays(1, &converter.vertexArray);

    glGenFramebuffers(1, &converter.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, converter.framebuffer);
    std::vector<GLenum> attachments;
    for (const Output &output : outputs) {
        attachments.push_back(GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(attachments.size()));
        converter.outputs.push_back(createOutput(output, converter.passSize, attachments.back()));
    }
    glDrawBuffers(static_cast<GLsizei>(attachments.size()), attachments.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    return converter;
}

void convertFrame(const FrameConverter &converter, GLuint texture) {
    glBindFramebuffer(GL_FRAMEBUFFER, converter.framebuffer);
    glViewport(0, 0, converter.passSize.x, converter.passSize.y);
    glUseProgram(converter.program);
    glBindVertexArray(converter.vertexArray);
    glActiveTexture(GL_TEXTURE0 + kFrameUnit);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

void readPlanes(const FrameConverter &converter) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, converter.framebuffer);
    for (const PlaneRead &read : converter.reads) {
        glReadBuffer(read.attachment);
        glPixelStorei(GL_PACK_ROW_LENGTH, read.rowLength);
        glReadPixels(0, 0, converter.passSize.x, converter.passSize.y, read.format,
                     GL_UNSIGNED_BYTE, reinterpret_cast<void *>(read.offset));
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

void deleteFrameConverter(const FrameConverter &converter) {
    glDeleteProgram(converter.program);
    glDeleteVertexArrays(1, &converter.vertexArray);
    glDeleteFramebuffers(1, &converter.framebuffer);
    glDeleteTextures(static_cast<GLsizei>(converter.outputs.size()), converter.outputs.data());
}
