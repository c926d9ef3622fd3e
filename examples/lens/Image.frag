// A picture read as an image input: the sampler `picture` binds picture.png
// in this directory (a frame of examples/bloom). Inside a lens that circles,
// or follows the cursor while the left button is held, the picture is
// magnified and its edges drawn, found from neighbouring texels one
// 1 / pictureResolution apart. The picture keeps its shape at any --size,
// with dark bars where the window's shape differs.
in vec2 TexCoord;

uniform sampler2D picture;
uniform vec2 pictureResolution; // the picture's width and height in pixels

float luma(vec2 uv)
{
    return dot(texture(picture, uv).rgb, vec3(0.299, 0.587, 0.114));
}

void main()
{
    // Window coordinates to the picture's: 0 to 1 across the fitted picture.
    float shape = pictureResolution.x / pictureResolution.y;
    float window = iResolution.x / iResolution.y;
    vec2 stretch = max(vec2(window / shape, shape / window), vec2(1.0));
    vec2 at = (TexCoord - 0.5) * stretch + 0.5;
    if (any(lessThan(at, vec2(0.0))) || any(greaterThan(at, vec2(1.0)))) {
        FragColor = vec4(0.05, 0.05, 0.05, 1.0);
        return;
    }
    vec2 mouse = (iMouse.xy / iResolution - 0.5) * stretch + 0.5;
    vec2 centre = iMouse.z > 0.0 ? mouse
                                 : vec2(0.5) + vec2(0.2 * cos(0.7 * iTime), 0.25 * sin(iTime));
    vec2 aspect = vec2(shape, 1.0);
    float r = length((at - centre) * aspect);
    float inside = 1.0 - smoothstep(0.23, 0.24, r);
    vec2 uv = mix(at, centre + (at - centre) * (0.4 + 1.5 * r), inside);

    vec2 texel = 1.0 / pictureResolution;
    vec2 slope = vec2(luma(uv + vec2(texel.x, 0.0)) - luma(uv - vec2(texel.x, 0.0)),
                      luma(uv + vec2(0.0, texel.y)) - luma(uv - vec2(0.0, texel.y)));
    vec3 base = texture(picture, uv).rgb;
    vec3 edges = base * 0.35 + vec3(1.0, 0.9, 0.6) * length(slope) * 6.0;
    float rim = smoothstep(0.225, 0.235, r) * inside;
    FragColor = vec4(mix(mix(base, edges, inside), vec3(0.9), rim), 1.0);
}
