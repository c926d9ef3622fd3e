#!/usr/bin/python3
"""Measures Quorlin against the reference loop in a private X server.

Run through scripts/bench.sh, which builds both programs first. For a trivial
shader and for the shipped one it starts Quorlin and the reference in turn,
several rounds, and prints their frame rates (read from the window titles),
their start-up times and their peak resident memory, with the ratios. With
--soak it renders with Quorlin alone for a number of minutes and prints its
resident memory over that time. It prints figures; it judges nothing. A
non-zero exit means the measurement itself went wrong (a window that never
appeared, a shader that did not build, a program that did not close).

Needs python3-xlib: run it with /usr/bin/python3.
"""

import argparse
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from datetime import datetime, timezone

from Xlib import X, XK, Xatom, display, error
from Xlib.ext import damage, xtest
from Xlib.protocol import event as xevent

SCREEN = "1024x768x24"
WINDOW_SIZE = (800, 600)
TRIVIAL_IMAGE = "void main() { FragColor = vec4(0.25, 0.5, 0.75, 1.0); }\n"
# What TRIVIAL_IMAGE puts on a 24-bit screen; one step of slack for rounding.
TRIVIAL_PIXEL = (64, 128, 191)
PIXEL_TOLERANCE = 1
TITLE_FPS = re.compile(r"FPS = (\d*) $")
KEY_HOLD = 0.05  # long enough for a few passes of either loop to see the key
START_TIMEOUT = 20.0
FIRST_TITLE_TIMEOUT = 10.0
CLOSE_TIMEOUT = 10.0
# CPUs' worth of other work above which the machine counts as busy; kernel
# housekeeping alone stays well below it.
BUSY_MACHINE = 0.1


class BenchError(Exception):
    pass


@dataclass
class Run:
    name: str
    startup_map: float = 0.0  # exec to the window being mapped, seconds
    startup_ready: float = 0.0  # exec to the first buffer swap, seconds
    fps: list = field(default_factory=list)
    vm_hwm_kib: int = 0
    vm_rss_kib: int = 0
    cpu_seconds: float = 0.0
    # Over the sampled stretch: CPU time per frame of the program and of the
    # X server, and the CPUs' worth of work that neither they nor this script
    # did, which shows how much else the machine was running meanwhile.
    frames: float = 0.0
    program_us_per_frame: float = 0.0
    server_us_per_frame: float = 0.0
    other_load: float = 0.0
    output: str = ""


# --- the X server ---------------------------------------------------------


def renicer(niceness):
    """What a child runs before exec to take the given niceness, if any.
    Applied before exec so that every thread the child starts inherits it."""
    if not niceness:
        return None
    return lambda: os.nice(niceness)


class XServer:
    """A private Xvfb on a display number of its own choosing."""

    def __init__(self, workdir, niceness):
        self.workdir = workdir
        self.niceness = niceness
        self.proc = None
        self.log = None
        self.name = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.log = open(os.path.join(self.workdir, "xvfb.log"), "w")
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=self.log, stderr=self.log,
            preexec_fn=renicer(self.niceness))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([read_end], [], [], remaining)[0]:
                break
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.__exit__(None, None, None)
            raise BenchError("Xvfb did not report a display number")
        self.name = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


# --- watching windows -------------------------------------------------------


