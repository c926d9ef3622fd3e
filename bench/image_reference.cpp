// The floor for Quorlin's start-up with an image: the same window and context,
// then the one picture decoded with stb_image and uploaded with mipmaps, and a
// frame. Without FILE, only the window, context and frame.
//   quorlin_image_reference [FILE]
#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <stb_image.h>

namespace {
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kChannels = 4;
} // namespace

int main(int argc, char **argv) {
    glfwInit();
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow *window =
        glfwCreateWindow(kWidth, kHeight, "Quorlin image reference", nullptr, nullptr);
    if (window == nullptr || (glfwMakeContextCurrent(window), !gladLoadGL(glfwGetProcAddress)))
        return 1;
    glfwSwapInterval(0);
    GLuint texture = 0;
    if (argc > 1) {
        int width = 0, height = 0, channels = 0;
        stbi_set_flip_vertically_on_load(1);
        stbi_uc *pixels = stbi_load(argv[1], &width, &height, &channels, kChannels);
        if (pixels == nullptr)
            return 1;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels);
        stbi_image_free(pixels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    // Whatever the driver deferred is done before the clock stops.
    glFinish();
    glfwSwapBuffers(window);
    glDeleteTextures(1, &texture);
    glfwTerminate();
    return 0;
}
