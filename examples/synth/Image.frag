// The loop's picture, drawn from the same clock as its sound (common.incl): a
// ring that flies out on every kick, a column of light at the bass note's
// height, and the colour of the bar's chord.
in vec2 TexCoord;

void main()
{
    int beat = beatAt(iTime);
    float since = sinceBeat(iTime);
    vec2 aspect = vec2(iResolution.x / iResolution.y, 1.0);
    vec2 p = (TexCoord - 0.5) * aspect;

    vec3 chord = beat < 4 ? vec3(0.25, 0.45, 1.0) : vec3(1.0, 0.55, 0.25);
    vec3 colour = chord * (0.08 + 0.25 * kickLevel(since));
    float ring = abs(length(p) - 0.1 - 0.9 * since);
    colour += chord * 0.02 / (ring + 0.01) * kickLevel(since);
    float note = (bassNote(beat) - 40.0) / 30.0;
    float column = exp(-abs(p.x) * 30.0) * smoothstep(0.02, 0.0, abs(TexCoord.y - note));
    colour += vec3(1.0) * column;
    FragColor = vec4(colour, 1.0);
}
