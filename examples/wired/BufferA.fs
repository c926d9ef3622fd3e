// Ink: last frame's ink turned a little about the centre and faded, plus
// three drops that circle on their own and one under the cursor while the
// left button is held.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    const float turn = 0.004;
    vec2 from = vec2(0.5) + mat2(cos(turn), -sin(turn), sin(turn), cos(turn)) * (uv - 0.5) * 0.997;
    float ink = texture(iChannel1, from).r * 0.994;
    for (int i = 0; i < 3; i++) {
        float t = iTime * (0.8 + 0.25 * float(i)) + 2.094 * float(i);
        vec2 drop = iResolution.xy * (0.5 + vec2(0.32 * cos(t), 0.3 * sin(1.3 * t)));
        ink += 0.3 * exp(-length(fragCoord - drop) / 5.0);
    }
    if (iMouse.z > 0.0)
        ink += exp(-length(fragCoord - iMouse.xy) / 8.0);
    fragColor = vec4(min(ink, 4.0), 0.0, 0.0, 1.0);
}
