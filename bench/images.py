#!/usr/bin/python3
"""Image inputs: start-up with a 4096 x 4096 PNG bound against
bench/image_reference.cpp, per frame with four images bound against the same
set without them, and resident memory. Prints a Markdown table of figures; it
judges nothing. Run through scripts/bench.sh --images."""

import os, statistics, subprocess, sys, time

from PIL import Image

import bench

SIDE, LARGE, SMALL = 4096, 1024, 16
ONE = "in vec2 TexCoord;\nuniform sampler2D photo;\nvoid main() { FragColor = texture(photo, TexCoord); }\n"
FOUR = ("in vec2 TexCoord;\n" + "".join(f"uniform sampler2D img{n};\n" for n in range(4))
        + "void main() { FragColor = 0.25 * ("
        + " + ".join(f"texture(img{n}, TexCoord)" for n in range(4)) + "); }\n")
FRAMES, LARGE_FRAMES = 300, 60
SETTLE = 3.0  # seconds after the banner before resident memory is read


def make_picture(path, side):
    """Made here, not taken from anywhere: noise over gradients, which a PNG
    compresses about as little as a photograph."""
    noise = Image.effect_noise((side, side), 40)
    across = Image.linear_gradient("L").resize((side, side))
    around = Image.radial_gradient("L").resize((side, side))
    Image.merge("RGB", (Image.blend(noise, across, 0.5), Image.blend(noise, around, 0.5),
                        across.transpose(Image.Transpose.ROTATE_90))).save(path)
    return path


def startup(commands, args, tmp):
    """Median wall seconds of each one-frame command, in rounds of alternating order."""
    times = {name: [] for name in commands}
    for round_ in range(args.rounds):
        order = list(commands)[:: 1 if round_ % 2 == 0 else -1]
        for name, result in zip(order, bench.hyperfine([commands[n] for n in order], args, tmp,
                                                       args.runs)):
            times[name] += result["times"]
    return {name: statistics.median(t) for name, t in times.items()}


def resident_mib(argv):
    """VmRSS once start-up is over and a few hundred frames have run."""
    proc = subprocess.Popen(argv + ["--frames", bench.FOREVER], stdout=subprocess.PIPE, bufsize=0)
    try:
        bench.wait_for_line(proc, "C++")
        time.sleep(SETTLE)
        if proc.poll() is not None:
            sys.exit(f"{argv} stopped with status {proc.returncode}")
        return bench.vm_mib(proc.pid, "VmRSS")
    finally:
        proc.terminate()
        proc.wait()


def report(args, tmp):
    q, r = args.quorlin, args.reference
    photo = make_picture(os.path.join(tmp, "photo.png"), SIDE)
    with_photo = bench.shader_set(tmp, "photo", args.shaders, {"Image.frag": ONE})
    os.link(photo, os.path.join(with_photo, "photo.png"))
    without_photo = bench.shader_set(tmp, "no-photo", args.shaders, {"Image.frag": ONE})
    four = {}
    for side in (SMALL, LARGE):
        four[side] = bench.shader_set(tmp, f"four-{side}", args.shaders, {"Image.frag": FOUR})
        for n in range(4):
            make_picture(os.path.join(four[side], f"img{n}.png"), side)
    none_of_four = bench.shader_set(tmp, "none-of-four", args.shaders, {"Image.frag": FOUR})

    s = startup({"q": [q, "--frames", "1", with_photo], "q0": [q, "--frames", "1", without_photo],
                 "r": [r, photo], "r0": [r]}, args, tmp)
    # Sampled as the transparent black of the set without images is, nearest,
    # so that only what bound images cost the loop differs.
    nearest = [a for n in range(4) for a in ("--sampler", f"img{n}=nearest")]
    f, _ = bench.time_group({"small": ([q, *nearest, four[SMALL]], FRAMES),
                             "large": ([q, four[LARGE]], LARGE_FRAMES),
                             "none": ([q, none_of_four], FRAMES)}, args, tmp)
    memory = [resident_mib([q, with_photo]), resident_mib([q, without_photo])]
    texels = SIDE * SIDE * 4 * 4 / 3 / 2**20  # RGBA8 with its mipmaps

    rows = [(f"Start-up with a {SIDE} x {SIDE} PNG bound, less start-up without it: Quorlin vs "
             "reference (stb_image decode, upload, mipmaps)", [s["q"] - s["q0"]], [s["r"] - s["r0"]]),
            (f"Four {SMALL} x {SMALL} images bound (`nearest`) vs the same set without them: per frame",
             f["small"], f["none"]),
            (f"Four {LARGE} x {LARGE} images, mipmapped trilinear, the same (llvmpipe's sampling cost)",
             f["large"], f["none"])]
    lines = ["| Figure | Measured | Against | Ratio |", "|---|---|---|---|"]
    lines += [f"| {label} | {' / '.join(bench.ms(x) for x in a)} | "
              f"{' / '.join(bench.ms(x) for x in b)} | "
              f"{' / '.join(f'{x / y:.2f}' for x, y in zip(a, b))} |" for label, a, b in rows]
    lines += [f"| Steady VmRSS with the {SIDE} x {SIDE} PNG less without, vs its texel bytes "
              f"with mipmaps | {memory[0] - memory[1]:.1f} MiB | {texels:.1f} MiB | "
              f"{(memory[0] - memory[1]) / texels:.2f} |",
              "",
              f"Start-up medians: Quorlin {bench.ms(s['q'])} with, {bench.ms(s['q0'])} without; "
              f"reference {bench.ms(s['r'])} with, {bench.ms(s['r0'])} without. "
              f"Per frame is wall / CPU. PNG of {os.path.getsize(photo) / 2**20:.1f} MiB; "
              f"LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}."]
    return "\n".join(lines)


def main():
    parser = bench.arguments(__doc__)
    parser.add_argument("--reference", required=True, help="quorlin_image_reference")
    args = parser.parse_args()
    with bench.private_display("quorlin-bench-images-") as (tmp, _):
        block = report(args, tmp)
    print(block)


if __name__ == "__main__":
    main()
