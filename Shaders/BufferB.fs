// Buffer pass B: a moving checkerboard in texture space.
in vec2 TexCoord;

void main()
{
    vec2 cell = floor(TexCoord * vec2(16.0, 12.0) + vec2(iTime, 0.0));
    float check = mod(cell.x + cell.y, 2.0);
    FragColor = vec4(vec3(check), 1.0);
}
