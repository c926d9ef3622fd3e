// Second half of the blur: BufferB's result (iChannel1) spread vertically.
in vec2 TexCoord;

void main()
{
    vec2 step = vec2(0.0, 3.0 / iResolution.y);
    vec3 sum = vec3(0.0);
    float weights = 0.0;
    for (int i = -12; i <= 12; i++) {
        float w = exp(-float(i * i) / 50.0);
        sum += w * texture(iChannel1, TexCoord + float(i) * step).rgb;
        weights += w;
    }
    FragColor = vec4(sum / weights, 1.0);
}
