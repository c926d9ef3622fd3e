// Buffer pass D: a soft spot under the cursor, brighter while a button is held.
in vec2 TexCoord;

void main()
{
    float spot = exp(-length(gl_FragCoord.xy - iMouse.xy) / 40.0);
    float held = max(iMouse.z, iMouse.w);
    FragColor = vec4(vec3(spot * (0.5 + 0.5 * held)), 1.0);
}
