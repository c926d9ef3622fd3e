// The band along the window's bottom edge that shows why the last build
// failed, drawn over the frame after any picture of it has been taken.
#pragma once

#include <glad/gl.h>
#include <glm/vec2.hpp>

#include <string>
#include <vector>

struct ErrorBand {
    // Made when a band is first shown, so a run that never fails makes none.
    GLuint program = 0;
    GLuint vao = 0;
    GLuint vbo = 0;
    std::vector<std::string> lines; // empty: no band
    glm::ivec2 laidOutFor{0, 0};    // the window size the buffer holds the band for
    std::vector<float> vertices;    // kept between layouts
};

// Shows lines (at most six are drawn), or hides the band when lines is
// empty. Returns whether that changes what the window shows. The first band
// shown makes the GL objects, leaving its vertex array and buffer bound.
bool showErrorBand(ErrorBand &band, const std::vector<std::string> &lines);

inline bool errorBandShown(const ErrorBand &band) {
    return !band.lines.empty();
}

// Draws the band into the bound framebuffer, whose viewport covers
// windowSize, laying it out again first when that size changed. Leaves
// program 0 and vertex array 0 bound.
void drawErrorBand(ErrorBand &band, glm::ivec2 windowSize);

// Vertex array, then vertex buffer, then program; nothing if none was made.
void deleteErrorBand(const ErrorBand &band);
