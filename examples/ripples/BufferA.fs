// Water: red holds this frame's height, green the last frame's. Each frame
// steps the wave equation from this pass's own last frame; a drop falls every
// 40 frames somewhere new, and the left button drags a finger through it.
float height(vec2 fragCoord)
{
    return texture(iChannel0, fragCoord / iResolution.xy).r;
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 here = texture(iChannel0, fragCoord / iResolution.xy).rg;
    float around = height(fragCoord + vec2(1.0, 0.0)) + height(fragCoord - vec2(1.0, 0.0))
                 + height(fragCoord + vec2(0.0, 1.0)) + height(fragCoord - vec2(0.0, 1.0));
    float next = (0.5 * around - here.g) * 0.99;

    float drop = float(iFrame / 40) + 1.0;
    vec2 at = (0.1 + 0.8 * fract(sin(vec2(drop * 12.9898, drop * 78.233)) * 43758.5453)) * iResolution.xy;
    if (iFrame % 40 == 0)
        next += 3.0 * smoothstep(8.0, 0.0, length(fragCoord - at));
    if (iMouse.z > 0.0)
        next += smoothstep(6.0, 0.0, length(fragCoord - iMouse.xy));
    fragColor = vec4(next, here.r, 0.0, 1.0);
}
