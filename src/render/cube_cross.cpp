// The cube-map cross: one quad whose fragments pick their cell and look
// through it at the cube.
#include "render/cube_cross.h"

#include "render/fixed_program.h"
#include "render/quad.h"

namespace {

const char *const kVertexSource = R"(#version 330 core
layout (location = 0) in vec2 corner;
layout (location = 1) in vec2 coordinate;
out vec2 position;
void main()
{
    position = coordinate;
    gl_Position = vec4(corner, 0.0, 1.0);
}
)";

// Each cell's columns: right, up and forward as seen from the centre. The
// sampler is left on unit 0, its default.
const char *const kFragmentSource = R"(#version 330 core
in vec2 position;
uniform samplerCube cube;
out vec4 colour;
void main()
{
    vec2 cells = position * vec2(4.0, 3.0);
    ivec2 cell = ivec2(floor(cells));
    vec3 across = vec3(fract(cells) * 2.0 - 1.0, 1.0);
    mat3 look;
    if (cell == ivec2(0, 1))
        look = mat3(0, 0, 1, 0, 1, 0, -1, 0, 0);
    else if (cell == ivec2(1, 1))
        look = mat3(1, 0, 0, 0, 1, 0, 0, 0, 1);
    else if (cell == ivec2(2, 1))
        look = mat3(0, 0, -1, 0, 1, 0, 1, 0, 0);
    else if (cell == ivec2(3, 1))
        look = mat3(-1, 0, 0, 0, 1, 0, 0, 0, -1);
    else if (cell == ivec2(1, 2))
        look = mat3(1, 0, 0, 0, 0, -1, 0, 1, 0);
    else if (cell == ivec2(1, 0))
        look = mat3(1, 0, 0, 0, 0, 1, 0, -1, 0);
    else {
        colour = vec4(0.0);
        return;
    }
    colour = texture(cube, look * across);
}
)";

} // namespace

void drawCubeCross(CubeCross &cross, GLuint cube, GLuint vao) {
    if (cross.program == 0)
        cross.program = createFixedProgram(kVertexSource, kFragmentSource);
    glUseProgram(cross.program);
    glBindVertexArray(vao);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    drawQuad();
    glBindVertexArray(0);
    glUseProgram(0);
}

void deleteCubeCross(const CubeCross &cross) {
    if (cross.program != 0)
        glDeleteProgram(cross.program);
}
