// The camera, kept from frame to frame in two texels of its own target:
// (0, 0) holds the position, (1, 0) the heading.

const int kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kPageUp = 33, kPageDown = 34;

// 1.0 while the key is held: row 0 of the keyboard.
float held(int code) {
    return texelFetch(iChannel1, ivec2(code, 0), 0).x;
}

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    ivec2 texel = ivec2(fragCoord);
    if (texel.y > 0 || texel.x > 1) {
        fragColor = vec4(0.0);
        return;
    }
    vec4 position = texelFetch(iChannel0, ivec2(0, 0), 0);
    vec4 heading = texelFetch(iChannel0, ivec2(1, 0), 0);
    if (iFrame == 0) {
        position = vec4(0.0, 1.6, -7.0, 1.0);
        heading = vec4(0.3, 0.0, 0.0, 1.0);
    }
    // A slow frame must not fling the camera away.
    float step = min(iTimeDelta, 0.1);
    heading.x += (held(kRight) - held(kLeft)) * 1.5 * step;
    vec3 forward = vec3(sin(heading.x), 0.0, cos(heading.x));
    position.xyz += forward * (held(kUp) - held(kDown)) * 5.0 * step;
    position.y = clamp(position.y + (held(kPageUp) - held(kPageDown)) * 2.0 * step, 0.3, 9.0);
    fragColor = texel.x == 0 ? position : heading;
}
