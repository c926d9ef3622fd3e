#!/usr/bin/python3
"""Recording figures, trivial shader at 800x600 over 600 frames: an mp4, in a window
and without a display, and a PNG sequence against the larger of the run without
output and the encoder alone, and peak memory of a long recording against a short
one. Prints, judges nothing. Run through scripts/bench.sh --recording, which builds
the programs first."""

import os, statistics, sys

from bench import TRIVIAL, arguments, measure, peak_rss_mib, private_display, shader_set

FRAMES, LONG_FRAMES, WIDTH, HEIGHT, RATE = 600, 6000, 800, 600, 60
COLOUR = bytes([64, 128, 191, 255])  # what TRIVIAL draws
YUV = (118, 162, 97)  # the same in BT.709 limited range, as Quorlin hands it to ffmpeg
# The encoder settings Quorlin gives ffmpeg for an mp4.
H264 = ["-c:v", "libx264", "-crf", "18"]


def yuv420_frame():
    luma, blue, red = YUV
    return bytes([luma]) * (WIDTH * HEIGHT) + bytes([blue, red][n // (WIDTH * HEIGHT // 4)]
                                                     for n in range(WIDTH * HEIGHT // 2))


def row(what, measured, against):
    return f"| {what} | {measured:.2f} s | {against:.2f} s | {measured / against:.2f} |"


def main():
    # Five rounds of one run each, in alternating order: the median of five.
    parser = arguments(__doc__, rounds=5, runs=1, warmup=0)
    parser.add_argument("--png-encode", required=True)
    args = parser.parse_args()
    load = [os.getloadavg()[0]]
    with private_display("quorlin-bench-") as (tmp, server):
        trivial = shader_set(tmp, "trivial", args.shaders, {"Image.frag": TRIVIAL})
        raw, frames, sequence = (os.path.join(tmp, name) for name in ("frame.raw", "frames", "sequence"))
        with open(raw, "wb") as out:
            out.write(yuv420_frame())
        os.mkdir(frames)
        os.mkdir(sequence)
        q = [args.quorlin, trivial, "--size", f"{WIDTH}x{HEIGHT}", "--frames", str(FRAMES)]
        # The same frames from a file: one frame read 600 times, not 430 MB on disk.
        ffmpeg = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-stream_loop", str(FRAMES - 1),
                  "-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size", f"{WIDTH}x{HEIGHT}", "-framerate",
                  str(RATE), "-i", raw, *H264, os.path.join(tmp, "alone.mp4")]
        stb = [args.png_encode, frames, str(FRAMES), str(WIDTH), str(HEIGHT)]
        runs = measure({"plain": q, "mp4": q + ["--output", os.path.join(tmp, "clip.mp4")],
                        "headless plain": q + ["--headless"],
                        "headless mp4": q + ["--headless", "--output", os.path.join(tmp, "headless.mp4")],
                        "alone": ffmpeg, "pngs": q + ["--output", os.path.join(sequence, "%04d.png")],
                        "encoded": stb}, args, tmp, server)
        plain, mp4, headless_plain, headless_mp4, alone, pngs, encoded = (runs[n][0] for n in runs)
        # All the processor time a run takes, the X server's share of its swaps included.
        cpu = {name: wall_cpu_x[1] + wall_cpu_x[2] for name, wall_cpu_x in runs.items()}
        long = q[:-1] + [str(LONG_FRAMES), "--output", os.path.join(tmp, "long.mp4")]
        memory = [peak_rss_mib(argv, tmp) for argv in (q + ["--output", os.path.join(tmp, "m.mp4")], long)]
    print("| Figure, trivial shader, 800x600 | Measured | Against | Ratio |\n|---|---|---|---|")
    print(row(f"{FRAMES}-frame mp4 recording in Xvfb, wall, vs the larger of no output ({plain:.2f} s) and "
              f"ffmpeg alone ({alone:.2f} s)", mp4, max(plain, alone)))
    print(row(f"{FRAMES}-frame mp4 recording without a display (`--headless`), wall, vs the larger of no "
              f"output ({headless_plain:.2f} s) and ffmpeg alone", headless_mp4, max(headless_plain, alone)))
    for kind, label in (("", "in Xvfb"), ("headless ", "without a display")):
        parts = cpu[kind + "plain"] + cpu["alone"]
        print(f"| {FRAMES}-frame mp4 recording {label}, CPU (Quorlin, ffmpeg, X server), vs no output plus "
              f"ffmpeg alone | {cpu[kind + 'mp4']:.2f} s | {parts:.2f} s | {cpu[kind + 'mp4'] / parts:.2f} |")
    print(row(f"{FRAMES}-frame PNG sequence, wall, vs the larger of no output ({plain:.2f} s) and "
              f"stb_image_write alone on every core ({encoded:.2f} s)", pngs, max(plain, encoded)))
    print(f"| Peak memory (max RSS) of a {LONG_FRAMES}-frame mp4 recording vs a {FRAMES}-frame one | "
          f"{memory[1]:.1f} MiB | {memory[0]:.1f} MiB | {memory[1] / memory[0]:.2f} |")
    print(f"\nMedians of {args.rounds} rounds of {args.runs} run(s) in alternating order; ffmpeg alone reads "
          f"the yuv420p frames Quorlin hands it. 1-minute load average {load[0]:.2f} before, "
          f"{os.getloadavg()[0]:.2f} after; {os.cpu_count()} CPUs.")


if __name__ == "__main__":
    sys.exit(main())
