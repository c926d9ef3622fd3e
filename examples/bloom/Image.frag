// The scene (iChannel0) with its blurred highlights (iChannel2) added back,
// then a tone curve: a chain of three buffer passes in one frame.
in vec2 TexCoord;

void main()
{
    vec3 light = texture(iChannel0, TexCoord).rgb + 3.0 * texture(iChannel2, TexCoord).rgb;
    FragColor = vec4(1.0 - exp(-light), 1.0);
}
