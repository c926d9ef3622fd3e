// Image: glow and ink looked up in the palette, one colour per band.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 glow = texture(iChannel0, fragCoord / iResolution.xy).rg;
    float level = clamp(0.2 * glow.x + 0.3 * glow.y, 0.0, 1.0);
    fragColor = vec4(texture(iChannel3, vec2(level, 0.5)).rgb, 1.0);
}
