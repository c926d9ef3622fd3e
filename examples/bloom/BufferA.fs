// The scene, in light values well above 1: a few bright rings and dots.
in vec2 TexCoord;

void main()
{
    vec2 uv = (gl_FragCoord.xy * 2.0 - iResolution) / iResolution.y;
    vec3 light = vec3(0.02, 0.02, 0.04);
    for (int i = 0; i < 5; i++) {
        float a = iTime * 0.4 + float(i) * 1.2566;
        vec2 centre = 0.55 * vec2(cos(a), sin(a));
        float ring = abs(length(uv - centre) - 0.12 - 0.04 * float(i % 2));
        vec3 colour = 0.5 + 0.5 * cos(6.28318 * (float(i) / 5.0 + vec3(0.0, 0.33, 0.67)));
        light += colour * 4.0 * smoothstep(0.012, 0.0, ring);
    }
    light += vec3(6.0, 5.0, 4.0) * smoothstep(0.06, 0.0, length(uv));
    FragColor = vec4(light, 1.0);
}
