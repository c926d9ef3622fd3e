// Buffer pass C: normalised pixel position and a pulse, handy to check a target.
in vec2 TexCoord;

void main()
{
    vec2 uv = gl_FragCoord.xy / iResolution;
    FragColor = vec4(uv, 0.5 + 0.5 * sin(iTime), 1.0);
}
