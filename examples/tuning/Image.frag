// The rings of BufferA coloured over a background, under a grid that sways by
// drift and that a checkbox turns off. Press Tab to tune them.
in vec2 TexCoord;

uniform vec4 tint = vec4(0.95, 0.55, 0.2, 1.0);    // color
uniform vec3 background = vec3(0.04, 0.06, 0.12); // color
uniform bool grid = true;
uniform float gridSize = 40.0;       // 10 100 step 5
uniform vec2 drift = vec2(0.5, 0.0); // -1 1

void main()
{
    float ring = texture(iChannel0, TexCoord).r;
    vec3 colour = mix(background, tint.rgb, ring * tint.a);
    if (grid) {
        vec2 at = gl_FragCoord.xy / gridSize + drift * sin(speed * iTime);
        vec2 cell = abs(fract(at) - 0.5);
        colour += 0.08 * step(0.47, max(cell.x, cell.y));
    }
    FragColor = vec4(colour, 1.0);
}
