#!/usr/bin/python3
"""Parameters: per frame with 16 parameters (panel hidden) against the same set
whose uniforms have no initialisers; the rate the title shows with the panel
shown against hidden; and with a burst of 100 000 OSC messages a second from
quorlin_osc_sender against none, checking that the last value wins. Run through
scripts/bench.sh --params; prints figures, judges nothing."""

import os, re, select, socket, statistics, subprocess, time
from datetime import date

from PIL import Image
from Xlib import X, display

from bench import FOREVER, TRIVIAL_FRAMES, arguments, ms, private_display, shader_set, time_group
from pace import cpu_seconds

COUNT, BURST_RATE = 16, 100000
SETTLE, WINDOW_SECONDS, ROUNDS = 1.0, 3.0, 4
LAST = 0.2  # the burst's last value of p0, which the picture's red must show


def image(initialised):
    declarations = "".join(f"uniform float p{n}{f' = {n / 100}' if initialised else ''};\n" for n in range(COUNT))
    return declarations + "void main() { FragColor = vec4(p0, " + " + ".join(f"p{n}" for n in range(1, COUNT)) \
        + ", 0.5, 1.0); }\n"


class Running:
    """quorlin on a set, its window found; reads the rate its title shows."""

    def __init__(self, quorlin, shaders, cwd, *options):
        self.proc = subprocess.Popen([quorlin, "--frames", FOREVER, *options, shaders], cwd=cwd,
                                     stdout=subprocess.PIPE, bufsize=0)
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--pid", str(self.proc.pid)],
                               capture_output=True, text=True, check=True, timeout=30).stdout
        self.server = display.Display()
        self.window = self.server.create_resource_object("window", int(found.split()[0]))
        self.window.warp_pointer(400, 300)
        self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        self.server.sync()
        time.sleep(SETTLE)

    def rate(self):
        """The title's rate, read every 50 ms for WINDOW_SECONDS: its median, and CPU seconds per
        frame of the main thread and of the whole process, the frames counted from the rates' mean.
        CPU per frame holds on a busy machine, where the rate follows what other processes leave."""
        name, shown, main = self.server.intern_atom("_NET_WM_NAME"), [], f"{self.proc.pid}/task/{self.proc.pid}"
        start, cpu = time.monotonic(), (cpu_seconds(main), cpu_seconds(self.proc.pid))
        while time.monotonic() < start + WINDOW_SECONDS:
            shown.append(int(self.window.get_full_property(name, 0).value.split()[-1]))
            time.sleep(0.05)
        frames = statistics.mean(shown) * (time.monotonic() - start)
        return (statistics.median(shown), (cpu_seconds(main) - cpu[0]) / frames,
                (cpu_seconds(self.proc.pid) - cpu[1]) / frames)

    def tab(self):
        subprocess.run(["xdotool", "keydown", "Tab", "sleep", "0.2", "keyup", "Tab"], check=True)
        time.sleep(SETTLE)

    def line(self, prefix):
        deadline = time.monotonic() + 10
        while select.select([self.proc.stdout], [], [], max(0, deadline - time.monotonic()))[0]:
            line = self.proc.stdout.readline().decode()
            if line.startswith(prefix) or not line:
                return line
        return ""

    def close(self):
        self.server.close()
        self.proc.terminate()
        self.proc.wait()


def medians(readings):
    return tuple(statistics.median(column) for column in zip(*readings))


def panel_rates(quorlin, shaders, tmp):
    run, hidden, shown = Running(quorlin, shaders, tmp), [], []
    try:
        for _ in range(ROUNDS):
            hidden.append(run.rate())
            run.tab()
            shown.append(run.rate())
            run.tab()
    finally:
        run.close()
    return medians(hidden), medians(shown)


def burst_rates(quorlin, sender, shaders, tmp):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        port = str(probe.getsockname()[1])
    run, quiet, busy, sent = Running(quorlin, shaders, tmp, "--osc", port), [], [], 0
    try:
        for _ in range(ROUNDS):
            quiet.append(run.rate())
            burst = subprocess.Popen([sender, port, str(BURST_RATE), str(WINDOW_SECONDS + 2 * SETTLE), "/p0",
                                      str(LAST)], stdout=subprocess.PIPE, text=True)
            time.sleep(SETTLE)
            busy.append(run.rate())
            sent += int(burst.communicate()[0])
        time.sleep(SETTLE)
        subprocess.run(["oscsend", "127.0.0.1", port, "/quorlin/screenshot"], check=True)
        saved = re.match(r"Saved (.*)\n", run.line("Saved"))
        red = Image.open(saved[1]).getpixel((400, 300))[0] if saved else None
    finally:
        run.close()
    return medians(quiet), medians(busy), sent, red


def main():
    parser = arguments(__doc__)
    parser.add_argument("--sender", required=True)
    parser.add_argument("--readme", nargs="?", const=os.path.join(os.path.dirname(__file__), "..", "README.md"),
                        help="also write the table between the README's parameter markers")
    args = parser.parse_args()
    with private_display("quorlin-params-") as (tmp, _):
        sixteen = shader_set(tmp, "sixteen", args.shaders, {"Image.frag": image(True)})
        none = shader_set(tmp, "none", args.shaders, {"Image.frag": image(False)})
        t, _ = time_group({"sixteen": ([args.quorlin, sixteen], TRIVIAL_FRAMES),
                           "none": ([args.quorlin, none], TRIVIAL_FRAMES)}, args, tmp)
        hidden, shown = panel_rates(args.quorlin, sixteen, tmp)
        quiet, busy, sent, red = burst_rates(args.quorlin, args.sender, sixteen, tmp)
    ratio = lambda a, b: " / ".join(f"{x / y:.2f}" for x, y in zip(a, b))
    row = lambda label, a, b: (f"| {label}: the title's rate / CPU per frame, main thread / every thread | "
                               f"{a[0]:g} / {ms(a[1])} / {ms(a[2])} | {b[0]:g} / {ms(b[1])} / {ms(b[2])} | "
                               f"{ratio(a, b)} |")
    block = "\n".join([
        "| Figure | Measured | Against | Ratio |", "|---|---|---|---|",
        f"| {COUNT} parameters, panel hidden: per frame, vs the same uniforms without initialisers | "
        f"{' / '.join(ms(x) for x in t['sixteen'])} | {' / '.join(ms(x) for x in t['none'])} | "
        f"{ratio(t['sixteen'], t['none'])} |",
        row(f"The same {COUNT} parameters in one window, panel shown vs hidden", shown, hidden),
        row(f"The same, {BURST_RATE} OSC messages a second to p0 vs none", busy, quiet), "",
        f"Window rows: medians of {ROUNDS} alternating rounds of {WINDOW_SECONDS:g} s, the title read every "
        "50 ms.",
        f"{sent} messages sent; after the last burst p0 = {LAST} was sent last, and a screenshot's red is "
        f"{red} (expected {round(LAST * 255)}). Measured {date.today()}, LP_NUM_THREADS="
        f"{os.environ['LP_NUM_THREADS']}; per frame is wall / CPU; 1-minute load average "
        f"{os.getloadavg()[0]:.2f} at the end."])
    print(block)
    if args.readme:
        with open(args.readme) as readme:
            head, rest = readme.read().split("<!-- params:begin -->\n", 1)
        with open(args.readme, "w") as readme:
            readme.write(f"{head}<!-- params:begin -->\n{block}\n<!-- params:end -->"
                         + rest.split("<!-- params:end -->", 1)[1])


if __name__ == "__main__":
    main()
