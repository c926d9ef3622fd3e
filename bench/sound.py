#!/usr/bin/python3
"""Sound figures: the analysis per frame, alone and in the loop; a recording of a
sound-reactive set with its audio track against the same recording without one;
and the sound pass filling 180 s, and what it adds before the first frame. Prints
a Markdown table of figures; it judges nothing. Run through scripts/bench.sh --sound."""

import math, os, shutil, statistics, subprocess, sys, tempfile, time

import bench
from recording import median_walls

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
FRAMES, RECORDED, WIDTH, HEIGHT = 1000, 600, 800, 600
NOWHERE = "unix:/nonexistent"  # no sound server: a capture reads silence, nothing is recorded
BLOCK, SPAN = 65536, 180 * 44100


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
            capture = wired(tmp, "capture", '"microphone"')
            unwired = wired(tmp, "unwired", "")
            fixed = ["--rate", "60", "--size", f"{WIDTH}x{HEIGHT}"]
            per_frame, _ = bench.time_group({"sound": ([q, reactive] + fixed, FRAMES),
                                             "none": ([q, unwired] + fixed, FRAMES)}, args, tmp)
            clip = fixed + ["--frames", str(RECORDED), "--output"]
            with_track, without_track = median_walls(
                [[q, reactive] + clip + [os.path.join(tmp, "with.mp4")],
                 ["env", f"PULSE_SERVER={NOWHERE}", q, capture] + clip + [os.path.join(tmp, "without.mp4")]],
                args, tmp)
            synth = os.path.join(tmp, "synth")
            shutil.copytree(os.path.join(EXAMPLES, "synth"), synth)
            silent = bench.shader_set(tmp, "silent", synth, {})
            os.remove(os.path.join(silent, "Sound.fs"))
            wav = os.path.join(tmp, "s.wav")
            blocks = math.ceil(SPAN / BLOCK)
            full, one = median_walls([[q, synth, "--output", wav, "--frames", "10800", "--rate", "60"],
                                      [q, synth, "--output", wav, "--frames", "1", "--rate", str(44100 / BLOCK)]],
                                     args, tmp)
            block = (full - one) / (blocks - 1)
            # On the live clock, heard through the null sink: the first block and the connection.
            started, plain = median_walls([[q, synth, "--frames", "1"], [q, silent, "--frames", "1"]], args, tmp)
        finally:
            server.terminate()
            server.wait()
    sound_ms, none_ms = per_frame["sound"][1] * 1e3, per_frame["none"][1] * 1e3
    print("| Figure | Measured | Against | Ratio |\n|---|---|---|---|")
    print(f"| The analysis alone (`quorlin_sound_analysis`): CPU per frame | {alone} ms | 0.2 ms | "
          f"{float(alone) / 0.2:.2f} |")
    print(f"| examples/beat, {WIDTH}x{HEIGHT}, fixed clock: CPU per frame reading `beat.wav` vs nothing wired | "
          f"{sound_ms:.3f} ms | {none_ms:.3f} ms | {sound_ms / none_ms:.2f} |")
    print(f"| {RECORDED}-frame mp4 of examples/beat, wall: with its audio track vs the same set reading a silent "
          f"microphone (no track) | {with_track:.2f} s | {without_track:.2f} s | {with_track / without_track:.2f} |")
    print(f"| examples/synth's Sound.fs, 180 s to WAV ({blocks} blocks of {BLOCK} samples), wall | {full:.2f} s | "
          f"| |")
    print(f"| examples/synth, live clock: start-up to the first frame with Sound.fs vs without, against one "
          f"block ({block * 1e3:.0f} ms) | {(started - plain) * 1e3:.0f} ms more | {block * 1e3:.0f} ms | "
          f"{(started - plain) / block:.2f} |")
    print(f"\nStart-up medians: {started:.3f} s with, {plain:.3f} s without; one block to WAV {one:.3f} s. "
          f"1-minute load average {os.getloadavg()[0]:.2f}; {os.cpu_count()} CPUs.")


if __name__ == "__main__":
    sys.exit(main())
