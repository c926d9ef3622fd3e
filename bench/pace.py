#!/usr/bin/python3
"""What --max-fps spares and holds, in a private Xvfb on llvmpipe: the CPU of a
paused window over 10 s, program and X server together, with --max-fps 60 and
without; and the rate --max-fps 60 and 240 reach on the trivial shader against
the request, as the title shows it. Run through scripts/bench.sh --pace; prints figures, judges nothing."""

import os, statistics, subprocess, time

from bench import FOREVER, TRIVIAL, arguments, private_display, shader_set
from Xlib import display

PAUSED_SECONDS, SETTLE_SECONDS = 10, 2
RATES, RATE_SECONDS = (60, 240), 5


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def paused_cpu(quorlin, shaders, server, options):
    """Shares of one core (program, X server) of a window left paused as it starts."""
    proc = subprocess.Popen([quorlin, *options, shaders], stdout=subprocess.DEVNULL)
    try:
        time.sleep(SETTLE_SECONDS)  # past start-up
        before = cpu_seconds(proc.pid), cpu_seconds(server.pid)
        time.sleep(PAUSED_SECONDS)
        after = cpu_seconds(proc.pid), cpu_seconds(server.pid)
    finally:
        proc.terminate()
        proc.wait()
    return [(a - b) / PAUSED_SECONDS for a, b in zip(after, before)]


def shown_rates(quorlin, shaders, fps):
    """The rates the title shows, read every 50 ms over RATE_SECONDS of a paced run: the
    figure a person sees. Timing whole runs instead swings with start-up on a busy machine."""
    proc = subprocess.Popen([quorlin, "--max-fps", str(fps), "--frames", FOREVER, shaders],
                            stdout=subprocess.DEVNULL)
    try:
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(proc.pid)],
                               capture_output=True, text=True, check=True, timeout=30).stdout
        server = display.Display()
        window, name = server.create_resource_object("window", int(found.split()[0])), server.intern_atom("_NET_WM_NAME")
        time.sleep(SETTLE_SECONDS)  # past start-up and the first title
        shown, end = [], time.monotonic() + RATE_SECONDS
        while time.monotonic() < end:
            shown.append(int(window.get_full_property(name, 0).value.split()[-1]))
            time.sleep(0.05)
        server.close()
    finally:
        proc.terminate()
        proc.wait()
    return statistics.median(shown), min(shown), max(shown)


def main():
    args = arguments(__doc__).parse_args()
    with private_display("quorlin-pace-") as (tmp, server):
        trivial = shader_set(tmp, "trivial", args.shaders, {"Image.frag": TRIVIAL})
        paced = paused_cpu(args.quorlin, trivial, server, ["--max-fps", "60"])
        unpaced = paused_cpu(args.quorlin, trivial, server, [])
        rates = [shown_rates(args.quorlin, trivial, fps) for fps in RATES]
    share = lambda cpu: f"{100 * sum(cpu):.2f} % ({100 * cpu[0]:.2f} % + {100 * cpu[1]:.2f} %)"
    print("| Figure | Measured | Against |\n|---|---|---|")
    print(f"| Paused window, {PAUSED_SECONDS} s: one core's share, program + X server, `--max-fps 60` "
          f"vs without | {share(paced)} | {share(unpaced)} |")
    for fps, (median, low, high) in zip(RATES, rates):
        print(f"| Trivial shader, 800x600: the title's rate over {RATE_SECONDS} s with `--max-fps {fps}`, "
              f"median (lowest to highest) vs the request | {median:g} ({low} to {high}) | {fps} |")

if __name__ == "__main__":
    main()
