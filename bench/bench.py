#!/usr/bin/python3
"""Times Quorlin against bench/reference_loop.cpp with hyperfine in a private
Xvfb on llvmpipe and prints a Markdown table of figures; it judges nothing.
Run through scripts/bench.sh, which builds both programs first."""

import argparse, contextlib, json, os, re, select, shlex, shutil, statistics, subprocess, sys, tempfile, time
from datetime import date

TRIVIAL = "void main() { FragColor = vec4(0.25, 0.5, 0.75, 1.0); }\n"
SAMPLE = "uniform sampler2D iChannel{0};\nin vec2 TexCoord;\nvoid main() {{ FragColor = {1}; }}\n"
# The image reads all four targets; B reads A and C reads B, so the passes chain.
FOUR_PASSES = {
    "Image.frag": "".join(f"uniform sampler2D iChannel{n};\n" for n in range(3))
    + SAMPLE.format(3, " + ".join(f"0.25 * texture(iChannel{n}, TexCoord)" for n in range(4))),
    "BufferA.fs": TRIVIAL,
    "BufferB.fs": SAMPLE.format(0, "texture(iChannel0, TexCoord).bgra"),
    "BufferC.fs": SAMPLE.format(1, "0.5 * texture(iChannel1, TexCoord)"),
    "BufferD.fs": "void main() { FragColor = vec4(iMouse.xy / iResolution, 0.5, 1.0); }\n",
}
# quorlin.toml wires a chain: each buffer reads its own last frame on channel 0 and the
# buffer before it on channel 1 (A: D's last frame); the image reads D.
CHAIN_PASS = ("uniform sampler2D iChannel0;\nuniform sampler2D iChannel1;\nin vec2 TexCoord;\nvoid main() { "
              "FragColor = 0.5 * texture(iChannel0, TexCoord) + 0.5 * texture(iChannel1, TexCoord).gbra "
              "+ 0.01 * vec4(TexCoord, 0.5, 1.0); }\n")
CHAIN = {"quorlin.toml": "".join(f'[Buffer{x}]\niChannel0 = "Buffer{x}"\niChannel1 = "Buffer{"DABC"[i]}"\n'
                                 for i, x in enumerate("ABCD")) + '[Image]\niChannel0 = "BufferD"\n',
         **{f"Buffer{x}.fs": CHAIN_PASS for x in "ABCD"}, "Image.frag": SAMPLE.format(0, "texture(iChannel0, TexCoord)")}
# Each timed run takes about two seconds here.
TRIVIAL_FRAMES, DEFAULT_FRAMES, PASS_FRAMES, OUTPUT_FRAMES = 2000, 150, 60, 600
EDITS = 20
FOREVER = str(2**31 - 1)


def no_cache():
    return dict(os.environ, MESA_SHADER_CACHE_DISABLE="true")


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                               "1280x720x24", "-nolisten", "tcp", "-noreset"],
                              pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number
    return server


def arguments(description, rounds=4, runs=3, warmup=1):
    """The options every benchmark script takes; a script adds its own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--quorlin", required=True)
    parser.add_argument("--shaders", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Shaders"))
    parser.add_argument("--rounds", type=int, default=rounds)
    parser.add_argument("--runs", type=int, default=runs, help="timed runs per command per round")
    parser.add_argument("--warmup", type=int, default=warmup, help="untimed runs per command per round")
    return parser


@contextlib.contextmanager
def private_display(prefix):
    """A scratch directory and a private X server on software GL, gone afterwards."""
    # One rendering thread: a frame's cost is the loop's plus its pixels, and
    # on two busy cores the figures swing less.
    os.environ.setdefault("LP_NUM_THREADS", "0")
    os.environ["LIBGL_ALWAYS_SOFTWARE"] = "1"
    with tempfile.TemporaryDirectory(prefix=prefix) as tmp:
        # Private, and filled by the warm-ups, so no run depends on earlier ones.
        os.environ["MESA_SHADER_CACHE_DIR"] = os.path.join(tmp, "cache")
        server = start_xvfb()
        try:
            yield tmp, server
        finally:
            server.terminate()
            server.wait()


def shader_set(tmp, name, shipped, replaced):
    shutil.copytree(shipped, os.path.join(tmp, name))
    for file, text in replaced.items():
        with open(os.path.join(tmp, name, file), "w") as out:
            out.write(text)
    return os.path.join(tmp, name)


def hyperfine(commands, args, tmp, runs, env=None):
    """hyperfine's results for commands; a failed run ends the benchmark."""
    out, log = os.path.join(tmp, "hyperfine.json"), os.path.join(tmp, "output.log")
    with open(log, "w") as output:
        subprocess.run(["hyperfine", "-N", "-i", "--style", "none", "--warmup", str(args.warmup),
                        "--runs", str(runs), "--output", "inherit", "--export-json", out]
                       + [shlex.join(c) for c in commands], check=True, stdout=output, env=env)
    with open(out) as results, open(log, errors="replace") as output:
        results, printed = json.load(results)["results"], output.read()
    failed = [f"{r['command']} exited with {r['exit_codes']}" for r in results if any(r["exit_codes"])]
    if failed:
        sys.exit("\n".join(failed + ["Printed:", printed]))
    return results


TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        return sum(map(int, stat.read().rsplit(")", 1)[1].split()[11:13])) / TICKS


def measure(commands, args, tmp, server):
    """{name: (median wall, mean CPU of the command and its children, X server CPU a run)}
    over rounds of alternating order; each command alone in hyperfine, so that the
    server's CPU time between two readings is that command's."""
    walls, cpu, served = ({name: [] for name in commands} for _ in range(3))
    for round_ in range(args.rounds):
        for name in list(commands)[:: 1 if round_ % 2 == 0 else -1]:
            before = cpu_seconds(server.pid)
            result = hyperfine([commands[name]], args, tmp, args.runs)[0]
            served[name].append((cpu_seconds(server.pid) - before) / (args.runs + args.warmup))
            walls[name] += result["times"]
            cpu[name].append(result["user"] + result["system"])
    return {name: (statistics.median(walls[name]), statistics.mean(cpu[name]), statistics.mean(served[name]))
            for name in commands}


def median_walls(commands, args, tmp):
    """Median wall seconds of each command over rounds of alternating order."""
    walls = [[] for _ in commands]
    for round_ in range(args.rounds):
        order = list(range(len(commands)))[:: 1 if round_ % 2 == 0 else -1]
        for index, result in zip(order, hyperfine([commands[i] for i in order], args, tmp, args.runs)):
            walls[index] += result["times"]
    return [statistics.median(times) for times in walls]


def time_group(subjects, args, tmp):
    """subjects: {name: (argv, frames)}, each run at its frame count and at one
    frame, in rounds of reversed order so that the machine's drift falls on
    all alike. Per frame is the difference over frames - 1: start-up drops
    out. Returns ({name: (wall, CPU) per frame}, {command: (wall, CPU, times)})."""
    commands = {}
    for name, (argv, frames) in subjects.items():
        commands[name], commands[name + "@1"] = argv + ["--frames", str(frames)], argv + ["--frames", "1"]
    wall, cpu = {n: [] for n in commands}, {n: [] for n in commands}
    for round_ in range(args.rounds):
        order = list(commands)[:: 1 if round_ % 2 == 0 else -1]
        for name, result in zip(order, hyperfine([commands[n] for n in order], args, tmp, args.runs)):
            wall[name] += result["times"]
            cpu[name].append(result["user"] + result["system"])
    # The median wall time shrugs off a run that another process slowed down;
    # hyperfine gives CPU time only as a mean per command.
    runs = {n: (statistics.median(wall[n]), statistics.mean(cpu[n]), wall[n]) for n in commands}
    return {n: tuple((runs[n][i] - runs[n + "@1"][i]) / (f - 1) for i in (0, 1))
            for n, (_, f) in subjects.items()}, runs


def peak_rss_mib(argv, tmp):
    subprocess.run(["/usr/bin/time", "-f", "%M", "-o", os.path.join(tmp, "rss")] + argv, check=True,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(tmp, "rss")) as kib:
        return int(kib.read().split()[-1]) / 1024


def wait_for_line(proc, prefix):
    deadline = time.monotonic() + 10
    while select.select([proc.stdout], [], [], max(0, deadline - time.monotonic()))[0]:
        line = proc.stdout.readline()
        if line.startswith(prefix.encode()):
            return
        if not line:
            break
    sys.exit(f"no '{prefix}' line from {proc.args}")


def edit_latency(quorlin, shipped, tmp):
    """Median seconds from renaming a new Image.frag over the old to the
    reload line. A new comment each time and no shader cache, so every
    reload compiles as an edit would."""
    image = os.path.join(shader_set(tmp, "edited", shipped, {}), "Image.frag")
    staged = image + ".new"  # not a name of the set, so its own events are ignored
    with open(image) as original:
        source = original.read()
    proc = subprocess.Popen([quorlin, "--watch", "--frames", FOREVER, os.path.dirname(image)],
                            stdout=subprocess.PIPE, bufsize=0, env=no_cache())
    latencies = []
    try:
        wait_for_line(proc, "C++")
        time.sleep(1)
        for edit in range(EDITS):
            with open(staged, "w") as out:
                out.write(f"{source}// edit {edit} at {time.time()}\n")
            os.rename(staged, image)
            saved = time.monotonic()
            wait_for_line(proc, "Reloaded shaders from")
            latencies.append(time.monotonic() - saved)
            time.sleep(0.3)  # the new program reaches the screen before the next save
    finally:
        proc.terminate()
        proc.wait()
    return statistics.median(latencies)


