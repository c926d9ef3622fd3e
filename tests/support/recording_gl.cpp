// The recording GL: one captureless lambda per entry point the program uses,
// each recording its call on the one live RecordingGl.
#include "recording_gl.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

RecordingGl *active = nullptr;

RecordingGl &gl() {
    if (active == nullptr) {
        std::fputs("GL called with no RecordingGl alive\n", stderr);
        std::abort();
    }
    return *active;
}

// Text for arguments that are not plain numbers; record() takes them as
// ready-made strings.
std::string text(int value) {
    return std::to_string(value);
}
std::string text(unsigned value) {
    return std::to_string(value);
}
std::string text(long value) {
    return std::to_string(value);
}
std::string text(const std::string &ready) {
    return ready;
}
std::string text(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%.9g", static_cast<double>(value));
    return buffer;
}
std::string quoted(const char *value) {
    return '"' + std::string(value) + '"';
}
// An enum by its GL name.
std::string e(GLenum value) {
    return RecordingGl::enumName(value);
}
std::string boolean(GLboolean value) {
    return value ? "GL_TRUE" : "GL_FALSE";
}
// A pointer that GL reads as a byte offset into the bound buffer.
std::string offset(const void *value) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(value));
}
// Client memory that GL reads, and client memory that GL writes.
std::string data(const void *value) {
    return value ? "data" : "null";
}
std::string out(const void *value) {
    return value ? "out" : "null";
}
std::string names(GLsizei count, const GLuint *list) {
    std::string joined = "[";
    for (GLsizei i = 0; i < count; ++i)
        joined += (i ? ", " : "") + std::to_string(list[i]);
    return joined + "]";
}
std::string bits(GLbitfield mask) {
    static const std::pair<GLbitfield, const char *> kBits[] = {
        {GL_COLOR_BUFFER_BIT, "GL_COLOR_BUFFER_BIT"},
        {GL_DEPTH_BUFFER_BIT, "GL_DEPTH_BUFFER_BIT"},
        {GL_STENCIL_BUFFER_BIT, "GL_STENCIL_BUFFER_BIT"},
    };
    std::string joined;
    for (const auto &[bit, name] : kBits)
        if (mask & bit) {
            joined += (joined.empty() ? "" : " | ") + std::string(name);
            mask &= ~bit;
        }
    if (mask || joined.empty())
        joined += (joined.empty() ? "" : " | ") + e(mask);
    return joined;
}

template <typename... Args> std::string &record(const char *function, const Args &...args) {
    std::string entry = std::string(function) + "(";
    [[maybe_unused]] const char *separator = "";
    ((entry += separator, entry += text(args), separator = ", "), ...);
    gl().calls.push_back(entry + ")");
    return gl().calls.back();
}

template <typename Value>
Value valueOr(const std::map<GLuint, Value> &table, GLuint key, Value fallback) {
    auto found = table.find(key);
    return found == table.end() ? fallback : found->second;
}

void generate(const char *function, GLuint &next, GLsizei count, GLuint *made) {
    for (GLsizei i = 0; i < count; ++i)
        made[i] = next++;
    record(function, count, names(count, made));
}

GLuint create(std::string &entry) {
    GLuint name = gl().next.shader++;
    entry += " -> " + std::to_string(name);
    return name;
}

void bind(GLenum target, GLuint name) {
    gl().bindings[target] = name;
}

using Status = RecordingGl::Status;

void queryObject(const char *function, const std::map<GLuint, Status> &statuses, GLenum statusName,
                 GLuint object, GLenum pname, GLint *params) {
    record(function, object, e(pname), out(params));
    Status status = valueOr(statuses, object, Status::Success);
    if (status == Status::Unwritten)
        return;
    if (pname == statusName)
        *params = status == Status::Success ? GL_TRUE : GL_FALSE;
    if (pname == GL_INFO_LOG_LENGTH) {
        std::size_t size = valueOr(gl().infoLog, object, std::string()).size();
        *params = size ? static_cast<GLint>(size + 1) : 0;
    }
}

// GL copies at most bufSize - 1 characters and always ends them with a null.
void fetchLog(const char *function, const std::map<GLuint, Status> &statuses, GLuint object,
              GLsizei bufSize, GLsizei *length, GLchar *infoLog) {
    record(function, object, bufSize, out(length), out(infoLog));
    if (valueOr(statuses, object, Status::Success) == Status::Unwritten || bufSize <= 0)
        return;
    const std::string log = valueOr(gl().infoLog, object, std::string());
    std::size_t copied = std::min(log.size(), static_cast<std::size_t>(bufSize - 1));
    std::memcpy(infoLog, log.data(), copied);
    infoLog[copied] = '\0';
    if (length != nullptr)
        *length = static_cast<GLsizei>(copied);
}

