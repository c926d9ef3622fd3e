// Quorlin: fills one window with a user's full-screen fragment shader.
#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/input.h"
#include "render/quad.h"
#include "render/render_targets.h"
#include "shader/Shader.h"
#include "shader/shader_files.h"

#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <filesystem>
#include <iostream>
#include <system_error>

namespace {
constexpr int SCR_WIDTH = 800;
constexpr int SCR_HEIGHT = 600;
constexpr int kMouseValues = 4;
} // namespace

int main() {
    std::cout << kStandardTag.data() << std::endl;

    std::error_code cwdError;
    const std::filesystem::path workingDirectory = std::filesystem::current_path(cwdError);
    if (cwdError) {
        std::cout << "Failed to determine the working directory: " << cwdError.message()
                  << std::endl;
        return -1;
    }

    // A failed init shows up as a failed window creation.
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow *window = glfwCreateWindow(SCR_WIDTH, SCR_HEIGHT, "Quorlin", nullptr, nullptr);
    if (window == nullptr) {
        std::cout << "Failed to create GLFW window" << std::endl;
        glfwTerminate();
        return -1;
    }
    glfwMakeContextCurrent(window);
    // Unthrottled, so the title shows the rate the shader reaches.
    glfwSwapInterval(0);
    glfwSetFramebufferSizeCallback(window, framebuffer_size_callback);
    if (!gladLoadGL(glfwGetProcAddress)) {
        std::cout << "Failed to initialize GLAD" << std::endl;
        glfwTerminate();
        return -1;
    }

    const std::string shaderRoot = shaderRootOf(workingDirectory);
    const ShaderFiles files = shaderFilesIn(shaderRoot);
    Shader imageShader(files.common.c_str(), files.vertex.c_str(), files.image.c_str());
    Shader viewerShader(files.common.c_str(), files.viewerVertex.c_str(),
                        files.viewerFragment.c_str());

    const Quad imageQuad = createImageQuad();
    // For the texture viewer pass; nothing in the loop draws it yet.
    const Quad viewerQuad = createViewerQuad();
    const RenderTargets renderTargets = createRenderTargets(SCR_WIDTH, SCR_HEIGHT);

    double mouseState[kMouseValues] = {};
    const glm::vec2 resolution(SCR_WIDTH, SCR_HEIGHT);
    imageShader.use();
    imageShader.setVec2("iResolution", resolution);

    bool running = false;
    bool spaceHeld = false;
    runFrameLoop(window,
                 {&imageShader, imageQuad.vao, resolution, mouseState, &running, &spaceHeld});

    deleteQuad(imageQuad);
    deleteQuad(viewerQuad);
    deleteRenderTargets(renderTargets);
    // Both programs go with the context here.
    glfwTerminate();
    return 0;
}
