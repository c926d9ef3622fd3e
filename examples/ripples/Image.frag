// The water seen from above: its slope bends the view of a tiled floor and
// catches the light.
void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 texel = 1.0 / iResolution.xy;
    vec2 uv = fragCoord * texel;
    vec2 slope = vec2(texture(iChannel0, uv + vec2(texel.x, 0.0)).r - texture(iChannel0, uv - vec2(texel.x, 0.0)).r,
                      texture(iChannel0, uv + vec2(0.0, texel.y)).r - texture(iChannel0, uv - vec2(0.0, texel.y)).r);

    vec2 floorAt = (fragCoord + 40.0 * slope) / 48.0;
    vec2 grout = smoothstep(0.0, 0.06, fract(floorAt)) * smoothstep(1.0, 0.94, fract(floorAt));
    vec3 tiles = mix(vec3(0.05, 0.2, 0.3), vec3(0.35, 0.75, 0.8), grout.x * grout.y);

    vec3 normal = normalize(vec3(-slope, 0.15));
    float glint = pow(max(dot(normal, normalize(vec3(0.4, 0.6, 1.0))), 0.0), 60.0);
    fragColor = vec4(tiles + glint * vec3(1.0, 0.95, 0.8), 1.0);
}
