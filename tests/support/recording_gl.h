// A fake OpenGL for tests that need no display: installed into glad's
// glad_gl... pointers, it records every call as readable text and answers
// queries from values a test sets beforehand.
#pragma once

#include <glad/gl.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

class RecordingGl {
  public:
    // Installs the fake; only one may be alive at a time. Once it is gone, a
    // stray GL call aborts instead of recording into a dead object.
    RecordingGl();
    ~RecordingGl();
    RecordingGl(const RecordingGl &) = delete;
    RecordingGl &operator=(const RecordingGl &) = delete;

    // One entry per call, e.g. "glBindBuffer(GL_ARRAY_BUFFER, 20)": enums by
    // name, floats with %.9g (enough to tell any two floats apart), offsets as
    // numbers, client data as "data" or "null", output pointers as "out" or
    // "null", name arrays as "[40]". Calls that return something end in
    // " -> result". Other fakes may append their own entries to keep one order.
    std::vector<std::string> calls;

    // Next name each kind of glGen... / glCreate... hands out. The kinds start
    // apart so a name passed to the wrong call shows; shaders and programs
    // share one counter, as they share one namespace in GL.
    struct NextNames {
        GLuint shader = 1;
        GLuint vertexArray = 10;
        GLuint buffer = 20;
        GLuint texture = 30;
        GLuint framebuffer = 40;
        GLuint renderbuffer = 50;
    } next;

    // Unwritten is what GL does for an invalid object such as name 0: the
    // status query and the log fetch both leave their outputs untouched.
    enum class Status { Success, Failure, Unwritten };
    std::map<GLuint, Status> compileStatus; // by shader; absent means Success
    std::map<GLuint, Status> linkStatus;    // by program; absent means Success
    std::map<GLuint, std::string> infoLog;  // by shader or program; absent means ""

    std::map<std::string, GLint> uniformLocation; // absent means -1, as for an unknown name

    // One result per glCheckFramebufferStatus call; GL_FRAMEBUFFER_COMPLETE once empty.
    std::deque<GLenum> framebufferStatus;

    // What the calls left behind.
    std::map<GLuint, std::string> source;                     // last source given to each shader
    std::map<GLuint, std::vector<unsigned char>> bufferBytes; // last upload into each buffer
    // Name bound at a target (GL_ARRAY_BUFFER, GL_FRAMEBUFFER, GL_TEXTURE_2D...),
    // at GL_VERTEX_ARRAY_BINDING, at GL_CURRENT_PROGRAM; GL_ACTIVE_TEXTURE holds
    // the unit enum. 0 where nothing was bound.
    GLuint bound(GLenum target) const;
    std::map<GLenum, GLuint> bindings;

    // GL's name for an enum, or hex where the table has none.
    static std::string enumName(GLenum value);
};

// The entries of calls whose function name is one of names, in order.
std::vector<std::string> callsNamed(const std::vector<std::string> &calls,
                                    const std::vector<std::string> &names);
