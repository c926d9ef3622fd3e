// The sky, drawn into a cube map every frame: a gradient, the sun, drifting
// clouds and dark ground below the horizon. rayDir is the direction whose
// texel this is.

const vec3 kSun = vec3(0.57, 0.33, 0.75);

float hash(vec2 p) {
    return fract(sin(dot(p, vec2(127.1, 311.7))) * 43758.5453);
}

float noise(vec2 p) {
    vec2 i = floor(p), f = fract(p);
    f = f * f * (3.0 - 2.0 * f);
    return mix(mix(hash(i), hash(i + vec2(1.0, 0.0)), f.x),
               mix(hash(i + vec2(0.0, 1.0)), hash(i + vec2(1.0, 1.0)), f.x), f.y);
}

float clouds(vec2 p) {
    float sum = 0.0, weight = 0.5;
    for (int octave = 0; octave < 4; ++octave) {
        sum += weight * noise(p);
        p *= 2.03;
        weight *= 0.5;
    }
    return sum;
}

void mainCubemap(out vec4 fragColor, in vec2 fragCoord, in vec3 rayOri, in vec3 rayDir) {
    vec3 d = normalize(rayDir);
    vec3 sky = mix(vec3(0.78, 0.86, 0.95), vec3(0.18, 0.38, 0.78), clamp(d.y, 0.0, 1.0));
    float sun = max(dot(d, normalize(kSun)), 0.0);
    sky += vec3(1.0, 0.85, 0.6) * (8.0 * pow(sun, 800.0) + 0.25 * pow(sun, 16.0));
    if (d.y > 0.0) {
        vec2 onClouds = d.xz / d.y * 1.5 + vec2(0.04, 0.01) * iTime;
        float cover = smoothstep(0.45, 0.8, clouds(onClouds)) * smoothstep(0.0, 0.25, d.y);
        sky = mix(sky, vec3(0.97), 0.85 * cover);
    } else {
        sky = mix(vec3(0.22, 0.2, 0.18), sky, exp(24.0 * d.y));
    }
    fragColor = vec4(sky, 1.0);
}
