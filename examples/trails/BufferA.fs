// Feedback: this pass reads its own last frame (iChannel0), lets it fade and
// adds three glowing sparks that wander on their own, plus one under the
// cursor (brighter while the left button is held).
in vec2 TexCoord;

vec3 spark(vec2 centre, float radius, vec3 colour)
{
    vec2 d = gl_FragCoord.xy - centre;
    return colour * exp(-dot(d, d) / (radius * radius));
}

void main()
{
    vec3 light = vec3(0.0);
    for (int i = 0; i < 3; i++) {
        float t = iTime * (0.6 + 0.25 * float(i)) + float(i) * 2.1;
        vec2 centre = iResolution * (0.5 + vec2(0.38 * cos(1.3 * t), 0.36 * sin(1.7 * t + float(i))));
        vec3 colour = 0.5 + 0.5 * cos(6.28318 * (float(i) / 3.0 + vec3(0.0, 0.33, 0.67)));
        light += spark(centre, 9.0, colour * 1.5);
    }
    light += spark(iMouse.xy, 7.0, vec3(0.6 + 2.0 * iMouse.z));

    // The fade follows the clock, not the frame count, so trails keep their
    // length at any frame rate. Frame 0 starts from black.
    vec3 last = iFrame == 0 ? vec3(0.0) : texture(iChannel0, TexCoord).rgb;
    FragColor = vec4(last * exp(-1.5 * iTimeDelta) + light, 1.0);
}
