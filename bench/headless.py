#!/usr/bin/python3
"""Rendering with no display server: start-up to the first frame and 600-frame runs of
the trivial and the default shader through EGL (--headless) against the same in Xvfb,
and --output - piped into ffmpeg against ffmpeg reading the same frames from a file.
Prints a Markdown table of figures; it judges nothing. Run through
scripts/bench.sh --headless."""

import os, shlex, statistics, subprocess, sys

from bench import TRIVIAL, arguments, hyperfine, private_display, shader_set

FRAMES, WIDTH, HEIGHT = 600, 800, 600
H264 = ["-c:v", "libx264", "-crf", "18"]


def median_walls(commands, args, tmp):
    """Median wall seconds of each command over rounds of alternating order."""
    walls = {name: [] for name in commands}
    for round_ in range(args.rounds):
        order = list(commands)[:: 1 if round_ % 2 == 0 else -1]
        for name, result in zip(order, hyperfine([commands[n] for n in order], args, tmp, args.runs)):
            walls[name] += result["times"]
    return {name: statistics.median(times) for name, times in walls.items()}


def row(what, measured, against):
    return f"| {what} | {measured:.3f} s | {against:.3f} s | {measured / against:.2f} |"


def main():
    args = arguments(__doc__, rounds=3, runs=2, warmup=1).parse_args()
    load = [os.getloadavg()[0]]
    with private_display("quorlin-bench-") as (tmp, _):
        trivial = shader_set(tmp, "trivial", args.shaders, {"Image.frag": TRIVIAL})
        shipped = shader_set(tmp, "shipped", args.shaders, {})
        commands = {}
        for name, shaders in (("trivial", trivial), ("default", shipped)):
            for frames in (1, FRAMES):
                base = [args.quorlin, shaders, "--size", f"{WIDTH}x{HEIGHT}", "--frames", str(frames)]
                commands[(name, frames, "egl")] = base + ["--headless"]
                commands[(name, frames, "xvfb")] = base
        walls = median_walls(commands, args, tmp)

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
        pipe = median_walls({"piped": piped, "alone": alone}, args, tmp)
    load.append(os.getloadavg()[0])
    print("| Figure, 800x600, LP_NUM_THREADS=0 | Headless (EGL) | In Xvfb | Ratio |\n|---|---|---|---|")
    for name in ("trivial", "default"):
        one = (walls[(name, 1, "egl")], walls[(name, 1, "xvfb")])
        print(row(f"Start-up to the first frame (`--frames 1`), {name} shader", *one))
        print(row(f"{FRAMES} frames, {name} shader", walls[(name, FRAMES, "egl")], walls[(name, FRAMES, "xvfb")]))
        per = [(walls[(name, FRAMES, kind)] - walls[(name, 1, kind)]) / (FRAMES - 1) for kind in ("egl", "xvfb")]
        print(f"| Per frame, {name} shader (the two above's difference over {FRAMES - 1}) | "
              f"{per[0] * 1e3:.3f} ms | {per[1] * 1e3:.3f} ms | {per[0] / per[1]:.2f} |")
    print(f"\n| Figure, trivial shader, {WIDTH}x{HEIGHT}, {FRAMES} frames | Measured | Against | Ratio |\n"
          "|---|---|---|---|")
    print(row("`--output -` piped into ffmpeg (H.264, CRF 18), vs ffmpeg reading the same stream from a file",
              pipe["piped"], pipe["alone"]))
    print(f"\nMedians of {args.rounds} rounds of {args.runs} runs in alternating order; 1-minute load average "
          f"{load[0]:.2f} before, {load[1]:.2f} after; {os.cpu_count()} CPUs.")


if __name__ == "__main__":
    sys.exit(main())
