#!/usr/bin/python3
"""Rendering with no display server: start-up to the first frame and 600-frame runs of
the trivial and the default shader through EGL (--headless) against the same in Xvfb,
and --output - piped into ffmpeg against ffmpeg reading the same frames from a file.
Prints a Markdown table of figures; it judges nothing. Run through
scripts/bench.sh --headless."""

import os, shlex, statistics, subprocess, sys

from bench import TRIVIAL, arguments, measure, private_display, shader_set

FRAMES, WIDTH, HEIGHT = 600, 800, 600
H264 = ["-c:v", "libx264", "-crf", "18"]
def seconds(value):
    return f"{value:.3f} s" if value >= 0.1 else f"{value * 1e3:.3g} ms"


def main():
    args = arguments(__doc__, rounds=3, runs=2, warmup=1).parse_args()
    load = [os.getloadavg()[0]]
    with private_display("quorlin-bench-") as (tmp, server):
        trivial = shader_set(tmp, "trivial", args.shaders, {"Image.frag": TRIVIAL})
        shipped = shader_set(tmp, "shipped", args.shaders, {})
        commands = {}
        for name, shaders in (("trivial", trivial), ("default", shipped)):
            for frames in (1, FRAMES):
                base = [args.quorlin, shaders, "--size", f"{WIDTH}x{HEIGHT}", "--frames", str(frames)]
                commands[(name, frames, "egl")] = base + ["--headless"]
                commands[(name, frames, "xvfb")] = base
        runs = measure(commands, args, tmp, server)

        # The same frames from a file: a stream written once, then read by ffmpeg alone.
        frames = os.path.join(tmp, "frames.y4m")
        stream = [args.quorlin, trivial, "--headless", "--size", f"{WIDTH}x{HEIGHT}", "--frames", str(FRAMES),
                  "--output", "-"]
        with open(frames, "wb") as out:
            subprocess.run(stream, stdout=out, stderr=subprocess.DEVNULL, check=True)
        encode = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"]
        piped = ["sh", "-c", shlex.join(stream) + " 2>/dev/null | " + shlex.join(
            encode + ["-i", "-", *H264, os.path.join(tmp, "piped.mp4")])]
        alone = ["sh", "-c", shlex.join(encode + ["-i", frames, *H264, os.path.join(tmp, "alone.mp4")])]
        pipe = measure({"piped": piped, "alone": alone}, args, tmp, server)
    load.append(os.getloadavg()[0])

    print(f"| Figure, {WIDTH}x{HEIGHT}, LP_NUM_THREADS={os.environ['LP_NUM_THREADS']} | Headless (EGL) | In Xvfb "
          "| Ratio |\n|---|---|---|---|")
    for name in ("trivial", "default"):
        egl, xvfb = ([runs[(name, frames, kind)] for frames in (1, FRAMES)] for kind in ("egl", "xvfb"))
        per = lambda pair, i: (pair[1][i] - pair[0][i]) / (FRAMES - 1)
        figures = [(f"Start-up to the first frame (`--frames 1`), {name} shader: wall", egl[0][0], xvfb[0][0]),
                   (f"{FRAMES} frames, {name} shader: wall", egl[1][0], xvfb[1][0]),
                   (f"{name.capitalize()} shader, per frame: wall", per(egl, 0), per(xvfb, 0)),
                   (f"{name.capitalize()} shader, per frame: CPU of Quorlin, and of the X server in Xvfb",
                    per(egl, 1), per(xvfb, 1) + per(xvfb, 2))]
        for label, measured, against in figures:
            print(f"| {label} | {seconds(measured)} | {seconds(against)} | {measured / against:.2f} |")
    print(f"\n| Figure, trivial shader, {WIDTH}x{HEIGHT}, {FRAMES} frames | Measured | Against | Ratio |\n"
          "|---|---|---|---|")
    for i, what in ((0, "wall"), (1, "CPU")):
        print(f"| `--output -` piped into ffmpeg (H.264, CRF 18) vs ffmpeg reading the same stream from a "
              f"file: {what} | {seconds(pipe['piped'][i])} | {seconds(pipe['alone'][i])} | "
              f"{pipe['piped'][i] / pipe['alone'][i]:.2f} |")
    print(f"\nPer frame is the difference of the 600-frame and the one-frame runs over 599. Medians (wall) "
          f"and means (CPU) of {args.rounds} rounds of {args.runs} runs in alternating order; 1-minute load "
          f"average {load[0]:.2f} before, {load[1]:.2f} after; {os.cpu_count()} CPUs.")


if __name__ == "__main__":
    sys.exit(main())
