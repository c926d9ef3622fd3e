// The yardstick scripts/bench.sh times Quorlin against: only the work each of
// Quorlin's frames is required to do, so the ratio is the program's overhead.
//   quorlin_reference [--frames N] [--cached] [--no-input] [--passes | --chain | --cube] SHADER_DIR
// --cached looks uniform locations up once and --no-input drops the input
// queries: together, the bare loop that prices the required design. --passes
// first draws buffer passes A to D into render targets 0 to 3. --chain draws
// them as a chain instead: each pass reads its own target's previous frame on
// channel 0 and the previous pass's target on channel 1 (A reads D's previous
// frame), and the image reads D on channel 0; the binds of a wired set, made
// with the loop's own hands. --cube draws CubeA.fs into the six faces of a
// cube map at 1024 a side, the face's uniform looked up once, and the image
// reads that cube on channel 0.
#include "app/frame_loop.h"
#include "render/cube_target.h"
#include "render/quad.h"
#include "render/render_targets.h"
#include "shader/Shader.h"
#include "shader/compose.h"
#include "shader/shader_files.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
// Built once, as Quorlin's are, so that a set allocates nothing.
const std::string kUniforms[] = {"iResolution", "iTime", "iMouse"};

struct Pass {
    Shader shader;
    GLint at[3];
    unsigned channels;
    const RenderTarget *reads[kBufferPasses]; // --chain: the target channel n reads
    const CubeTarget *cube;                   // --cube: what channel 0 reads
};

Pass makePass(const ShaderFiles &files, const std::string &fragment) {
    Pass pass{
        Shader(files.common.c_str(), files.vertex.c_str(), fragment.c_str()), {}, 0, {}, nullptr};
    pass.shader.use();
    for (int i = 0; i < 3; ++i)
        pass.at[i] = glGetUniformLocation(pass.shader.programId, kUniforms[i].c_str());
    for (int n = 0; n < kBufferPasses; ++n) {
        const std::string channel = "iChannel" + std::to_string(n);
        const GLint at = glGetUniformLocation(pass.shader.programId, channel.c_str());
        if (at != -1) {
            glUniform1i(at, n);
            pass.channels |= 1u << n;
        }
    }
    return pass;
}

// The queries a pass of Quorlin must make, as many of each.
void pollInput(GLFWwindow *window, double mouse[4]) {
    if (glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS)
        glfwSetWindowShouldClose(window, true);
    glfwGetCursorPos(window, &mouse[0], &mouse[1]);
    mouse[2] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
    mouse[3] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS;
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    mouse[1] = height - mouse[1];
    (void)(glfwGetKey(window, GLFW_KEY_SPACE) == GLFW_PRESS);
    (void)(glfwGetKey(window, GLFW_KEY_SPACE) == GLFW_RELEASE);
}

// Everything of a draw but the draw.
void setUp(Pass &pass, bool cached, float time, const double mouse[4], const RenderTargets &targets,
           GLuint vao) {
    pass.shader.use();
    glBindVertexArray(vao);
    if (cached) {
        glUniform2f(pass.at[0], kWidth, kHeight);
        glUniform1f(pass.at[1], time);
        glUniform4f(pass.at[2], mouse[0], mouse[1], mouse[2], mouse[3]);
    } else {
        pass.shader.setVec2(kUniforms[0], glm::vec2(kWidth, kHeight));
        pass.shader.setFloat(kUniforms[1], time);
        pass.shader.setVec4(kUniforms[2], mouse);
    }
    for (int n = 0; n < kBufferPasses; ++n) {
        if (!(pass.channels & (1u << n)))
            continue;
        glActiveTexture(GL_TEXTURE0 + n);
        if (n == 0 && pass.cube)
            glBindTexture(GL_TEXTURE_CUBE_MAP, currentCube(*pass.cube));
        else
            glBindTexture(GL_TEXTURE_2D,
                          pass.reads[n] ? currentTexture(*pass.reads[n]) : targets[n].colour);
    }
}