def vm_mib(pid, field):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(field + r":\s+(\d+)", status.read())[1]) / 1024


def soak(quorlin, shipped, minutes):
    proc = subprocess.Popen([quorlin, "--frames", FOREVER, shipped], stdout=subprocess.DEVNULL)
    try:
        time.sleep(10)  # past start-up and the first frames' allocations
        start = vm_mib(proc.pid, "VmRSS")
        time.sleep(minutes * 60)
        if proc.poll() is not None:
            sys.exit(f"quorlin stopped with status {proc.returncode}")
        end = vm_mib(proc.pid, "VmRSS")
        print(f"Default shader, {minutes:g} minutes after the first 10 s: VmRSS {start:.1f} MiB "
              f"-> {end:.1f} MiB ({end - start:+.2f} MiB), VmHWM {vm_mib(proc.pid, 'VmHWM'):.1f} MiB")
    finally:
        proc.terminate()
        proc.wait()


def ms(seconds):
    return f"{seconds * 1e3:.0f} ms" if seconds >= 0.1 else f"{seconds * 1e3:.3g} ms"


def table(rows, digits=2):
    """rows: (label, measured, against), per-frame rows as (wall, CPU)."""
    lines = ["| Figure | Measured | Against | Ratio |", "|---|---|---|---|"]
    return lines + [f"| {label} | {' / '.join(ms(x) for x in a)} | {' / '.join(ms(x) for x in b)} | "
                    f"{' / '.join(f'{x / y:.{digits}f}' for x, y in zip(a, b))} |" for label, a, b in rows]


def chain_row(args, tmp, shipped):
    """Quorlin on the wired chain against the reference making the same draws, binds
    and by-name uniform look-ups."""
    chain = shader_set(tmp, "chain", shipped, CHAIN)
    c, c_runs = time_group({"q": ([args.quorlin, chain], PASS_FRAMES),
                            "r": ([args.reference, "--chain", chain], PASS_FRAMES)}, args, tmp)
    return ("Four-buffer chain wired by `quorlin.toml`, each pass reading itself and the previous buffer: "
            "time per frame, Quorlin vs the minimal loop making the same draws and binds", c["q"], c["r"]), c_runs


