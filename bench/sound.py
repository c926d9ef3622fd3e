#!/usr/bin/python3
"""Sound figures: the analysis per frame, alone and in the loop; a recording of a
set whose picture keeps time with its sound, with its audio track against the same
recording without one; and the sound pass filling 180 s, and what it adds before
the first frame. Prints a Markdown table of figures; it judges nothing. Run through
scripts/bench.sh --sound."""

import math, os, shutil, statistics, subprocess, sys, tempfile, time

from PIL import Image

import bench
from bench import median_walls

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
FRAMES, RECORDED, WIDTH, HEIGHT = 1000, 600, 800, 600
BLOCK, SPAN = 65536, 180 * 44100
NOWHERE = "PULSE_SERVER=unix:/nonexistent"  # no sound server: a capture reads silence


def sound_server(tmp):
    """A private PulseAudio with a null sink, as the tests use."""
    home = os.path.join(tmp, "pulse")
    os.mkdir(home)
    server = subprocess.Popen(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--disable-shm=yes", "-L", "module-null-sink sink_name=bench rate=44100 channels=2",
                               "-L", f"module-native-protocol-unix socket={home}/native auth-anonymous=1"],
                              env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.environ["PULSE_SERVER"] = f"unix:{home}/native"
    for _ in range(300):
        if subprocess.run(["pactl", "info"], capture_output=True).returncode == 0:
            return server
        time.sleep(0.1)
    sys.exit("the sound server did not start")


def wired(tmp, name, channel):
    """examples/beat with channel 0 wired to channel (a quorlin.toml value)."""
    path = os.path.join(tmp, name)
    shutil.copytree(os.path.join(EXAMPLES, "beat"), path)
    with open(os.path.join(path, "quorlin.toml"), "w") as toml:
        toml.write(f"[Image]\niChannel0 = {channel}\n" if channel else "")
    return path


def main():
    parser = bench.arguments(__doc__, rounds=2, runs=3, warmup=1)
    parser.add_argument("--analysis", required=True, help="quorlin_sound_analysis")
    args = parser.parse_args()
    alone = subprocess.run([args.analysis], capture_output=True, text=True, check=True).stdout.split()[0]
    with bench.private_display("quorlin-bench-sound-") as (tmp, _):
        server = sound_server(tmp)
        try:
            q = args.quorlin
            reactive = wired(tmp, "reactive", '{ audio = "beat.wav" }')
            # The same texture, analysed each frame, of silence.
            quiet = wired(tmp, "quiet", '"microphone"')
            # A still picture of the texture's size, sampled alike, but 8-bit RGBA.
            still = wired(tmp, "still", '{ file = "still.png", filter = "linear", wrap = "clamp" }')
            Image.new("L", (512, 2), 128).save(os.path.join(still, "still.png"))
            fixed = ["--rate", "60", "--size", f"{WIDTH}x{HEIGHT}"]
            per_frame, _ = bench.time_group({"sound": ([q, reactive] + fixed, FRAMES),
                                             "quiet": (["env", NOWHERE, q, quiet] + fixed, FRAMES),
                                             "still": ([q, still] + fixed, FRAMES)}, args, tmp)
            # Its picture follows iTime alone, so without Sound.fs it is the same picture.
            synth = os.path.join(tmp, "synth")
            shutil.copytree(os.path.join(EXAMPLES, "synth"), synth)
            silent = bench.shader_set(tmp, "silent", synth, {})
            os.remove(os.path.join(silent, "Sound.fs"))
            clip = fixed + ["--frames", str(RECORDED), "--output"]
            with_track, without_track = median_walls(
                [[q, synth] + clip + [os.path.join(tmp, "with.mp4")],
                 [q, silent] + clip + [os.path.join(tmp, "without.mp4")]], args, tmp)
            wav = os.path.join(tmp, "s.wav")
            blocks = math.ceil(SPAN / BLOCK)
            full, one = median_walls([[q, synth, "--output", wav, "--frames", "10800", "--rate", "60"],
                                      [q, synth, "--output", wav, "--frames", "1", "--rate", str(44100 / BLOCK)]],
                                     args, tmp)
            block = (full - one) / (blocks - 1)
            # On the live clock, heard through the null sink: Sound.fs built, the server connected and
            # the first block rendered; on the fixed clock, without a recording, only built.
            started, plain, built = median_walls([[q, synth, "--frames", "1"], [q, silent, "--frames", "1"],
                                                  [q, synth, "--frames", "1", "--rate", "60"]], args, tmp)
            plain_fixed = median_walls([[q, silent, "--frames", "1", "--rate", "60"]], args, tmp)[0]
        finally:
            server.terminate()
            server.wait()
    sound_ms, quiet_ms, still_ms = (per_frame[n][1] * 1e3 for n in ("sound", "quiet", "still"))
    beyond = (started - plain) - (built - plain_fixed)
    print("| Figure | Measured | Against | Ratio |\n|---|---|---|---|")
    print(f"| The analysis alone (`quorlin_sound_analysis`): CPU per frame | {alone} ms | 0.2 ms | "
          f"{float(alone) / 0.2:.2f} |")
    print(f"| examples/beat, {WIDTH}x{HEIGHT}, fixed clock: CPU per frame reading `beat.wav` vs a silent "
          f"microphone (the same texture, analysed) | {sound_ms:.3f} ms | {quiet_ms:.3f} ms | "
          f"{sound_ms / quiet_ms:.2f} |")
    print(f"| The same, the silent microphone's GL_R8 texture vs a still 512 x 2 RGBA8 picture sampled alike "
          f"(llvmpipe's sampling of GL_R8) | {quiet_ms:.3f} ms | {still_ms:.3f} ms | {quiet_ms / still_ms:.2f} |")
    print(f"| {RECORDED}-frame mp4 of examples/synth, wall: with its audio track (Sound.fs) vs the same pictures "
          f"without Sound.fs, so without a track | {with_track:.2f} s | {without_track:.2f} s | "
          f"{with_track / without_track:.2f} |")
    print(f"| examples/synth's Sound.fs, 180 s to WAV ({blocks} blocks of {BLOCK} samples), wall | {full:.2f} s | "
          f"| |")
    print(f"| examples/synth, live clock: the first frame's delay with Sound.fs beyond building it (the "
          f"server's connection and the first block) vs one block | {beyond * 1e3:.0f} ms | {block * 1e3:.0f} ms | "
          f"{beyond / block:.2f} |")
    print(f"\nStart-up (`--frames 1`) medians: live clock {started:.3f} s with Sound.fs, {plain:.3f} s without; "
          f"fixed clock (built, not rendered) {built:.3f} s with, {plain_fixed:.3f} s without. "
          f"One block to WAV {one:.3f} s. "
          f"1-minute load average {os.getloadavg()[0]:.2f}; {os.cpu_count()} CPUs.")


if __name__ == "__main__":
    sys.exit(main())
