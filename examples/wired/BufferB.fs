// Glow: the ink blurred over a few pixels, beside the ink itself.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 texel = 1.0 / iResolution.xy;
    vec2 uv = fragCoord * texel;
    float sum = 0.0;
    for (int i = -3; i <= 3; i++)
        for (int j = -3; j <= 3; j++)
            sum += texture(iChannel2, uv + 2.0 * texel * vec2(i, j)).r;
    fragColor = vec4(sum / 49.0, texture(iChannel2, uv).r, 0.0, 1.0);
}