def report(args, tmp):
    q, r, load = args.quorlin, args.reference, [os.getloadavg()[0]]
    # A copy, so that an edit in the working tree during the run changes nothing.
    shipped = shader_set(tmp, "shipped", args.shaders, {})
    trivial = shader_set(tmp, "trivial", shipped, {"Image.frag": TRIVIAL})
    passes = shader_set(tmp, "passes", shipped, FOUR_PASSES)
    png = os.path.join(tmp, "last.png")
    t, t_runs = time_group({"q": ([q, trivial], TRIVIAL_FRAMES), "r": ([r, trivial], TRIVIAL_FRAMES),
                            "bare": ([r, "--cached", "--no-input", trivial], TRIVIAL_FRAMES),
                            "watch": ([q, "--watch", trivial], TRIVIAL_FRAMES),
                            "png": ([q, "--output", png, trivial], OUTPUT_FRAMES)}, args, tmp)
    d, d_runs = time_group({"q": ([q, shipped], DEFAULT_FRAMES),
                            "r": ([r, shipped], DEFAULT_FRAMES)}, args, tmp)
    p, p_runs = time_group({"q": ([q, passes], PASS_FRAMES),
                            "r": ([r, "--cached", "--passes", passes], PASS_FRAMES)}, args, tmp)
    chain, c_runs = chain_row(args, tmp, shipped)
    memory = [peak_rss_mib([prog, "--frames", str(DEFAULT_FRAMES), shipped], tmp) for prog in (q, r)]
    latency = edit_latency(q, shipped, tmp)
    # Compiling from the source up, machine code included, is what a start-up
    # without the shader cache adds to one with it.
    cold = hyperfine([[r, "--frames", "1", shipped]], args, tmp, 2 * args.runs, no_cache())[0]
    compile_time = cold["median"] - d_runs["r@1"][0]
    load.append(os.getloadavg()[0])

    # The PNG run keeps its write: only a plain one-frame run is taken off.
    png_per_frame = (t_runs["png"][0] - t_runs["q@1"][0]) / (OUTPUT_FRAMES - 1)
    # Per-frame rows give wall / CPU; the rest wall time or memory.
    rows = [("One-colour shader: time per frame, Quorlin vs the minimal loop", t["q"], t["r"]),
            ("Shipped shader: time per frame, Quorlin vs the minimal loop", d["q"], d["r"]),
            ("Start, one frame and exit (`--frames 1`), one-colour shader: Quorlin vs the minimal loop",
             t_runs["q@1"][:1], t_runs["r@1"][:1]),
            ("Start, one frame and exit (`--frames 1`), shipped shader: Quorlin vs the minimal loop",
             d_runs["q@1"][:1], d_runs["r@1"][:1]),
            ("One-colour shader: CPU per frame of the minimal loop vs the same loop without asking "
             "for input or uniform locations each frame",
             t["r"][1:], t["bare"][1:]),
            ("Four buffer passes: CPU per frame, Quorlin vs the minimal loop drawing the same passes",
             p["q"][1:], p["r"][1:]),
            chain,
            ("`--watch`, one-colour shader: time per frame, with vs without", t["watch"], t["q"]),
            (f"`--frames {OUTPUT_FRAMES} --output`, one-colour shader: time per frame with the PNG "
             "written at the end vs the window loop", [png_per_frame], t["q"][:1])]
    lines = table(rows)
    lines += [f"| Peak memory (max RSS), shipped shader: Quorlin vs the minimal loop | {memory[0]:.0f} MiB "
              f"| {memory[1]:.0f} MiB | {memory[0] / memory[1]:.2f} |",
              f"| Saving `Image.frag` to the `Reloaded shaders from` line, shipped shader, median of "
              f"{EDITS} saves, vs compiling that shader from scratch (the minimal loop's start-up "
              f"without and with Mesa's shader cache) "
              f"| {ms(latency)} | {ms(compile_time)} | |"]
    spread = [statistics.pstdev(w) / statistics.mean(w) for runs in (t_runs, d_runs, p_runs, c_runs)
              for n, (_, _, w) in runs.items() if not n.endswith("@1")]
    with open("/proc/cpuinfo") as cpuinfo:
        cpu = re.search(r"model name\s*:\s*(.*)", cpuinfo.read())[1]
    mesa = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", "libgl1-mesa-dri"],
                          capture_output=True, text=True).stdout or "unknown"
    return "\n".join(lines + [
        "",
        f"Spread of the timed runs (relative standard deviation): median "
        f"{100 * statistics.median(spread):.1f} %, worst {100 * max(spread):.1f} %; "
        f"1-minute load average {load[0]:.2f} before, {load[1]:.2f} after.",
        f"Measured {date.today()} on a machine with {os.cpu_count()} CPUs ({cpu}) and no GPU: "
        f"Mesa {mesa} draws in software (llvmpipe, LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}"
        f"{': one thread' if os.environ['LP_NUM_THREADS'] == '0' else ''}), in Xvfb."])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = arguments(__doc__)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--readme", nargs="?", const=os.path.join(here, "..", "README.md"),
                        help="also write the table between the README's performance markers")
    parser.add_argument("--soak", type=float, nargs="?", const=10.0, metavar="MINUTES",
                        help="only Quorlin's resident memory over a long run")
    parser.add_argument("--wiring", action="store_true", help="only the wired four-buffer chain")
    args = parser.parse_args()
    with private_display("quorlin-bench-") as (tmp, _):
        if args.soak is not None:
            return soak(args.quorlin, args.shaders, args.soak)
        if args.wiring:
            row, runs = chain_row(args, tmp, shader_set(tmp, "shipped", args.shaders, {}))
            spread = [statistics.pstdev(w) / statistics.mean(w) for n, (_, _, w) in runs.items()]
            return print("\n".join(table([row], 3) + [
                f"\nPer frame is wall / CPU; spread (relative standard deviation) worst "
                f"{100 * max(spread):.1f} %; 1-minute load average {os.getloadavg()[0]:.2f}; "
                f"LP_NUM_THREADS={os.environ['LP_NUM_THREADS']}."]))
        block = report(args, tmp)
    print(block)
    if args.readme:
        with open(args.readme) as readme:
            head, rest = readme.read().split("<!-- performance:begin -->\n", 1)
        with open(args.readme, "w") as readme:
            readme.write(f"{head}<!-- performance:begin -->\n{block}\n<!-- performance:end -->"
                         + rest.split("<!-- performance:end -->", 1)[1])


if __name__ == "__main__":
    main()
