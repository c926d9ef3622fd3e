// A real 3.3 core context for tests: one visible 800 x 600 GLFW window per test
// on the display that tests/support/with_xvfb provides, plus helpers to read
// pixels back, capture standard output and write throwaway shader files.
#pragma once

#include <GLFW/glfw3.h>
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace gltest {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

inline std::string shippedShader(const std::string &name) {
    return std::string(QUORLIN_SHADER_DIR) + "/" + name;
}

using Rgba8 = std::array<int, 4>;

// round(c * 255) per channel, what an 8-bit framebuffer stores for c in [0, 1].
inline Rgba8 toRgba8(const std::array<float, 4> &c) {
    Rgba8 out{};
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<int>(c[i] * 255.0f + 0.5f);
    return out;
}

class GlFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        glfwSetErrorCallback([](int code, const char *description) {
            ADD_FAILURE() << "GLFW error 0x" << std::hex << code << ": " << description;
        });
        ASSERT_EQ(glfwInit(), GLFW_TRUE) << "no display: run through tests/support/with_xvfb";
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        // Visible, so that the default framebuffer's pixels are owned and
        // resizes reach the window the way they reach the program's.
        window_ = glfwCreateWindow(kWidth, kHeight, "quorlin gl test", nullptr, nullptr);
        ASSERT_NE(window_, nullptr) << "no 3.3 core context";
        glfwMakeContextCurrent(window_);
        ASSERT_NE(gladLoadGL(glfwGetProcAddress), 0);
        int width = 0;
        int height = 0;
        glfwGetFramebufferSize(window_, &width, &height);
        ASSERT_EQ(width, kWidth);
        ASSERT_EQ(height, kHeight);
        glViewport(0, 0, kWidth, kHeight);
    }

    void TearDown() override {
        if (window_ != nullptr)
            glfwDestroyWindow(window_);
        glfwTerminate();
        if (!tempDir_.empty())
            std::filesystem::remove_all(tempDir_);
    }

    // Writes a shader file into this test's own directory and returns its path.
    std::string writeShader(const std::string &name, const std::string &text) {
        if (tempDir_.empty()) {
            std::string pattern = (std::filesystem::temp_directory_path() / "quorlin-gl-XXXXXX");
            if (mkdtemp(pattern.data()) == nullptr)
                ADD_FAILURE() << "mkdtemp failed";
            tempDir_ = pattern;
        }
        const std::string path = tempDir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    // Pixels of the bound read framebuffer, bottom row first, 8 bits a channel.
    static std::vector<Rgba8> readPixels8(int x, int y, int width, int height) {
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(width) * height * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
        std::vector<Rgba8> pixels(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = {raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], raw[4 * i + 3]};
        return pixels;
    }

    // Pixels of the bound read framebuffer as floats, for float render targets.
    static std::vector<std::array<float, 4>> readPixelsF(int x, int y, int width, int height) {
        std::vector<std::array<float, 4>> pixels(static_cast<std::size_t>(width) * height);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, width, height, GL_RGBA, GL_FLOAT, pixels.data());
        return pixels;
    }

    GLFWwindow *window_ = nullptr;

  private:
    std::string tempDir_;
};

// Standard output written while f runs (the GL code reports there).
template <typename F> std::string capturedStdout(F &&f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
}

} // namespace gltest
