// First half of the blur: the bright part of the scene (iChannel0), spread
// horizontally. Rendered after BufferA in the same frame, so it sees this
// frame's scene.
in vec2 TexCoord;

void main()
{
    vec2 step = vec2(3.0 / iResolution.x, 0.0);
    vec3 sum = vec3(0.0);
    float weights = 0.0;
    for (int i = -12; i <= 12; i++) {
        float w = exp(-float(i * i) / 50.0);
        vec3 light = texture(iChannel0, TexCoord + float(i) * step).rgb;
        sum += w * max(light - 1.0, 0.0);
        weights += w;
    }
    FragColor = vec4(sum / weights, 1.0);
}
