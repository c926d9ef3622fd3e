// One linked GL program built from a vertex file, a fragment file and a common
// include (stage_sources.h), plus the uniform setters the frame loop and the
// viewer pass use.
#pragma once

#include "params/declarations.h"
#include "shader/error_lines.h"
#include "shader/stage_sources.h"

#include <glad/gl.h>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <iostream>
#include <string>
#include <vector>

class Shader {
  public:
    GLuint programId;
    // The first thing that went wrong in building it, as the window shows it;
    // empty when it built.
    std::vector<std::string> failure;
    // The initialised uniforms its fragment stage declares, found when read.
    std::vector<ParamDeclaration> parameters;

    // Never throws for file, compile or link problems: each is reported on
    // standard output and construction carries on, so a broken shader file
    // leaves the window up for the user to read the log.
    Shader(const char *commonPath, const char *vertexPath, const char *fragmentPath)
        : Shader(readStages(commonPath, vertexPath, fragmentPath, Composition{})) {}

    explicit Shader(const StageSources &sources)
        : failure(sources.failure), parameters(scanDeclarations(sources.fragment)) {
        const char *vShaderCode = sources.vertex.c_str();
        const char *fShaderCode = sources.fragment.c_str();
        GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
        glShaderSource(vertex, 1, &vShaderCode, nullptr);
        glCompileShader(vertex);
        checkCompileErrors(vertex, "VERTEX", sources.vertexOrigin);
        GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(fragment, 1, &fShaderCode, nullptr);
        glCompileShader(fragment);
        checkCompileErrors(fragment, "FRAGMENT", sources.fragmentOrigin);
        programId = glCreateProgram();
        glAttachShader(programId, vertex);
        glAttachShader(programId, fragment);
        glLinkProgram(programId);
        checkCompileErrors(programId, "PROGRAM", StageOrigin{});
        // Still attached, so GL frees the stages together with the program.
        glDeleteShader(vertex);
        glDeleteShader(fragment);
    }

    void use() const { glUseProgram(programId); }

    // For reload, which replaces a program only by one that links; start-up
    // keeps whatever it built.
    bool linked() const {
        GLint status = 0;
        glGetProgramiv(programId, GL_LINK_STATUS, &status);
        return status != 0;
    }
    // Only a replaced or unused program is released; the rest go with the context.
    void release() { glDeleteProgram(programId); }

    // Setters apply to the current program; callers use() first. Locations are
    // looked up on every set so a program never holds stale ones.
    void setFloat(const std::string &name, float value) const {
        glUniform1f(glGetUniformLocation(programId, name.c_str()), value);
    }
    void setFloats(const std::string &name, const GLfloat *values, GLsizei count) const {
        glUniform1fv(glGetUniformLocation(programId, name.c_str()), count, values);
    }
    void setInt(const std::string &name, int value) const {
        glUniform1i(glGetUniformLocation(programId, name.c_str()), value);
    }
    void setSampler(const std::string &name, unsigned int unit) const {
        glUniform1i(glGetUniformLocation(programId, name.c_str()), static_cast<GLint>(unit));
    }
    void setVec2(const std::string &name, glm::vec2 value) const {
        glUniform2f(glGetUniformLocation(programId, name.c_str()), value[0], value[1]);
    }
    void setVec3(const std::string &name, glm::vec3 value) const {
        glUniform3f(glGetUniformLocation(programId, name.c_str()), value[0], value[1], value[2]);
    }
    void setVec4(const std::string &name, const double *values) const {
        glUniform4f(glGetUniformLocation(programId, name.c_str()), static_cast<float>(values[0]),
                    static_cast<float>(values[1]), static_cast<float>(values[2]),
                    static_cast<float>(values[3]));
    }

    // A failed stage's report is followed by its located lines when standard
    // output is a terminal.
    void checkCompileErrors(GLuint object, std::string type, const StageOrigin &origin) {
        static constexpr GLsizei kLogSize = 1024;
        // GL writes nothing for an object name of 0; starting from a failed
        // status and an empty log reports that as a failure, not stray memory.
        GLint success = 0;
        GLchar infoLog[kLogSize] = {};
        if (type != "PROGRAM") {
            glGetShaderiv(object, GL_COMPILE_STATUS, &success);
            if (success)
                return;
            glGetShaderInfoLog(object, kLogSize, nullptr, infoLog);
            std::cout << "ERROR::SHADER_COMPILATION_ERROR of type: ";
        } else {
            glGetProgramiv(object, GL_LINK_STATUS, &success);
            if (success)
                return;
            glGetProgramInfoLog(object, kLogSize, nullptr, infoLog);
            std::cout << "ERROR::PROGRAM_LINKING_ERROR of type: ";
        }
        std::cout << type << "\n"
                  << infoLog << "\n -- --------------------------------------------------- -- "
                  << std::endl;
        if (standardOutputIsTerminal()) {
            for (const std::string &line : locatedLines(infoLog, origin, false))
                std::cout << line << '\n';
            std::cout << std::flush;
        }
        if (failure.empty())
            failure = failureLines(infoLog, origin);
    }
};
