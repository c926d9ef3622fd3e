// The GLFW entry points used by src/app, answered from a FakeGlfw script.
#include "fake_glfw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

FakeGlfw *active = nullptr;

FakeGlfw &fake() {
    if (active == nullptr) {
        std::fputs("GLFW called with no FakeGlfw alive\n", stderr);
        std::abort();
    }
    return *active;
}

FakeGlfw &fake(GLFWwindow *window) {
    if (window != fake().window())
        ADD_FAILURE() << "GLFW called with a window handle that is not the fake's";
    return *active;
}

std::string inputName(int key) {
    switch (key) {
    case GLFW_KEY_ESCAPE:
        return "GLFW_KEY_ESCAPE";
    case GLFW_KEY_SPACE:
        return "GLFW_KEY_SPACE";
    case GLFW_MOUSE_BUTTON_LEFT:
        return "GLFW_MOUSE_BUTTON_LEFT";
    case GLFW_MOUSE_BUTTON_RIGHT:
        return "GLFW_MOUSE_BUTTON_RIGHT";
    }
    return std::to_string(key);
}

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%.17g", value);
    return buffer;
}

int pressed(const std::set<int> &down, int key) {
    return down.count(key) ? GLFW_PRESS : GLFW_RELEASE;
}

std::string stateName(int state) {
    return state == GLFW_PRESS ? "GLFW_PRESS" : "GLFW_RELEASE";
}

} // namespace

FakeGlfw::FakeGlfw(std::vector<std::string> *log) : log(log ? *log : ownLog_) {
    if (active != nullptr) {
        std::fputs("a second FakeGlfw while one is alive\n", stderr);
        std::abort();
    }
    active = this;
}

FakeGlfw::~FakeGlfw() {
    active = nullptr;
}

GLFWwindow *FakeGlfw::window() {
    return reinterpret_cast<GLFWwindow *>(&handle_);
}

const GlfwPass &FakeGlfw::current() const {
    return passes.at(pass);
}

void FakeGlfw::nextPass() {
    if (pass + 1 < passes.size()) {
        ++pass;
        clockReads_ = 0;
    } else {
        shouldClose = true;
    }
}

double FakeGlfw::readClock() {
    const std::vector<double> &clock = current().clock;
    double now = clock.at(std::min(clockReads_, clock.size() - 1));
    ++clockReads_;
    return now;
}

extern "C" {

int glfwWindowShouldClose(GLFWwindow *window) {
    FakeGlfw &f = fake(window);
    f.log.push_back(std::string("glfwWindowShouldClose() -> ") + (f.shouldClose ? "1" : "0"));
    return f.shouldClose;
}

void glfwSetWindowShouldClose(GLFWwindow *window, int value) {
    FakeGlfw &f = fake(window);
    f.log.push_back("glfwSetWindowShouldClose(" + std::to_string(value) + ")");
    f.shouldClose = value;
}

double glfwGetTime() {
    FakeGlfw &f = fake();
    double now = f.readClock();
    f.log.push_back("glfwGetTime() -> " + number(now));
    return now;
}

int glfwGetKey(GLFWwindow *window, int key) {
    FakeGlfw &f = fake(window);
    int state = pressed(f.current().keys, key);
    f.log.push_back("glfwGetKey(" + inputName(key) + ") -> " + stateName(state));
    return state;
}

int glfwGetMouseButton(GLFWwindow *window, int button) {
    FakeGlfw &f = fake(window);
    int state = pressed(f.current().buttons, button);
    f.log.push_back("glfwGetMouseButton(" + inputName(button) + ") -> " + stateName(state));
    return state;
}

void glfwGetCursorPos(GLFWwindow *window, double *x, double *y) {
    FakeGlfw &f = fake(window);
    *x = f.current().cursorX;
    *y = f.current().cursorY;
    f.log.push_back("glfwGetCursorPos() -> " + number(*x) + ", " + number(*y));
}

void glfwGetFramebufferSize(GLFWwindow *window, int *width, int *height) {
    FakeGlfw &f = fake(window);
    *width = f.current().framebufferWidth;
    *height = f.current().framebufferHeight;
    f.log.push_back("glfwGetFramebufferSize() -> " + std::to_string(*width) + ", " +
                    std::to_string(*height));
}

void glfwSetWindowTitle(GLFWwindow *window, const char *title) {
    fake(window).log.push_back("glfwSetWindowTitle(\"" + std::string(title) + "\")");
}

void glfwSwapBuffers(GLFWwindow *window) {
    fake(window).log.push_back("glfwSwapBuffers()");
}

void glfwPollEvents() {
    FakeGlfw &f = fake();
    f.log.push_back("glfwPollEvents()");
    f.nextPass();
}

} // extern "C"
