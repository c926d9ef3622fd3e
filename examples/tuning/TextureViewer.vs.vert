#version 330 core
// The viewer quad: clip-space corners with a texture coordinate.
layout (location = 0) in vec2 aPosition;
layout (location = 1) in vec2 aTexCoord;

out vec2 TexCoord;

void main()
{
    TexCoord = aTexCoord;
    gl_Position = vec4(aPosition, 0.0, 1.0);
}
