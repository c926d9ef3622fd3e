// Mirror spheres on pillars over a checked floor, lit and reflected by the
// sky of the cube-map pass (iChannel1); the camera comes from BufferA.

const float kFar = 80.0;

vec4 camera(int texel) {
    return texelFetch(iChannel0, ivec2(texel, 0), 0);
}

vec3 sky(vec3 direction) {
    return texture(iChannel1, direction).rgb;
}

// Distance to the nearest sphere or pillar of a grid 8 units wide.
float solids(vec3 p) {
    vec2 cell = mod(p.xz + 4.0, 8.0) - 4.0;
    float sphere = length(vec3(cell.x, p.y - 2.2, cell.y)) - 1.0;
    float pillar = max(length(cell) - 0.22, p.y - 2.0);
    return min(sphere, pillar);
}

vec3 normalAt(vec3 p) {
    const vec2 e = vec2(0.001, 0.0);
    return normalize(vec3(solids(p + e.xyy) - solids(p - e.xyy), solids(p + e.yxy) - solids(p - e.yxy),
                          solids(p + e.yyx) - solids(p - e.yyx)));
}

float march(vec3 origin, vec3 direction) {
    float t = 0.0;
    for (int i = 0; i < 96 && t < kFar; ++i) {
        float d = solids(origin + t * direction);
        if (d < 0.001)
            return t;
        t += d;
    }
    return kFar;
}

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    vec3 origin = camera(0).xyz;
    float yaw = camera(1).x;
    vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.y;
    vec3 forward = vec3(sin(yaw), -0.12, cos(yaw));
    vec3 right = normalize(cross(vec3(0.0, 1.0, 0.0), forward));
    vec3 up = cross(forward, right);
    vec3 direction = normalize(forward + uv.x * right + uv.y * up);

    float solid = march(origin, direction);
    float floorAt = direction.y < 0.0 ? -origin.y / direction.y : kFar;
    vec3 colour;
    if (solid < kFar && solid < floorAt) {
        vec3 p = origin + solid * direction;
        vec3 n = normalAt(p);
        colour = 0.9 * sky(reflect(direction, n)) * vec3(0.95, 0.9, 0.85);
    } else if (floorAt < kFar) {
        vec3 p = origin + floorAt * direction;
        vec2 check = floor(p.xz);
        float tile = mod(check.x + check.y, 2.0);
        vec3 base = mix(vec3(0.12), vec3(0.55), tile);
        colour = mix(base * sky(vec3(0.0, 1.0, 0.0)), sky(reflect(direction, vec3(0.0, 1.0, 0.0))), 0.25);
        // Shadowed under the spheres: the way up is blocked.
        if (march(p + vec3(0.0, 0.01, 0.0), normalize(vec3(0.57, 0.33, 0.75))) < kFar)
            colour *= 0.45;
        colour = mix(sky(direction), colour, exp(-0.03 * floorAt));
    } else {
        colour = sky(direction);
    }
    fragColor = vec4(colour, 1.0);
}
