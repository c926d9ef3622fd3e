#!/usr/bin/python3
"""The keyboard and the cube-map pass: per frame with the keyboard wired and no key
pressed against the same set with that channel unwired, and a set whose image reads a
CubeA.fs pass against the reference loop making the same six draws (--cube). Prints a
Markdown table of figures; it judges nothing. Run through scripts/bench.sh --keyboard-cube."""

import os

import bench

# Read on every pixel, so that the keyboard's texture is sampled as the black one is.
KEYS = ("uniform sampler2D iChannel0;\nvoid main() { FragColor = vec4(0.25, 0.5, 0.75, 1.0) "
        "+ texelFetch(iChannel0, ivec2(38, 0), 0); }\n")
CUBE_IMAGE = ("uniform samplerCube iChannel0;\nin vec2 TexCoord;\n"
              "void main() { FragColor = texture(iChannel0, vec3(TexCoord * 2.0 - 1.0, 1.0)); }\n")
CUBE_PASS = ("void mainCubemap(out vec4 colour, in vec2 texel, in vec3 origin, in vec3 direction) "
             "{ colour = vec4(normalize(direction) * 0.5 + 0.5, 1.0); }\n")
KEY_FRAMES, CUBE_FRAMES = bench.TRIVIAL_FRAMES, bench.PASS_FRAMES
CUBE_SIDE = 1024  # the pass's, fixed


def report(args, tmp):
    q, r = args.quorlin, args.reference
    wired = bench.shader_set(tmp, "keys", args.shaders,
                             {"Image.frag": KEYS, "quorlin.toml": '[Image]\niChannel0 = "keyboard"\n'})
    unwired = bench.shader_set(tmp, "no-keys", args.shaders, {"Image.frag": KEYS, "quorlin.toml": "[Image]\n"})
    cube = bench.shader_set(tmp, "cube", args.shaders, {"Image.frag": CUBE_IMAGE, "CubeA.fs": CUBE_PASS,
                                                        "quorlin.toml": '[Image]\niChannel0 = "CubeA"\n'})
    k, _ = bench.time_group({"keys": ([q, wired], KEY_FRAMES), "none": ([q, unwired], KEY_FRAMES)}, args, tmp)
    c, runs = bench.time_group({"q": ([q, cube], CUBE_FRAMES), "r": ([r, "--cube", cube], CUBE_FRAMES)},
                               args, tmp)
    rows = [("Keyboard wired, no key pressed, vs the same set with the channel unwired: per frame",
             k["keys"], k["none"]),
            (f"Cube-map pass, six faces of {CUBE_SIDE} x {CUBE_SIDE}, and an image reading it: "
             "per frame, Quorlin vs the reference making the same draws", c["q"], c["r"])]
    return "\n".join(bench.table(rows, 3) + [
        "", f"Per frame is wall / CPU; LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}."])


def main():
    parser = bench.arguments(__doc__)
    parser.add_argument("--reference", required=True)
    args = parser.parse_args()
    with bench.private_display("quorlin-bench-keys-") as (tmp, _):
        print(report(args, tmp))


if __name__ == "__main__":
    main()