void install() {
    // Shaders and programs.
    glad_glCreateShader = [](GLenum type) { return create(record("glCreateShader", e(type))); };
    glad_glCreateProgram = []() { return create(record("glCreateProgram")); };
    glad_glShaderSource = [](GLuint shader, GLsizei count, const GLchar *const *strings,
                             const GLint *lengths) {
        record("glShaderSource", shader, count, data(strings), data(lengths));
        std::string joined;
        for (GLsizei i = 0; i < count; ++i)
            joined += lengths != nullptr && lengths[i] >= 0 ? std::string(strings[i], lengths[i])
                                                            : std::string(strings[i]);
        gl().source[shader] = joined;
    };
    glad_glCompileShader = [](GLuint shader) { record("glCompileShader", shader); };
    glad_glGetShaderiv = [](GLuint shader, GLenum pname, GLint *params) {
        queryObject("glGetShaderiv", gl().compileStatus, GL_COMPILE_STATUS, shader, pname, params);
    };
    glad_glGetShaderInfoLog = [](GLuint shader, GLsizei bufSize, GLsizei *length, GLchar *log) {
        fetchLog("glGetShaderInfoLog", gl().compileStatus, shader, bufSize, length, log);
    };
    glad_glAttachShader = [](GLuint program, GLuint shader) {
        record("glAttachShader", program, shader);
    };
    glad_glLinkProgram = [](GLuint program) { record("glLinkProgram", program); };
    glad_glGetProgramiv = [](GLuint program, GLenum pname, GLint *params) {
        queryObject("glGetProgramiv", gl().linkStatus, GL_LINK_STATUS, program, pname, params);
    };
    glad_glGetProgramInfoLog = [](GLuint program, GLsizei bufSize, GLsizei *length, GLchar *log) {
        fetchLog("glGetProgramInfoLog", gl().linkStatus, program, bufSize, length, log);
    };
    glad_glDeleteShader = [](GLuint shader) { record("glDeleteShader", shader); };
    glad_glUseProgram = [](GLuint program) {
        record("glUseProgram", program);
        bind(GL_CURRENT_PROGRAM, program);
    };

    // Uniforms.
    glad_glGetUniformLocation = [](GLuint program, const GLchar *name) {
        auto found = gl().uniformLocation.find(name);
        GLint location = found == gl().uniformLocation.end() ? -1 : found->second;
        record("glGetUniformLocation", program, quoted(name)) += " -> " + std::to_string(location);
        return location;
    };
    glad_glUniform1f = [](GLint location, GLfloat v0) { record("glUniform1f", location, v0); };
    glad_glUniform1i = [](GLint location, GLint v0) { record("glUniform1i", location, v0); };
    glad_glUniform2f = [](GLint location, GLfloat v0, GLfloat v1) {
        record("glUniform2f", location, v0, v1);
    };
    glad_glUniform4f = [](GLint location, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3) {
        record("glUniform4f", location, v0, v1, v2, v3);
    };

    // Vertex arrays and buffers.
    glad_glGenVertexArrays = [](GLsizei n, GLuint *arrays) {
        generate("glGenVertexArrays", gl().next.vertexArray, n, arrays);
    };
    glad_glGenBuffers = [](GLsizei n, GLuint *buffers) {
        generate("glGenBuffers", gl().next.buffer, n, buffers);
    };
    glad_glBindVertexArray = [](GLuint array) {
        record("glBindVertexArray", array);
        bind(GL_VERTEX_ARRAY_BINDING, array);
    };
    glad_glBindBuffer = [](GLenum target, GLuint buffer) {
        record("glBindBuffer", e(target), buffer);
        bind(target, buffer);
    };
    glad_glBufferData = [](GLenum target, GLsizeiptr size, const void *contents, GLenum usage) {
        record("glBufferData", e(target), static_cast<long>(size), data(contents), e(usage));
        const auto *bytes = static_cast<const unsigned char *>(contents);
        gl().bufferBytes[gl().bound(target)] = contents
                                                   ? std::vector<unsigned char>(bytes, bytes + size)
                                                   : std::vector<unsigned char>();
    };
    glad_glVertexAttribPointer = [](GLuint index, GLint size, GLenum type, GLboolean normalized,
                                    GLsizei stride, const void *pointer) {
        record("glVertexAttribPointer", index, size, e(type), boolean(normalized), stride,
               offset(pointer));
    };
    glad_glEnableVertexAttribArray = [](GLuint index) {
        record("glEnableVertexAttribArray", index);
    };
    glad_glDeleteVertexArrays = [](GLsizei n, const GLuint *arrays) {
        record("glDeleteVertexArrays", n, names(n, arrays));
    };
    glad_glDeleteBuffers = [](GLsizei n, const GLuint *buffers) {
        record("glDeleteBuffers", n, names(n, buffers));
    };

    // Textures.
    glad_glGenTextures = [](GLsizei n, GLuint *textures) {
        generate("glGenTextures", gl().next.texture, n, textures);
    };
    glad_glActiveTexture = [](GLenum texture) {
        record("glActiveTexture", e(texture));
        bind(GL_ACTIVE_TEXTURE, texture);
    };
    glad_glBindTexture = [](GLenum target, GLuint texture) {
        record("glBindTexture", e(target), texture);
        bind(target, texture);
    };
    glad_glTexImage2D = [](GLenum target, GLint level, GLint internalformat, GLsizei width,
                           GLsizei height, GLint border, GLenum format, GLenum type,
                           const void *pixels) {
        record("glTexImage2D", e(target), level, e(static_cast<GLenum>(internalformat)), width,
               height, border, e(format), e(type), data(pixels));
    };
    glad_glTexParameteri = [](GLenum target, GLenum pname, GLint param) {
        record("glTexParameteri", e(target), e(pname), e(static_cast<GLenum>(param)));
    };
    glad_glGenerateMipmap = [](GLenum target) { record("glGenerateMipmap", e(target)); };
    glad_glDeleteTextures = [](GLsizei n, const GLuint *textures) {
        record("glDeleteTextures", n, names(n, textures));
    };

    // Framebuffers and renderbuffers.
    glad_glGenFramebuffers = [](GLsizei n, GLuint *framebuffers) {
        generate("glGenFramebuffers", gl().next.framebuffer, n, framebuffers);
    };
    glad_glBindFramebuffer = [](GLenum target, GLuint framebuffer) {
        record("glBindFramebuffer", e(target), framebuffer);
        bind(target, framebuffer);
    };
    glad_glFramebufferTexture2D = [](GLenum target, GLenum attachment, GLenum textarget,
                                     GLuint texture, GLint level) {
        record("glFramebufferTexture2D", e(target), e(attachment), e(textarget), texture, level);
    };
    glad_glGenRenderbuffers = [](GLsizei n, GLuint *renderbuffers) {
        generate("glGenRenderbuffers", gl().next.renderbuffer, n, renderbuffers);
    };
    glad_glBindRenderbuffer = [](GLenum target, GLuint renderbuffer) {
        record("glBindRenderbuffer", e(target), renderbuffer);
        bind(target, renderbuffer);
    };
    glad_glRenderbufferStorage = [](GLenum target, GLenum internalformat, GLsizei width,
                                    GLsizei height) {
        record("glRenderbufferStorage", e(target), e(internalformat), width, height);
    };
    glad_glFramebufferRenderbuffer = [](GLenum target, GLenum attachment, GLenum renderbuffertarget,
                                        GLuint renderbuffer) {
        record("glFramebufferRenderbuffer", e(target), e(attachment), e(renderbuffertarget),
               renderbuffer);
    };
    glad_glCheckFramebufferStatus = [](GLenum target) {
        std::deque<GLenum> &results = gl().framebufferStatus;
        GLenum status = GL_FRAMEBUFFER_COMPLETE;
        if (!results.empty()) {
            status = results.front();
            results.pop_front();
        }
        record("glCheckFramebufferStatus", e(target)) += " -> " + RecordingGl::enumName(status);
        return status;
    };
    glad_glDeleteFramebuffers = [](GLsizei n, const GLuint *framebuffers) {
        record("glDeleteFramebuffers", n, names(n, framebuffers));
    };
    glad_glDeleteRenderbuffers = [](GLsizei n, const GLuint *renderbuffers) {
        record("glDeleteRenderbuffers", n, names(n, renderbuffers));
    };

    // Drawing.
    glad_glViewport = [](GLint x, GLint y, GLsizei width, GLsizei height) {
        record("glViewport", x, y, width, height);
    };
    glad_glClearColor = [](GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
        record("glClearColor", red, green, blue, alpha);
    };
    glad_glClear = [](GLbitfield mask) { record("glClear", bits(mask)); };
    glad_glDrawElements = [](GLenum mode, GLsizei count, GLenum type, const void *indices) {
        record("glDrawElements", e(mode), count, e(type), offset(indices));
    };
}

} // namespace

