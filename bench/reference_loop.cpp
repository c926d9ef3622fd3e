// The least a loop can do to show the image shader: the yardstick that
// bench/bench.py holds Quorlin's frame rate, start-up and memory against.
//
// It opens the same window with the same context, reads the same shader files
// the same way and draws the same quad, but looks its uniform locations up
// once, polls no input and builds nothing the image does not need. Each flag
// puts back one thing that Quorlin does and this loop leaves out, so that a
// gap can be traced to its cause:
//   --lookup-each-set    look each uniform location up by name at every set
//   --poll-input         query keys, cursor, buttons and framebuffer size
//                        every pass, as the input handling does
//   --start-resources    also build the viewer program, the viewer quad and
//                        the four render targets at start-up
//
// Like Quorlin it starts paused and begins rendering at the first press of
// space, so that start-up ends at the same point in both (the first swap of
// an undrawn frame) and a harness starts both the same way. The press is
// taken from a key callback, which costs nothing per frame.
#include "render/quad.h"
#include "render/render_targets.h"
#include "shader/Shader.h"
#include "shader/shader_files.h"

#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr double kTitleInterval = 0.1;
constexpr const char *kTitle = "Quorlin reference";
constexpr const char *kTitleFormat = "Quorlin reference - FPS = %.i ";

struct Options {
    bool lookupEachSet = false;
    bool pollInput = false;
    bool startResources = false;
};

bool parseOptions(int argc, char **argv, Options &options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lookup-each-set") == 0)
            options.lookupEachSet = true;
        else if (std::strcmp(argv[i], "--poll-input") == 0)
            options.pollInput = true;
        else if (std::strcmp(argv[i], "--start-resources") == 0)
            options.startResources = true;
        else {
            std::cout << "Unknown option: " << argv[i] << std::endl;
            return false;
        }
    }
    return true;
}

bool started = false;

void onKey(GLFWwindow *, int key, int, int action, int) {
    if (key == GLFW_KEY_SPACE && action == GLFW_PRESS)
        started = true;
}

// The same queries, in the same number, as a pass of Quorlin's input handling;
// on X11 the cursor and the framebuffer size each cost a server round trip.
void pollInput(GLFWwindow *window, float mouse[4]) {
    if (glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS)
        glfwSetWindowShouldClose(window, true);
    double x = 0.0;
    double y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    mouse[2] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS ? 1.0f : 0.0f;
    mouse[3] = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_RIGHT) == GLFW_PRESS ? 1.0f : 0.0f;
    int width = 0;
    int height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    mouse[0] = static_cast<float>(x);
    mouse[1] = static_cast<float>(height - y);
    if (glfwGetKey(window, GLFW_KEY_SPACE) == GLFW_PRESS)
        started = true;
    (void)glfwGetKey(window, GLFW_KEY_SPACE);
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    const std::filesystem::path workingDirectory = std::filesystem::current_path();

    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow *window = glfwCreateWindow(kWidth, kHeight, kTitle, nullptr, nullptr);
    if (window == nullptr) {
        std::cout << "Failed to create GLFW window" << std::endl;
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);
    glfwSetKeyCallback(window, onKey);
    if (!gladLoadGL(glfwGetProcAddress)) {
        std::cout << "Failed to initialize GLAD" << std::endl;
        glfwTerminate();
        return 1;
    }
    // The harness reports the renderer next to its figures.
    std::cout << "GL_RENDERER: " << glGetString(GL_RENDERER) << "\n"
              << "GL_VERSION: " << glGetString(GL_VERSION) << std::endl;

    const ShaderFiles files = shaderFilesIn(shaderRootOf(workingDirectory));
    Shader imageShader(files.common.c_str(), files.vertex.c_str(), files.image.c_str());
    if (options.startResources)
        Shader(files.common.c_str(), files.viewerVertex.c_str(), files.viewerFragment.c_str());
    const Quad imageQuad = createImageQuad();
    if (options.startResources) {
        // Never used; like Quorlin's, these go with the context at exit.
        createViewerQuad();
        createRenderTargets(kWidth, kHeight);
        // The render targets leave their framebuffer bound; draw to the window.
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    const std::string resolutionName = "iResolution";
    const std::string timeName = "iTime";
    const std::string mouseName = "iMouse";
    const GLint resolutionAt = glGetUniformLocation(imageShader.programId, resolutionName.c_str());
    const GLint timeAt = glGetUniformLocation(imageShader.programId, timeName.c_str());
    const GLint mouseAt = glGetUniformLocation(imageShader.programId, mouseName.c_str());
    const glm::vec2 resolution(kWidth, kHeight);
    // Without input the pointer is taken to rest at the window's centre, where
    // the harness puts it for Quorlin too, so both draw the same picture.
    float mouse[4] = {kWidth / 2.0f, kHeight / 2.0f, 0.0f, 0.0f};

    imageShader.use();
    glBindVertexArray(imageQuad.vao);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    double lt = 0.0;
    int nbFrames = 0;
    char title[64] = "";
    bool wasStarted = false;
    while (!glfwWindowShouldClose(window)) {
        const float time = static_cast<float>(glfwGetTime());
        if (options.pollInput)
            pollInput(window, mouse);
        if (started && !wasStarted) {
            wasStarted = true;
            lt = glfwGetTime();
        }
        if (started) {
            // The clear stays: Quorlin clears every frame and the pixel work
            // of both loops should be the same, leaving only the loop's own.
            glClear(GL_COLOR_BUFFER_BIT);
            if (options.lookupEachSet) {
                imageShader.setVec2(resolutionName, resolution);
                imageShader.setFloat(timeName, time);
                glUniform4f(glGetUniformLocation(imageShader.programId, mouseName.c_str()),
                            mouse[0], mouse[1], mouse[2], mouse[3]);
            } else {
                glUniform2f(resolutionAt, resolution[0], resolution[1]);
                glUniform1f(timeAt, time);
                glUniform4f(mouseAt, mouse[0], mouse[1], mouse[2], mouse[3]);
            }
            drawQuad();

            const double elapsed = glfwGetTime() - lt;
            if (elapsed > kTitleInterval) {
                const double fps = static_cast<double>(static_cast<float>(nbFrames)) / elapsed;
                const int shown =
                    fps < static_cast<double>(INT_MAX) ? static_cast<int>(fps) : INT_MAX;
                std::snprintf(title, sizeof(title), kTitleFormat, shown);
                glfwSetWindowTitle(window, title);
                lt += elapsed;
                nbFrames = 0;
            }
            nbFrames++;
        }
        glfwSwapBuffers(window);
        glfwPollEvents();
    }

    deleteQuad(imageQuad);
    glfwTerminate();
    return 0;
}
