// Buffer pass A: a slowly turning colour wheel centred on the cursor.
in vec2 TexCoord;

void main()
{
    vec2 p = gl_FragCoord.xy - iMouse.xy;
    float angle = atan(p.y, p.x) + iTime * 0.5;
    FragColor = vec4(0.5 + 0.5 * cos(angle + vec3(0.0, 2.094, 4.188)), 1.0);
}
