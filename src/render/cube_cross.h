// Shows a cube map's six faces over the viewport as a cross: -X, +Z, +X, -Z
// along the middle row, +Y above +Z and -Y below, each face seen from the
// centre with its first row at the top.
#pragma once

#include <glad/gl.h>

struct CubeCross {
    GLuint program = 0; // made at the first showing
};

// Draws cube over whatever framebuffer is bound with the viewer quad's vertex
// array vao. Leaves program 0 and vertex array 0 bound, unit 0 active with
// the cube map bound.
void drawCubeCross(CubeCross &cross, GLuint cube, GLuint vao);

void deleteCubeCross(const CubeCross &cross);
