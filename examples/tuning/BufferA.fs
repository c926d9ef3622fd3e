// Rings spreading from a centre, drawn into render target 1. The centre is a
// pad over the render size (`xy`), the ring count an int slider with a range.
uniform vec2 centre = vec2(400.0, 300.0); // xy
uniform int rings = 6;                    // 1 24
uniform float softness = 0.6;             // no range given: 0 to 1.2

void main()
{
    float d = distance(gl_FragCoord.xy, centre) / iResolution.y;
    float wave = 0.5 + 0.5 * cos(6.2831853 * (float(rings) * d - speed * iTime));
    float edge = 0.5 * softness + 0.01;
    FragColor = vec4(vec3(smoothstep(0.5 - edge, 0.5 + edge, wave)), 1.0);
}
