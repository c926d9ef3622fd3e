// A clip on an old television: the picture bent over a curved screen, its
// three beams slightly apart, drawn in the phosphor stripes of a shadow mask
// and the clip's own scanlines, with a brighter band rolling down in step
// with the clip (iChannelTime); around the glass, the set's dark frame.
// Written as mainImage with no declarations: the uniforms come from the
// generated header, the wiring from quorlin.toml.

vec2 bend(vec2 uv)
{
    vec2 c = uv * 2.0 - 1.0;
    c *= 1.0 + 0.07 * dot(c.yx, c.yx);
    return c * 0.5 + 0.5;
}

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 screen = fragCoord / iResolution.xy;
    vec2 uv = bend(screen);
    if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0)))) {
        float shade = 0.09 - 0.08 * length(screen - 0.5);
        fragColor = vec4(vec3(shade, shade * 0.9, shade * 0.8), 1.0);
        return;
    }
    vec2 texel = 1.0 / iChannelResolution[0].xy;
    vec3 colour = vec3(texture(iChannel0, uv - vec2(1.5 * texel.x, 0.0)).r,
                       texture(iChannel0, uv).g,
                       texture(iChannel0, uv + vec2(1.5 * texel.x, 0.0)).b);
    float scanline = 0.7 + 0.3 * sin(3.14159265 * uv.y * iChannelResolution[0].y);
    int stripe = int(mod(fragCoord.x, 3.0));
    vec3 mask = vec3(stripe == 0, stripe == 1, stripe == 2) * 0.45 + 0.7;
    float band = 1.0 + 0.12 * smoothstep(0.85, 1.0, sin(6.28318531 * (uv.y + 0.25 * iChannelTime[0])));
    vec2 edge = min(uv, 1.0 - uv);
    float vignette = smoothstep(0.0, 0.06, min(edge.x, edge.y)) * (1.1 - 0.4 * length(uv - 0.5));
    fragColor = vec4(1.4 * colour * scanline * mask * band * vignette, 1.0);
}