class Observer:
    """One X connection that sees top-level windows appear and their titles
    change, and plays the user's keyboard and pointer through XTest."""

    def __init__(self, name, server_pid, niceness):
        self.server_pid = server_pid
        self.niceness = niceness
        self.d = display.Display(name)
        for ext in ("DAMAGE", "XTEST"):
            if not self.d.has_extension(ext):
                raise BenchError(f"the X server lacks {ext}")
        self.d.damage_query_version()
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.net_wm_name = self.d.intern_atom("_NET_WM_NAME")
        self.net_wm_pid = self.d.intern_atom("_NET_WM_PID")
        self.utf8 = self.d.intern_atom("UTF8_STRING")
        self.wm_protocols = self.d.intern_atom("WM_PROTOCOLS")
        self.wm_delete = self.d.intern_atom("WM_DELETE_WINDOW")
        self.space = self.d.keysym_to_keycode(XK.string_to_keysym("space"))
        self.damage_event = self.d.extension_event.DamageNotify
        # Windows may vanish between an event and a request about them.
        self.d.set_error_handler(lambda err, req: None)
        self.d.sync()

    def events(self, deadline):
        """Yields (arrival time, event) until the deadline, and (time, None)
        at least every 50 ms so that a caller can give up early."""
        while True:
            while self.d.pending_events():
                ev = self.d.next_event()
                yield time.monotonic(), ev
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return
            if not select.select([self.d], [], [], min(remaining, 0.05))[0]:
                yield time.monotonic(), None

    def title(self, window):
        prop = window.get_full_property(self.net_wm_name, self.utf8)
        if prop is None:
            return None
        value = prop.value
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)

    def press_space_at_centre(self, window):
        # Focus follows the pointer without a window manager: put it inside.
        geometry = window.get_geometry()
        origin = window.translate_coords(self.root, 0, 0)
        x = -origin.x + geometry.width // 2
        y = -origin.y + geometry.height // 2
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        xtest.fake_input(self.d, X.KeyPress, self.space)
        self.d.sync()
        pressed = time.monotonic()
        time.sleep(KEY_HOLD)
        xtest.fake_input(self.d, X.KeyRelease, self.space)
        self.d.sync()
        return pressed

    def pixel_at_centre(self, window):
        geometry = window.get_geometry()
        image = window.get_image(geometry.width // 2, geometry.height // 2, 1, 1,
                                 X.ZPixmap, 0xFFFFFFFF)
        b, g, r = image.data[0], image.data[1], image.data[2]
        return r, g, b

    def request_close(self, window):
        message = xevent.ClientMessage(window=window, client_type=self.wm_protocols,
                                       data=(32, [self.wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(message)
        self.d.sync()


# --- one program ------------------------------------------------------------


def proc_status(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmHWM", "VmRSS"):
                fields[key] = int(value.split()[0])
    return fields


def busy_cpu_seconds():
    """CPU time the whole machine has spent on anything but idling."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    user, nice, system, idle, iowait, irq, softirq, steal = values[:8]
    return (user + nice + system + irq + softirq + steal) / os.sysconf("SC_CLK_TCK")


@dataclass
class CpuSnapshot:
    wall: float
    program: float
    server: float
    own: float
    machine: float


def proc_cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        after_name = f.read().rsplit(")", 1)[1].split()
    return (int(after_name[11]) + int(after_name[12])) / os.sysconf("SC_CLK_TCK")


class Program:
    """A started binary, its window and its title samples."""

    def __init__(self, observer, name, argv, cwd, env, logpath):
        self.obs = observer
        self.run = Run(name)
        self.logpath = logpath
        self.window = None
        self.log = open(logpath, "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(argv, cwd=cwd, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT,
                                     preexec_fn=renicer(observer.niceness))

    def wait_until_ready(self):
        """Start-up ends at the window's first damage: the first buffer swap,
        which both loops make only once every start-up step is done."""
        obs = self.obs
        watched = {}
        mapped = None
        deadline = self.started + START_TIMEOUT
        for now, ev in obs.events(deadline):
            if ev is None:
                pass
            elif ev.type == X.CreateNotify and not ev.override:
                try:
                    attrs = ev.window.get_attributes()
                except error.XError:
                    continue
                # Only InputOutput windows can be drawn to, or damaged.
                if attrs.win_class == X.InputOutput:
                    watched[ev.window.id] = ev.window.damage_create(damage.DamageReportNonEmpty)
            elif ev.type == X.MapNotify and ev.window.id in watched:
                mapped = ev.window
                self.run.startup_map = now - self.started
            elif ev.type == obs.damage_event and mapped is not None \
                    and ev.drawable.id == mapped.id:
                self.run.startup_ready = now - self.started
                break
            if self.proc.poll() is not None:
                break
        # Damage tracking is dropped before rendering, so it cannot cost frames.
        for damage_id in watched.values():
            obs.d.damage_destroy(damage_id)
        obs.d.sync()
        if not self.run.startup_ready:
            self.stop()
            raise BenchError(f"{self.run.name}: no window was drawn within {START_TIMEOUT:.0f} s"
                             f"\n{self.output()}")
        pid = mapped.get_full_property(obs.net_wm_pid, Xatom.CARDINAL)
        if pid is None or pid.value[0] != self.proc.pid:
            self.stop()
            raise BenchError(f"{self.run.name}: the window that appeared is not its own")
        self.window = mapped
        self.window.change_attributes(event_mask=X.PropertyChangeMask)
        obs.d.sync()

    def cpu_snapshot(self, now):
        own = os.times()
        return CpuSnapshot(now, proc_cpu_seconds(self.proc.pid),
                           proc_cpu_seconds(self.obs.server_pid), own.user + own.system,
                           busy_cpu_seconds())

    def render(self, warmup, seconds, on_sample=None):
        """Presses space, then collects the frame rate of every title set
        after the warm-up for the given seconds."""
        obs = self.obs
        pressed = obs.press_space_at_centre(self.window)
        sampling_from = pressed + warmup
        deadline = sampling_from + seconds
        first_title = None
        first = last = None
        frames = 0.0
        for now, ev in obs.events(deadline):
            if first_title is None and now > pressed + FIRST_TITLE_TIMEOUT:
                break
            if ev is None or ev.type != X.PropertyNotify or ev.atom != obs.net_wm_name \
                    or ev.window.id != self.window.id:
                continue
            match = TITLE_FPS.search(obs.title(self.window) or "")
            if not match:
                continue
            first_title = first_title or now
            if now >= sampling_from:
                value = int(match.group(1) or 0)
                self.run.fps.append(value)
                snapshot = self.cpu_snapshot(now)
                # Each title's rate covers the stretch since the one before.
                if first is None:
                    first = snapshot
                else:
                    frames += value * (now - last.wall)
                last = snapshot
                if on_sample:
                    on_sample(now, value)
        if first_title is None:
            self.stop()
            raise BenchError(f"{self.run.name}: the title never showed a frame rate after "
                             f"space was pressed\n{self.output()}")
        if not self.run.fps:
            self.stop()
            raise BenchError(f"{self.run.name}: no frame rate after the warm-up")
        if frames > 0:
            self.run.frames = frames
            program = last.program - first.program
            server = last.server - first.server
            self.run.program_us_per_frame = program / frames * 1e6
            self.run.server_us_per_frame = server / frames * 1e6
            other = (last.machine - first.machine) - program - server - (last.own - first.own)
            self.run.other_load = max(other, 0.0) / (last.wall - first.wall)

    def measure_process(self):
        status = proc_status(self.proc.pid)
        self.run.vm_hwm_kib = status["VmHWM"]
        self.run.vm_rss_kib = status["VmRSS"]
        self.run.cpu_seconds = proc_cpu_seconds(self.proc.pid)

    def close(self):
        self.obs.request_close(self.window)
        try:
            status = self.proc.wait(CLOSE_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.stop()
            raise BenchError(f"{self.run.name}: did not close on a close request")
        self.log.close()
        self.run.output = self.output()
        if status != 0:
            raise BenchError(f"{self.run.name}: exit status {status}\n{self.run.output}")
        return self.run

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def output(self):
        with open(self.logpath) as f:
            return f.read()


# --- the comparison ---------------------------------------------------------


@dataclass
class Subject:
    name: str
    argv: list


def prepare_shaders(workdir, shipped, name, image_text):
    """A project-like directory whose Shaders are the shipped set, with the
    image fragment replaced when image_text is given; returns the directory
    to run from (one level below Shaders, as the program expects)."""
    base = os.path.join(workdir, name)
    shutil.copytree(shipped, os.path.join(base, "Shaders"))
    if image_text is not None:
        with open(os.path.join(base, "Shaders", "Image.frag"), "w") as f:
            f.write(image_text)
    run_dir = os.path.join(base, "run")
    os.mkdir(run_dir)
    return run_dir


def run_once(obs, subject, cwd, env, workdir, warmup, seconds, expect_pixel=None):
    logpath = os.path.join(workdir, f"{subject.name.replace(' ', '_')}.log")
    program = Program(obs, subject.name, subject.argv, cwd, env, logpath)
    try:
        program.wait_until_ready()
        program.render(warmup, seconds)
        if expect_pixel is not None:
            seen = obs.pixel_at_centre(program.window)
            if any(abs(a - b) > PIXEL_TOLERANCE for a, b in zip(seen, expect_pixel)):
                raise BenchError(f"{subject.name}: drew {seen} at the centre, "
                                 f"expected {expect_pixel}")
        program.measure_process()
        run = program.close()
    finally:
        program.stop()
    if "ERROR::" in run.output:
        raise BenchError(f"{subject.name}: reported an error at start-up\n{run.output}")
    return run


def compare(obs, subjects, cwd, env, workdir, args, expect_pixel):
    """Alternates the subjects, reversing the order every round so neither
    always runs first; returns the runs of each subject in round order."""
    runs = {s.name: [] for s in subjects}
    for round_index in range(args.rounds):
        order = subjects if round_index % 2 == 0 else list(reversed(subjects))
        for subject in order:
            runs[subject.name].append(run_once(obs, subject, cwd, env, workdir, args.warmup,
                                               args.seconds, expect_pixel))
        line = "  round %d: " % (round_index + 1) + ", ".join(
            "%s %.0f fps" % (s.name, statistics.median(runs[s.name][-1].fps)) for s in subjects)
        print(line, flush=True)
    return runs


def pooled_fps(runs):
    samples = [v for run in runs for v in run.fps]
    return statistics.median(samples), len(samples)


def median_of(runs, attribute):
    return statistics.median(getattr(run, attribute) for run in runs)


def report_case(title, runs, product, reference, fps_target):
    p, r = runs[product], runs[reference]
    p_fps, p_n = pooled_fps(p)
    r_fps, r_n = pooled_fps(r)
    print(f"  frame rate        {product} {p_fps:.0f} fps, {reference} {r_fps:.0f} fps "
          f"(medians of {p_n} and {r_n} title samples)")
    print(f"                    ratio {p_fps / r_fps:.3f}   (target >= {fps_target})")
    paired = [statistics.median(a.fps) / statistics.median(b.fps) for a, b in zip(p, r)]
    print("                    per round " + " ".join(f"{x:.3f}" for x in paired) +
          f"  (median {statistics.median(paired):.3f})")
    for label, attribute in (("window mapped", "startup_map"), ("start-up done", "startup_ready")):
        pv, rv = median_of(p, attribute), median_of(r, attribute)
        print(f"  {label:<17} {product} {pv * 1000:.1f} ms, {reference} {rv * 1000:.1f} ms, "
              f"ratio {pv / rv:.3f}" + ("   (target <= 1.10)" if attribute == "startup_ready"
                                         else ""))
    ready = "  start-up per run  " + "; ".join(
        f"{name} " + " ".join(f"{run.startup_ready * 1000:.1f}" for run in runs[name])
        for name in (product, reference))
    print(ready + " ms")
    pv, rv = median_of(p, "vm_hwm_kib"), median_of(r, "vm_hwm_kib")
    print(f"  peak memory       {product} {pv / 1024:.1f} MiB, {reference} {rv / 1024:.1f} MiB "
          f"(VmHWM), ratio {pv / rv:.3f}   (target within 10%)")
    pp, rp = median_of(p, "program_us_per_frame"), median_of(r, "program_us_per_frame")
    ps, rs = median_of(p, "server_us_per_frame"), median_of(r, "server_us_per_frame")
    print(f"  CPU per frame     {product} {pp:.0f} + {ps:.0f} us, {reference} {rp:.0f} + {rs:.0f} us "
          f"(program + X server), ratio {(rp + rs) / (pp + ps):.3f} as a rate")
    load = statistics.median(run.other_load for run in p + r)
    print(f"  other load        {load:.2f} CPUs busy with other work while sampling "
          f"(median over runs; of {os.cpu_count()})")
    if load > BUSY_MACHINE:
        print("                    the machine was busy: frame rates and start-up times swing "
              "with that work; CPU per frame holds up better")


def child_env(display_name, args, workdir):
    env = dict(os.environ)
    for name in ("MESA_GL_VERSION_OVERRIDE", "MESA_GLSL_VERSION_OVERRIDE", "LIBGL_DRIVERS_PATH",
                 "MESA_LOADER_DRIVER_OVERRIDE", "GALLIUM_HUD", "LD_PRELOAD"):
        env.pop(name, None)
    env["DISPLAY"] = display_name
    env["LIBGL_ALWAYS_SOFTWARE"] = "1"
    env["GALLIUM_DRIVER"] = "llvmpipe"
    env["LP_NUM_THREADS"] = str(args.lp_threads)
    # A private, initially empty shader cache: the figures do not depend on
    # what earlier runs left in the user's cache. The untimed first runs fill
    # it, so every timed start-up finds its shaders compiled.
    env["MESA_SHADER_CACHE_DIR"] = os.path.join(workdir, "mesa-shader-cache")
    return env


def machine_lines(reference_output):
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    gl = [line for line in reference_output.splitlines() if line.startswith("GL_")]
    return [f"machine   {os.cpu_count()} CPUs (nproc {len(os.sched_getaffinity(0))}), {cpu}",
            f"          {'; '.join(gl) if gl else 'renderer not reported'}",
            f"date      {datetime.now(timezone.utc).strftime('%Y-%m-%d %H:%M UTC')}"]


def comparison(obs, args, env, workdir):
    quorlin = Subject("Quorlin", [args.quorlin])
    reference = Subject("reference", [args.reference])
    cases = [("trivial shader (one constant colour)", "trivial", TRIVIAL_IMAGE, 0.97,
              TRIVIAL_PIXEL),
             ("shipped default shader", "default", None, 0.99, None)]

    # Untimed runs: load the libraries into the page cache and fill the shader
    # cache, so the first timed run is not the only cold one.
    prepared = {}
    for _, name, image, _, _ in cases:
        prepared[name] = prepare_shaders(workdir, args.shaders, name, image)
    first_output = ""
    for name in prepared:
        for subject in (quorlin, reference):
            run = run_once(obs, subject, prepared[name], env, workdir, 0.3, 0.3)
            if subject is reference and not first_output:
                first_output = run.output

    for line in machine_lines(first_output):
        print(line)
    print(f"settings  LP_NUM_THREADS={args.lp_threads}, niceness {args.nice}, {args.rounds} rounds, "
          f"warm-up {args.warmup} s then {args.seconds} s of samples per run, Xvfb {SCREEN}, "
          f"window {WINDOW_SIZE[0]}x{WINDOW_SIZE[1]}")
    print()
    for title, name, _, target, pixel in cases:
        print(title, flush=True)
        runs = compare(obs, [quorlin, reference], prepared[name], env, workdir, args, pixel)
        report_case(title, runs, quorlin.name, reference.name, target)
        print(flush=True)


def attribution(obs, args, env, workdir):
    """Puts Quorlin's obligations back into the reference one at a time."""
    run_dir = prepare_shaders(workdir, args.shaders, "attribute", TRIVIAL_IMAGE)
    variants = [Subject("reference", [args.reference]),
                Subject("+lookups", [args.reference, "--lookup-each-set"]),
                Subject("+input", [args.reference, "--poll-input"]),
                Subject("+both", [args.reference, "--lookup-each-set", "--poll-input"]),
                Subject("+all", [args.reference, "--lookup-each-set", "--poll-input",
                                 "--start-resources"]),
                Subject("Quorlin", [args.quorlin])]
    for subject in variants:
        run_once(obs, subject, run_dir, env, workdir, 0.3, 0.3)
    print(f"attribution, trivial shader, LP_NUM_THREADS={args.lp_threads}, niceness {args.nice}, "
          f"{args.rounds} rounds")
    runs = compare(obs, variants, run_dir, env, workdir, args, TRIVIAL_PIXEL)
    base, _ = pooled_fps(runs["reference"])
    base_ready = median_of(runs["reference"], "startup_ready")
    base_hwm = median_of(runs["reference"], "vm_hwm_kib")
    base_cpu = median_of(runs["reference"], "program_us_per_frame") + \
        median_of(runs["reference"], "server_us_per_frame")
    print("  frame time added is 1/fps - 1/fps(reference); CPU per frame is the program's"
          " and the X server's")
    print(f"  {'variant':<10} {'fps':>6} {'ratio':>6} {'frame time':>11} {'CPU/frame':>16} "
          f"{'start-up':>15} {'VmHWM':>16}")
    for subject in variants:
        these = runs[subject.name]
        fps, _ = pooled_fps(these)
        ready = median_of(these, "startup_ready")
        hwm = median_of(these, "vm_hwm_kib")
        cpu = median_of(these, "program_us_per_frame") + median_of(these, "server_us_per_frame")
        extra_us = (1.0 / fps - 1.0 / base) * 1e6
        print(f"  {subject.name:<10} {fps:6.0f} {fps / base:6.3f} {extra_us:+8.1f} us "
              f"{cpu:5.0f} us ({cpu - base_cpu:+4.0f}) {ready * 1000:6.1f} ms x{ready / base_ready:.2f}"
              f" {hwm / 1024:6.1f} MiB x{hwm / base_hwm:.2f}")
    load = statistics.median(run.other_load for these in runs.values() for run in these)
    print(f"  other load {load:.2f} CPUs busy with other work while sampling (median over runs)")
    if load > BUSY_MACHINE:
        print("  the machine was busy: frame rates and start-up times swing with that work")


def soak(obs, args, env, workdir):
    run_dir = prepare_shaders(workdir, args.shaders, "soak", None)
    logpath = os.path.join(workdir, "soak.log")
    program = Program(obs, "Quorlin", [args.quorlin], run_dir, env, logpath)
    minutes = args.soak
    print(f"soak      Quorlin, shipped default shader, {minutes:g} min after a {args.warmup} s "
          f"warm-up, LP_NUM_THREADS={args.lp_threads}, niceness {args.nice}", flush=True)
    try:
        program.wait_until_ready()
        pid = program.proc.pid
        start = {}
        last_report = [0.0]

        def on_sample(now, fps):
            if not start:
                start.update(proc_status(pid), time=now, fps=fps)
                print(f"  start   VmRSS {start['VmRSS'] / 1024:.1f} MiB, "
                      f"VmHWM {start['VmHWM'] / 1024:.1f} MiB, {fps} fps", flush=True)
                last_report[0] = now
            elif now - last_report[0] >= 60:
                status = proc_status(pid)
                print(f"  {(now - start['time']) / 60:5.1f} min VmRSS {status['VmRSS'] / 1024:.1f}"
                      f" MiB, {fps} fps", flush=True)
                last_report[0] = now

        program.render(args.warmup, minutes * 60, on_sample)
        program.measure_process()
        run = program.run
        fps_start = statistics.median(run.fps[:50])
        fps_end = statistics.median(run.fps[-50:])
        run = program.close()
    finally:
        program.stop()
    print(f"  end     VmRSS {run.vm_rss_kib / 1024:.1f} MiB, VmHWM {run.vm_hwm_kib / 1024:.1f} MiB")
    print(f"  change  VmRSS {(run.vm_rss_kib - start['VmRSS']):+d} KiB over {minutes:g} min; "
          f"frame rate {fps_start:.0f} fps in the first samples, {fps_end:.0f} fps in the last; "
          f"CPU {run.cpu_seconds:.1f} s")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quorlin", required=True, help="the Quorlin binary")
    parser.add_argument("--reference", required=True, help="the reference loop binary")
    parser.add_argument("--shaders", required=True, help="the shipped Shaders directory")
    parser.add_argument("--rounds", type=int, default=6,
                        help="runs of each program per case, alternating (default 6)")
    parser.add_argument("--warmup", type=float, default=1.5,
                        help="seconds of rendering before samples count (default 1.5)")
    parser.add_argument("--seconds", type=float, default=3.0,
                        help="seconds of samples per run (default 3)")
    parser.add_argument("--lp-threads", type=int, default=0,
                        help="LP_NUM_THREADS for llvmpipe (default 0: render in the loop's thread)")
    parser.add_argument("--nice", type=int, default=0, metavar="N",
                        help="run the programs and the X server at niceness N; a negative N "
                        "(root only) puts them ahead of other work on a shared machine")
    parser.add_argument("--soak", type=float, metavar="MINUTES",
                        help="render with Quorlin for this long and report its memory")
    parser.add_argument("--attribute", action="store_true",
                        help="trace the frame-rate gap to Quorlin's per-frame obligations")
    args = parser.parse_args()
    for path in (args.quorlin, args.reference):
        if not os.access(path, os.X_OK):
            raise BenchError(f"not an executable: {path}")

    workdir = tempfile.mkdtemp(prefix="quorlin-bench-")
    try:
        with XServer(workdir, args.nice) as server:
            obs = Observer(server.name, server.proc.pid, args.nice)
            env = child_env(server.name, args, workdir)
            if args.soak is not None:
                soak(obs, args, env, workdir)
            elif args.attribute:
                attribution(obs, args, env, workdir)
            else:
                comparison(obs, args, env, workdir)
            obs.d.close()
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    try:
        main()
    except BenchError as e:
        print(f"bench: {e}", file=sys.stderr)
        sys.exit(1)
