#!/usr/bin/python3
"""Video inputs: a 1920 x 1080 60 fps clip on the fixed clock, per frame, against
the same set reading a still image of that size, beside what ffmpeg alone needs
to decode the clip; and in a window on the live clock, the clip's frames
skipped over 10 s while the shader renders faster than the clip's rate.
Prints figures, judges nothing. Run through scripts/bench.sh --video."""

import os, re, shlex, subprocess, time

import bench

WIDTH, HEIGHT, RATE, SECONDS = 1920, 1080, 60, 12
FRAMES = 240
RENDER_SIZES = [f"{WIDTH}x{HEIGHT}", "800x600"]
SHOW = "in vec2 TexCoord;\nuniform sampler2D clip;\nvoid main() { FragColor = texture(clip, TexCoord); }\n"
# Rendered well above the clip's rate, long enough for 10 s of it.
WINDOW_SIZE, WINDOW_RATE, WINDOW_FRAMES = "320x180", 240, 2400
QUIET = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"]


def make_media(tmp):
    """A clip made here, encoded as Quorlin records an mp4, and its first frame as a PNG."""
    clip, still = os.path.join(tmp, "clip.mp4"), os.path.join(tmp, "still.png")
    subprocess.run(QUIET + ["-f", "lavfi", "-i", f"testsrc2=size={WIDTH}x{HEIGHT}:rate={RATE}:duration={SECONDS}",
                            "-c:v", "libx264", "-crf", "18", "-pix_fmt", "yuv420p", clip], check=True)
    subprocess.run(QUIET + ["-i", clip, "-frames:v", "1", still], check=True)
    return clip, still


def decode_alone(clip, args, tmp, piped):
    """(wall, CPU) per frame of ffmpeg decoding the clip to RGBA and throwing it away, into
    /dev/null, or piped: through a pipe that cat empties, as a child's frames travel."""
    def command(frames):
        decode = QUIET + ["-i", clip, "-frames:v", str(frames), "-vf", "format=rgba", "-f", "rawvideo"]
        return ["sh", "-c", shlex.join(decode + ["-"]) + " | cat >/dev/null"] if piped else decode + ["/dev/null"]
    runs = {}
    for round_ in range(args.rounds):
        order = [FRAMES, 1] if round_ % 2 == 0 else [1, FRAMES]
        for frames, result in zip(order, bench.hyperfine([command(f) for f in order], args, tmp, args.runs)):
            runs.setdefault(frames, []).append((result["median"], result["user"] + result["system"]))
    mean = {f: [sum(r[i] for r in runs[f]) / len(runs[f]) for i in (0, 1)] for f in runs}
    return tuple((mean[FRAMES][i] - mean[1][i]) / (FRAMES - 1) for i in (0, 1))


def skipped_in_window(quorlin, clip, shaders):
    """Frames skipped, and the rate rendered, over a live-clock run of at least 10 s."""
    started = time.monotonic()
    run = subprocess.run([quorlin, shaders, "--size", WINDOW_SIZE, "--texture", f"clip={clip}",
                          "--max-fps", str(WINDOW_RATE), "--frames", str(WINDOW_FRAMES)],
                         capture_output=True, text=True, check=True)
    elapsed = time.monotonic() - started
    found = re.search(r"^Skipped (\d+) late frames? of video", run.stdout, re.M)
    return int(found[1]) if found else 0, WINDOW_FRAMES / elapsed, elapsed


def main():
    args = bench.arguments(__doc__, rounds=2, runs=3).parse_args()
    with bench.private_display("quorlin-bench-video-") as (tmp, _):
        clip, still = make_media(tmp)
        shaders = bench.shader_set(tmp, "show", args.shaders, {"Image.frag": SHOW})
        subjects = {}
        for size in RENDER_SIZES:
            sampled = ["--size", size, "--sampler", "clip=linear,clamp", "--time", "0", shaders]
            subjects[f"video {size}"] = ([args.quorlin, "--texture", f"clip={clip}", *sampled], FRAMES)
            subjects[f"still {size}"] = ([args.quorlin, "--texture", f"clip={still}", *sampled], FRAMES)
        f, _ = bench.time_group(subjects, args, tmp)
        decode = decode_alone(clip, args, tmp, False)
        piped = decode_alone(clip, args, tmp, True)
        skipped, rate, elapsed = skipped_in_window(args.quorlin, clip, shaders)
    print("| Figure | Measured | Against | Ratio | At most |\n|---|---|---|---|---|")
    for size in RENDER_SIZES:
        video, still = f[f"video {size}"], f[f"still {size}"]
        print(f"| {WIDTH} x {HEIGHT} {RATE} fps clip on the fixed clock vs a still image of that size, "
              f"rendered at {size}: per frame | {' / '.join(bench.ms(x) for x in video)} | "
              f"{' / '.join(bench.ms(x) for x in still)} | "
              f"{' / '.join(f'{v / s:.2f}' for v, s in zip(video, still))} | "
              f"{' / '.join(f'{1.15 + d / s:.2f}' for d, s in zip(decode, still))} |")
    print(f"| ffmpeg alone decoding the clip to RGBA into /dev/null: per frame (the limits above are 1.15 + "
          f"this / the still's) | {' / '.join(bench.ms(x) for x in decode)} | | | |")
    print(f"| The same through a pipe that `cat` empties, as a child's frames travel | "
          f"{' / '.join(bench.ms(x) for x in piped)} | | | |")
    print(f"| In a window on the live clock, {WINDOW_SIZE}, `--max-fps {WINDOW_RATE}`: the clip's frames "
          f"skipped over {elapsed:.1f} s, rendering at {rate:.0f} fps | {skipped} | 0 | | |")
    print(f"\nPer frame is wall / CPU (Quorlin's CPU includes its ffmpeg's). "
          f"LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}; 1-minute load average {os.getloadavg()[0]:.2f}.")


if __name__ == "__main__":
    main()
