// Follows beat.wav through channel 0's texture, 512 x 2: row 0 (v = 0.25) is
// the spectrum, bin k at k x 44100 / 2048 Hz; row 1 (v = 0.75) the waveform.
// Written without declarations, as code from elsewhere often is: the
// uniforms come from the generated header.

float spectrum(float bin) { return texture(iChannel0, vec2((bin + 0.5) / 512.0, 0.25)).r; }
float waveform(float x) { return texture(iChannel0, vec2(x, 0.75)).r; }

void mainImage(out vec4 fragColor, in vec2 fragCoord)
{
    vec2 uv = fragCoord / iResolution.xy;
    // The kick and the bass live in the first bins (below 130 Hz).
    float low = (spectrum(2.0) + spectrum(3.0) + spectrum(4.0) + spectrum(5.0)) / 4.0;
    vec3 colour = mix(vec3(0.02, 0.02, 0.06), vec3(0.25, 0.05, 0.3), low * low);

    // 48 bars over the bins up to 6 kHz, denser low down, as ears hear them.
    float bar = floor(uv.x * 48.0);
    float level = spectrum(floor(pow(bar / 48.0, 2.0) * 280.0 + 1.0));
    float inBar = step(0.1, fract(uv.x * 48.0));
    vec3 hue = 0.5 + 0.5 * cos(6.2831853 * (bar / 48.0 + vec3(0.0, 0.33, 0.67)));
    colour += hue * inBar * step(uv.y, level) * (0.35 + 0.65 * uv.y / max(level, 0.01));

    // The waveform as a line across the middle.
    float line = abs(uv.y - waveform(uv.x));
    colour += vec3(1.0) * smoothstep(3.0 / iResolution.y, 0.0, line);
    fragColor = vec4(colour, 1.0);
}
