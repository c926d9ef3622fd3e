// The texture viewer pass: its nine steps and the state it leaves.
#include "output_capture.h"
#include "recording_gl.h"
#include "render/texture_viewer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TextureViewer, DrawsTheTextureThroughTheProgramAndUnbindsProgramAndVertexArray) {
    RecordingGl gl;
    // Only the program name matters here, not what building it reports.
    Shader shader = [] {
        CoutCapture quiet;
        return Shader("/dev/null", "/dev/null", "/dev/null");
    }();
    gl.calls.clear();
    gl.uniformLocation = {{"fboAttachment", 2}, {"iResolution", 5}};
    CoutCapture output;
    DisplayFramebufferTexture(31, &shader, 11, glm::vec2(1024.5f, 0.25f));
    EXPECT_EQ(gl.calls, (std::vector<std::string>{
                            "glUseProgram(3)",
                            "glGetUniformLocation(3, \"fboAttachment\") -> 2",
                            "glUniform1i(2, 0)",
                            "glGetUniformLocation(3, \"iResolution\") -> 5",
                            "glUniform2f(5, 1024.5, 0.25)",
                            "glBindVertexArray(11)",
                            "glActiveTexture(GL_TEXTURE0)",
                            "glBindTexture(GL_TEXTURE_2D, 31)",
                            "glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_INT, 0)",
                            "glBindVertexArray(0)",
                            "glUseProgram(0)",
                        }));
    EXPECT_EQ(output.text(), "");
    EXPECT_EQ(gl.bound(GL_CURRENT_PROGRAM), 0u);
    EXPECT_EQ(gl.bound(GL_VERTEX_ARRAY_BINDING), 0u);
    EXPECT_EQ(gl.bound(GL_ACTIVE_TEXTURE), static_cast<GLuint>(GL_TEXTURE0));
    EXPECT_EQ(gl.bound(GL_TEXTURE_2D), 31u);
}

} // namespace
