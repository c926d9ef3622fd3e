// Captures what the program writes to standard output, so tests can compare
// message bytes.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>

// Text written through std::cout while alive.
class CoutCapture {
  public:
    CoutCapture() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(previous_); }
    CoutCapture(const CoutCapture &) = delete;
    CoutCapture &operator=(const CoutCapture &) = delete;
    std::string text() const { return captured_.str(); }

  private:
    std::ostringstream captured_;
    std::streambuf *previous_;
};

// Bytes written to file descriptor 1 while alive, by printf as well as by
// std::cout: the descriptor itself is pointed at a temporary file, so nothing
// depends on how the C library buffers stdout.
class StdoutCapture {
  public:
    StdoutCapture() {
        std::fflush(stdout);
        file_ = std::tmpfile();
        saved_ = dup(STDOUT_FILENO);
        dup2(fileno(file_), STDOUT_FILENO);
    }
    ~StdoutCapture() {
        std::cout.flush();
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        std::fclose(file_);
    }
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    std::string text() const {
        std::cout.flush();
        std::fflush(stdout);
        struct stat info {};
        fstat(fileno(file_), &info);
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        // pread leaves the offset that descriptor 1 shares untouched.
        ssize_t got = pread(fileno(file_), bytes.data(), bytes.size(), 0);
        bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return bytes;
    }

  private:
    std::FILE *file_;
    int saved_;
};