RecordingGl::RecordingGl() {
    if (active != nullptr) {
        std::fputs("a second RecordingGl while one is alive\n", stderr);
        std::abort();
    }
    active = this;
    install();
}

RecordingGl::~RecordingGl() {
    active = nullptr;
}

GLuint RecordingGl::bound(GLenum target) const {
    return valueOr(bindings, target, 0u);
}

std::string RecordingGl::enumName(GLenum value) {
    // The enums the program passes, and the near misses a slip would produce.
    // clang-format off
#define QUORLIN_ENUM(name) {name, #name}
    static const std::map<GLenum, const char *> kNames = {
        QUORLIN_ENUM(GL_VERTEX_SHADER), QUORLIN_ENUM(GL_FRAGMENT_SHADER),
        QUORLIN_ENUM(GL_COMPILE_STATUS), QUORLIN_ENUM(GL_LINK_STATUS),
        QUORLIN_ENUM(GL_INFO_LOG_LENGTH), QUORLIN_ENUM(GL_ARRAY_BUFFER),
        QUORLIN_ENUM(GL_ELEMENT_ARRAY_BUFFER), QUORLIN_ENUM(GL_STREAM_DRAW),
        QUORLIN_ENUM(GL_STATIC_DRAW), QUORLIN_ENUM(GL_DYNAMIC_DRAW),
        QUORLIN_ENUM(GL_FLOAT), QUORLIN_ENUM(GL_UNSIGNED_BYTE),
        QUORLIN_ENUM(GL_UNSIGNED_SHORT), QUORLIN_ENUM(GL_UNSIGNED_INT),
        QUORLIN_ENUM(GL_TRIANGLES), QUORLIN_ENUM(GL_TRIANGLE_STRIP),
        QUORLIN_ENUM(GL_TEXTURE_2D), QUORLIN_ENUM(GL_TEXTURE0),
        QUORLIN_ENUM(GL_TEXTURE1), QUORLIN_ENUM(GL_RGBA),
        QUORLIN_ENUM(GL_RGB), QUORLIN_ENUM(GL_RGBA8),
        QUORLIN_ENUM(GL_RGBA16F), QUORLIN_ENUM(GL_RGBA32F),
        QUORLIN_ENUM(GL_TEXTURE_WRAP_S), QUORLIN_ENUM(GL_TEXTURE_WRAP_T),
        QUORLIN_ENUM(GL_TEXTURE_MIN_FILTER), QUORLIN_ENUM(GL_TEXTURE_MAG_FILTER),
        QUORLIN_ENUM(GL_REPEAT), QUORLIN_ENUM(GL_CLAMP_TO_EDGE),
        QUORLIN_ENUM(GL_LINEAR), QUORLIN_ENUM(GL_NEAREST),
        QUORLIN_ENUM(GL_LINEAR_MIPMAP_LINEAR), QUORLIN_ENUM(GL_FRAMEBUFFER),
        QUORLIN_ENUM(GL_DRAW_FRAMEBUFFER), QUORLIN_ENUM(GL_READ_FRAMEBUFFER),
        QUORLIN_ENUM(GL_RENDERBUFFER), QUORLIN_ENUM(GL_COLOR_ATTACHMENT0),
        QUORLIN_ENUM(GL_DEPTH_ATTACHMENT), QUORLIN_ENUM(GL_STENCIL_ATTACHMENT),
        QUORLIN_ENUM(GL_DEPTH_STENCIL_ATTACHMENT), QUORLIN_ENUM(GL_DEPTH24_STENCIL8),
        QUORLIN_ENUM(GL_DEPTH_COMPONENT24), QUORLIN_ENUM(GL_FRAMEBUFFER_COMPLETE),
        QUORLIN_ENUM(GL_FRAMEBUFFER_UNDEFINED), QUORLIN_ENUM(GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT),
        QUORLIN_ENUM(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT), QUORLIN_ENUM(GL_FRAMEBUFFER_UNSUPPORTED),
    };
#undef QUORLIN_ENUM
    // clang-format on
    auto found = kNames.find(value);
    if (found != kNames.end())
        return found->second;
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "0x%04X", value);
    return buffer;
}

std::vector<std::string> callsNamed(const std::vector<std::string> &calls,
                                    const std::vector<std::string> &names) {
    std::vector<std::string> kept;
    for (const std::string &call : calls) {
        const std::string function = call.substr(0, call.find('('));
        if (std::find(names.begin(), names.end(), function) != names.end())
            kept.push_back(call);
    }
    return kept;
}