// The six draws of the cube-map pass, its uniforms set once.
void drawCube(Pass &pass, GLint faceAt, const CubeTarget &cube, float time, const double mouse[4],
              const RenderTargets &targets, GLuint vao) {
    glViewport(0, 0, kCubeFaceSize, kCubeFaceSize);
    setUp(pass, false, time, mouse, targets, vao);
    for (int face = 0; face < kCubeFaces; ++face) {
        bindCubeFace(cube, face);
        glUniform1i(faceAt, face);
        drawQuad();
    }
}

} // namespace

int main(int argc, char **argv) {
    int frames = 0; // 0: until closed
    bool cached = false, input = true, passes = false, chain = false, cube = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc)
            frames = std::atoi(argv[++i]);
        else if (arg == "--cached")
            cached = true;
        else if (arg == "--passes")
            passes = true;
        else if (arg == "--chain")
            passes = chain = true;
        else if (arg == "--cube")
            cube = true;
        else if (arg == "--no-input")
            input = false;
        else
            dir = arg;
    }
    // A window that fails to open should say why in the bench's report.
    glfwSetErrorCallback([](int, const char *what) { std::cout << what << std::endl; });
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow *window = glfwCreateWindow(kWidth, kHeight, "Quorlin reference", nullptr, nullptr);
    if (window == nullptr || (glfwMakeContextCurrent(window), !gladLoadGL(glfwGetProcAddress)))
        return 1;
    glfwSwapInterval(0);

    // Quorlin builds the viewer and the targets whatever the set uses; so
    // does this, or start-up and memory would not compare.
    const ShaderFiles files = shaderFilesIn(dir);
    Pass image = makePass(files, files.image);
    Shader(files.common.c_str(), files.viewerVertex.c_str(), files.viewerFragment.c_str());
    std::vector<Pass> buffers;
    for (int x = 0; passes && x < kBufferPasses; ++x)
        buffers.push_back(makePass(files, files.buffers[x]));
    const Quad imageQuad = createImageQuad();
    const Quad viewerQuad = createViewerQuad();
    RenderTargets targets = createRenderTargets(kWidth, kHeight, false);
    for (std::size_t x = 0; x < buffers.size(); ++x) {
        clearOnFirstUse(targets[x]);
        if (!chain)
            continue;
        addSpare(targets[x]);
        buffers[x].reads[0] = &targets[x];
        buffers[x].reads[1] = &targets[(x + kBufferPasses - 1) % kBufferPasses];
    }
    if (chain)
        image.reads[0] = &targets[kBufferPasses - 1];
    std::vector<Pass> cubes;
    CubeTarget cubeTarget{};
    GLint faceAt = -1;
    if (cube) {
        cubes.push_back(makePass(files, files.buffers[kCubeA]));
        faceAt = glGetUniformLocation(cubes[0].shader.programId, kCubeFaceUniform);
        prepareCubeTarget(cubeTarget, false);
        glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
        image.cube = &cubeTarget;
    }

    double mouse[4] = {};
    for (int rendered = 0; !glfwWindowShouldClose(window);) {
        const float time = static_cast<float>(glfwGetTime());
        if (input)
            pollInput(window, mouse);
        for (std::size_t x = 0; x < buffers.size(); ++x) {
            bindForWriting(targets[x]);
            glViewport(0, 0, kWidth, kHeight);
            setUp(buffers[x], cached, time, mouse, targets, imageQuad.vao);
            drawQuad();
            finishWrite(targets[x]);
        }
        for (Pass &pass : cubes)
            drawCube(pass, faceAt, cubeTarget, time, mouse, targets, imageQuad.vao);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (!buffers.empty() || !cubes.empty())
            glViewport(0, 0, kWidth, kHeight);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        setUp(image, cached, time, mouse, targets, imageQuad.vao);
        drawQuad();
        if (refreshFrameRate(glfwGetTime()))
            glfwSetWindowTitle(window, title_string);
        nbFrames++;
        if (++rendered == frames)
            glfwSetWindowShouldClose(window, true);
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    deleteQuad(imageQuad);
    deleteQuad(viewerQuad);
    deleteRenderTargets(targets);
    deleteCubeTarget(cubeTarget);
    glfwTerminate();
    return 0;
}
