// The shipped shader files through the real Shader class and a real driver.
#include "gl_fixture.h"

#include "shader/Shader.h"

namespace {

using gltest::capturedStdout;
using gltest::shippedShader;

struct ShippedProgram {
    const char *name;
    const char *vertex;
    const char *fragment;
};

// Every program the files are meant for: the two the program builds and one
// per buffer pass, each on the image quad's vertex stage.
constexpr ShippedProgram kShippedPrograms[] = {
    {"image", "VertexShader.vs", "Image.frag"},
    {"texture viewer", "TextureViewer.vs.vert", "TextureViewer.fs.frag"},
    {"buffer A", "VertexShader.vs", "BufferA.fs"},
    {"buffer B", "VertexShader.vs", "BufferB.fs"},
    {"buffer C", "VertexShader.vs", "BufferC.fs"},
    {"buffer D", "VertexShader.vs", "BufferD.fs"},
};

class ShippedShaders : public gltest::GlFixture {};

TEST_F(ShippedShaders, EachProgramCompilesAndLinksWithoutOutput) {
    for (const ShippedProgram &files : kShippedPrograms) {
        SCOPED_TRACE(files.name);
        const std::string common = shippedShader("common.incl");
        const std::string vertex = shippedShader(files.vertex);
        const std::string fragment = shippedShader(files.fragment);
        GLuint program = 0;
        const std::string output = capturedStdout([&] {
            Shader shader(common.c_str(), vertex.c_str(), fragment.c_str());
            program = shader.programId;
        });
        EXPECT_EQ(output, "");
        GLint linked = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &linked);
        EXPECT_EQ(linked, GL_TRUE);
    }
}

} // namespace
