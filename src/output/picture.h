// Pictures of the window on disk: read back from the default framebuffer and
// written as 8-bit RGBA PNG, top row first.
#pragma once

#include <glad/gl.h>

#include <string>
#include <vector>

// Reads the window's back buffer (framebuffer 0), where a frame is drawn
// before it is shown, or the framebuffer standing in for the window, at size
// width x height and writes it to path, complete or not at all. Returns an
// empty string on success, else the reason. Binds framebuffer for reading.
std::string saveWindowPicture(GLuint framebuffer, int width, int height, const std::string &path);

// Encodes width x height opaque RGBA pixels, top row first, as a PNG at path,
// complete or not at all; safe on any thread. Returns "" or the reason.
std::string writePicture(const unsigned char *pixels, int width, int height,
                         const std::string &path);

// Writes bytes to path, complete or not at all. Returns "" or the reason.
std::string writeWhole(const std::string &path, const std::vector<unsigned char> &bytes);

// quorlin-YYYYMMDD-HHMMSS-mmm.png for the current local time.
std::string screenshotName();
