// Default image: glowing folded rings drifting with time. The rings lean
// towards the cursor, the left button sends ripples out from it and the right
// button turns the palette.
in vec2 TexCoord;

vec3 palette(float t, float turn)
{
    vec3 phase = vec3(0.26, 0.42, 0.56) + turn * vec3(0.35, 0.1, -0.2);
    return 0.5 + 0.5 * cos(6.28318 * (t + phase));
}

void main()
{
    vec2 uv = (gl_FragCoord.xy * 2.0 - iResolution) / iResolution.y;
    vec2 mouse = (iMouse.xy * 2.0 - iResolution) / iResolution.y;
    float toMouse = length(uv - mouse);

    vec2 p = uv + 0.15 * mouse;
    vec3 colour = vec3(0.0);
    for (int i = 0; i < 4; i++) {
        p = fract(p * 1.5) - 0.5;
        float d = length(p) * exp(-length(uv));
        vec3 tint = palette(length(uv) + float(i) * 0.4 + iTime * 0.4, iMouse.w);
        d = abs(sin(d * 8.0 + iTime) / 8.0);
        colour += tint * pow(0.01 / d, 1.2);
    }

    colour += vec3(0.9, 0.8, 1.0) * 0.02 / max(toMouse, 0.02);
    float ripple = iMouse.z * 0.5 * (1.0 + sin(toMouse * 30.0 - iTime * 8.0)) * exp(-2.0 * toMouse);
    colour += ripple * palette(toMouse - iTime * 0.3, iMouse.w);

    FragColor = vec4(colour, 1.0);
}
