// Shows the trails: the buffer holds light above 1 where sparks overlap, and
// the tone curve keeps those from clipping flat.
in vec2 TexCoord;

void main()
{
    vec3 light = texture(iChannel0, TexCoord).rgb;
    FragColor = vec4(1.0 - exp(-1.2 * light), 1.0);
}
