// A picture read as an image input: the sampler `picture` binds picture.png
// in this directory (a frame of examples/bloom). Inside a lens that circles,
// or follows the cursor while the left button is held, the picture is
// magnified and its edges drawn, found from neighbouring texels one
// 1 / pictureResolution apart.
in vec2 TexCoord;

uniform sampler2D picture;
uniform vec2 pictureResolution; // the picture's width and height in pixels

float luma(vec2 uv)
{
    return dot(texture(picture, uv).rgb, vec3(0.299, 0.587, 0.114));
}

void main()
{
    vec2 centre = iMouse.z > 0.0 ? iMouse.xy / iResolution
                                 : vec2(0.5) + vec2(0.2 * cos(0.7 * iTime), 0.25 * sin(iTime));
    vec2 aspect = vec2(iResolution.x / iResolution.y, 1.0);
    float r = length((TexCoord - centre) * aspect);
    float inside = 1.0 - smoothstep(0.23, 0.24, r);
    vec2 uv = mix(TexCoord, centre + (TexCoord - centre) * (0.4 + 1.5 * r), inside);

    vec2 texel = 1.0 / pictureResolution;
    vec2 slope = vec2(luma(uv + vec2(texel.x, 0.0)) - luma(uv - vec2(texel.x, 0.0)),
                      luma(uv + vec2(0.0, texel.y)) - luma(uv - vec2(0.0, texel.y)));
    vec3 base = texture(picture, uv).rgb;
    vec3 edges = base * 0.35 + vec3(1.0, 0.9, 0.6) * length(slope) * 6.0;
    float rim = smoothstep(0.225, 0.235, r) * inside;
    FragColor = vec4(mix(mix(base, edges, inside), vec3(0.9), rim), 1.0);
}
