#version 330 core
// The image quad: clip-space corners with a colour and a texture coordinate.
layout (location = 0) in vec3 aPosition;
layout (location = 1) in vec3 aColour;
layout (location = 2) in vec2 aTexCoord;

out vec3 Colour;
out vec2 TexCoord;

void main()
{
    Colour = aColour;
    TexCoord = aTexCoord;
    gl_Position = vec4(aPosition, 1.0);
}
