"""Drives the real quorlin binary under a private Xvfb.

Each test gets its own server (picked with -displayfd, never a fixed number),
its own temporary project (tmp/Shaders beside tmp/build, the working
directory) and its own process; all three go away through unittest cleanups,
so a failing test leaves nothing behind.

There is no window manager: input is injected with XTest, the title is read
from the window's properties and the picture with GetImage. The program's
loop is unthrottled and polls input once per pass, so instead of sleeping the
harness counts passes: every pass ends in a buffer swap, which the server
reports as damage on the window.
"""

import ctypes
import os
import re
import select
import signal
import shutil
import subprocess
import tempfile
import time
import unittest

from Xlib import X, XK, display
from Xlib.error import XError
from Xlib.ext import damage, xtest
from Xlib.protocol import event

QUORLIN = os.environ.get("QUORLIN_BINARY", "")
SHIPPED_SHADERS = os.environ.get("QUORLIN_SHADERS", "")

BANNER = "C++17"
WINDOW_WIDTH, WINDOW_HEIGHT = 800, 600
TITLE_RATE = re.compile(r"^Quorlin - FPS = \d+ $")

# Generous: a loaded two-core machine renders llvmpipe frames slowly.
STARTUP_TIMEOUT = 30.0
EVENT_TIMEOUT = 15.0
EXIT_TIMEOUT = 15.0

# Width of the cells of the probe shader below.
CELL = 20
# iMouse x and y are shifted by this much before encoding, so a cursor left of
# or below the window (negative values) still encodes as a positive integer.
MOUSE_OFFSET = 4096
# iTime is encoded in units of 0.1 ms: fine enough that consecutive frames
# differ, coarse enough that 24 bits last for 27 minutes.
TIME_SCALE = 10000.0
# A fixed pattern in the last cell proves the channel order of the read-back.
CHECK_PATTERN = 0x123456

# Image.frag for tests. The bottom row of CELL x CELL cells carries the inputs
# as 24-bit integers, one byte per colour channel: a byte k written as k/255
# converts back to exactly k in an 8-bit framebuffer, so the read-back is
# exact. Everywhere else the fragment shows its texture coordinate, which
# makes the extent of the drawn quad visible.
PROBE_IMAGE = """\
in vec2 TexCoord;

vec4 encode(float v)
{
    uint n = uint(clamp(floor(v + 0.5), 0.0, 16777215.0));
    return vec4(float((n >> 16) & 255u), float((n >> 8) & 255u), float(n & 255u), 255.0) / 255.0;
}

void main()
{
    ivec2 cell = ivec2(gl_FragCoord.xy) / %(cell)d;
    float values[8] = float[8](
        iResolution.x,
        iResolution.y,
        iMouse.x + %(offset)d.0,
        iMouse.y + %(offset)d.0,
        iMouse.z * 1000.0,
        iMouse.w * 1000.0,
        iTime * %(time_scale)s,
        %(pattern)d.0);
    if (cell.y == 0 && cell.x < 8)
        FragColor = encode(values[cell.x]);
    else
        FragColor = vec4(TexCoord, 1.0, 1.0);
}
""" % {"cell": CELL, "offset": MOUSE_OFFSET, "time_scale": repr(TIME_SCALE),
       "pattern": CHECK_PATTERN}

PROBE_CELLS = ("res_x", "res_y", "mouse_x", "mouse_y", "left", "right", "time", "pattern")


_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    """Child set-up: a harness killed by a timeout takes its servers and programs along."""
    ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def _child_setup(extra):
    """_die_with_parent, then `extra` (if any), run in the child inside its working directory."""
    def setup():
        _die_with_parent()
        if extra is not None:
            extra()
    return setup


def shipped_shader_files():
    """The shipped shader set as {file name: text}."""
    files = {}
    for name in sorted(os.listdir(SHIPPED_SHADERS)):
        with open(os.path.join(SHIPPED_SHADERS, name), encoding="utf-8") as f:
            files[name] = f.read()
    return files


def probe_shader_files():
    files = shipped_shader_files()
    files["Image.frag"] = PROBE_IMAGE
    return files


class XServer:
    """A private Xvfb; extra_args such as ("-extension", "GLX")."""

    def __init__(self, extra_args=()):
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x720x24",
                 "-nolisten", "tcp", "-noreset", *extra_args],
                pass_fds=(write_end,), preexec_fn=_die_with_parent, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        try:
            self.name = ":" + self._read_display_number(read_end)
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)

    def _read_display_number(self, fd):
        deadline = time.monotonic() + STARTUP_TIMEOUT
        text = b""
        while not text.endswith(b"\n"):
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("Xvfb reported no display number in time")
            ready, _, _ = select.select([fd], [], [], remaining)
            if ready:
                chunk = os.read(fd, 64)
                if not chunk:
                    raise AssertionError("Xvfb exited before reporting a display")
                text += chunk
        return text.decode().strip()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(EXIT_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Project:
    """tmp/Shaders (when given files) and tmp/build, the working directory."""

    def __init__(self, shader_files=None, build_shader_files=None):
        self.root = tempfile.mkdtemp(prefix="quorlin-e2e-")
        self.build = os.path.join(self.root, "build")
        os.mkdir(self.build)
        if shader_files is not None:
            self._write(os.path.join(self.root, "Shaders"), shader_files)
        if build_shader_files is not None:
            self._write(os.path.join(self.build, "Shaders"), build_shader_files)
        self.stdout_path = os.path.join(self.root, "stdout.txt")

    @staticmethod
    def _write(directory, files):
        """Text is written as UTF-8, bytes as they are."""
        os.mkdir(directory)
        for name, text in files.items():
            with open(os.path.join(directory, name), "wb") as f:
                f.write(text if isinstance(text, bytes) else text.encode("utf-8"))

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def run_to_exit(project, env, timeout=EXIT_TIMEOUT, child_setup=None):
    """Runs the binary where no window can open; returns (status, stdout)."""
    with open(project.stdout_path, "wb") as out:
        completed = subprocess.run([QUORLIN], cwd=project.build, env=env,
                                   preexec_fn=_child_setup(child_setup), stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
    with open(project.stdout_path, encoding="utf-8", errors="replace") as f:
        return completed.returncode, f.read()


class Quorlin:
    """One running program with its window, seen through its own X connection.

    child_setup runs in the child just before the program starts, in its
    working directory (to drop privileges, say); command_prefix goes before
    the binary (a checker that runs it in the same process, so the window's
    _NET_WM_PID still names it); startup_timeout bounds the wait for the window
    and its first swap.
    """

    def __init__(self, server, project, env_overrides=None, child_setup=None, command_prefix=(),
                 startup_timeout=STARTUP_TIMEOUT, binary=QUORLIN):
        self.project = project
        self.server = server
        env = dict(os.environ)
        env.pop("WAYLAND_DISPLAY", None)
        env["DISPLAY"] = server.name
        env["LIBGL_ALWAYS_SOFTWARE"] = "1"
        env.update(env_overrides or {})
        self.started_at = time.monotonic()
        self._stdout = open(project.stdout_path, "wb")
        self.process = subprocess.Popen([*command_prefix, binary], cwd=project.build, env=env,
                                        preexec_fn=_child_setup(child_setup),
                                        stdin=subprocess.DEVNULL,
                                        stdout=self._stdout, stderr=subprocess.DEVNULL)
        self.d = None
        try:
            self.d = display.Display(server.name)
            self.root = self.d.screen().root
            self._check_visual()
            self.window = self._wait_for_window(startup_timeout)
            self.d.damage_query_version()
            self._damage = self.window.damage_create(damage.DamageReportNonEmpty)
            self._damage_event = self.d.extension_event.DamageNotify
            # At this level the server notifies only when the damage goes from
            # empty to non-empty, so once this first notification is taken no
            # other is outstanding until passes() empties the damage again.
            self._wait_event(lambda e: e.type == self._damage_event,
                             time.monotonic() + startup_timeout)
            # Keys go to the focus window; with no window manager nobody else sets it.
            self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
            self.d.sync()
        except BaseException:
            self.stop()
            raise

    # --- lifetime -------------------------------------------------------

    def stop(self):
        """Ends the process if it still runs and releases the connection."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if self.d is not None:
            try:
                self.d.close()
            except (XError, OSError):
                pass
            self.d = None
        self._stdout.close()

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("quorlin did not exit within %.0f s" % timeout) from None

    def output(self):
        """Everything written to standard output; complete only after exit."""
        self._stdout.flush()
        with open(self.project.stdout_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def _check_visual(self):
        # The pixel decoding below assumes 32-bit little-endian pixels of a
        # TrueColor visual with red in the high byte.
        screen = self.d.screen()
        visual = next(v for depth in screen.allowed_depths if depth.depth == screen.root_depth
                      for v in depth.visuals if v.visual_id == screen.root_visual)
        assert (visual.red_mask, visual.green_mask, visual.blue_mask) == \
            (0xFF0000, 0x00FF00, 0x0000FF), "unexpected visual"
        assert self.d.display.info.image_byte_order == X.LSBFirst, "unexpected byte order"

    def _wait_for_window(self, timeout):
        pid_atom = self.d.intern_atom("_NET_WM_PID")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise AssertionError("quorlin exited with status %d before showing its window:\n%s"
                                     % (self.process.returncode, self.output()))
            for child in self.root.query_tree().children:
                try:
                    pid = child.get_full_property(pid_atom, X.AnyPropertyType)
                    if pid is None or pid.value[0] != self.process.pid:
                        continue
                    if child.get_attributes().map_state == X.IsViewable:
                        return child
                except XError:
                    continue  # a window that vanished while being looked at
            time.sleep(0.02)
        raise AssertionError("no viewable window from quorlin within %.0f s" % timeout)

    # --- synchronisation --------------------------------------------------

    def passes(self, count=5, timeout=EVENT_TIMEOUT):
        """Returns once the program has swapped `count` times after this call.

        Each pass of the loop polls input once and ends with a swap, so
        anything sent before this call has been seen by the program, and its
        result shown, after a few passes.
        """
        deadline = time.monotonic() + timeout
        for _ in range(count):
            # Emptying the damage arms exactly one notification, for the first
            # swap the server sees after this request.
            self.d.damage_subtract(self._damage, X.NONE, X.NONE)
            self._wait_event(lambda e: e.type == self._damage_event, deadline)

    def passes_for(self, seconds):
        """Lets the loop run for at least `seconds` of wall time and a few passes."""
        end = time.monotonic() + seconds
        self.passes(3)
        while time.monotonic() < end:
            self.passes(1)

    def _wait_event(self, predicate, deadline):
        while True:
            while self.d.pending_events():
                if predicate(self.d.next_event()):
                    return
            remaining = deadline - time.monotonic()
            if remaining <= 0 or self.process.poll() is not None:
                state = ("exited with status %s" % self.process.returncode
                         if self.process.poll() is not None else "still running")
                raise AssertionError("no swap from quorlin in time (process %s)" % state)
            select.select([self.d.fileno()], [], [], min(remaining, 0.5))

    def wait_until(self, read, expected, timeout=EVENT_TIMEOUT, what="value"):
        """Polls read() pass by pass until it equals expected."""
        deadline = time.monotonic() + timeout
        value = read()
        while value != expected:
            if time.monotonic() > deadline:
                raise AssertionError("%s stayed %r, expected %r" % (what, value, expected))
            self.passes(1, timeout=max(deadline - time.monotonic(), 0.1))
            value = read()
        return value

    # --- input ------------------------------------------------------------

    def _keycode(self, name):
        return self.d.keysym_to_keycode(XK.string_to_keysym(name))

    def key_down(self, name):
        xtest.fake_input(self.d, X.KeyPress, self._keycode(name))
        self.d.sync()

    def key_up(self, name):
        xtest.fake_input(self.d, X.KeyRelease, self._keycode(name))
        self.d.sync()

    def tap(self, name, passes=5):
        """A key press held across several passes, then released and seen released."""
        self.key_down(name)
        self.passes(passes)
        self.key_up(name)
        self.passes(passes)

    def press_escape(self):
        # No passes after the press: the program may already be gone.
        self.key_down("Escape")
        status = self.wait_exit()
        self.key_up("Escape")
        return status

    def button_down(self, button):
        xtest.fake_input(self.d, X.ButtonPress, button)
        self.d.sync()

    def button_up(self, button):
        xtest.fake_input(self.d, X.ButtonRelease, button)
        self.d.sync()

    def move_pointer(self, x, y):
        """Moves the pointer to (x, y) in window coordinates (origin top left)."""
        origin = self.window.translate_coords(self.root, 0, 0)
        xtest.fake_input(self.d, X.MotionNotify, x=x - origin.x, y=y - origin.y)
        self.d.sync()

    # --- window -----------------------------------------------------------

    def title(self):
        prop = self.window.get_full_property(self.d.intern_atom("_NET_WM_NAME"),
                                             self.d.intern_atom("UTF8_STRING"))
        if prop is not None:
            return prop.value.decode("utf-8")
        return self.window.get_wm_name()

    def size(self):
        geometry = self.window.get_geometry()
        return geometry.width, geometry.height

    def configure(self, **changes):
        """Moves or resizes the window as a window manager would (x, y, width, height)."""
        self.window.configure(**changes)
        self.d.sync()

    def request_close(self):
        """The close request a window manager sends: WM_PROTOCOLS / WM_DELETE_WINDOW."""
        protocols = self.d.intern_atom("WM_PROTOCOLS")
        delete = self.d.intern_atom("WM_DELETE_WINDOW")
        message = event.ClientMessage(window=self.window, client_type=protocols,
                                      data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(message, event_mask=0)
        self.d.sync()

    # --- pixels -----------------------------------------------------------

    def image(self):
        """The whole window as rows of (r, g, b), top row first."""
        width, height = self.size()
        data = self.window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
        return [[(data[i + 2], data[i + 1], data[i])
                 for i in range(row * width * 4, (row + 1) * width * 4, 4)]
                for row in range(height)]

    def pixel(self, x, y_up):
        """(r, g, b) of the pixel at x, y_up counted from the bottom as GL does."""
        _, height = self.size()
        data = self.window.get_image(x, height - 1 - y_up, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return data[2], data[1], data[0]

    def quad_mismatches(self, step=3, limit=5):
        """Pixels where the probe's texture-coordinate gradient is not as expected.

        Outside the value cells the probe shows (u, v, 1) with (u, v) the
        texture coordinate; a quad covering the whole viewport, with the
        viewport the whole window, gives u = (x + 0.5) / W and v = (y + 0.5) / H
        at pixel centre (x, y) counted from the bottom. The tolerance of two
        steps of 255 covers the rounding of the float-to-8-bit conversion and
        of the interpolation. Checks every `step`-th row and column plus the
        last ones, where a wrong viewport or a short quad shows first.
        """
        width, height = self.size()
        data = self.window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
        xs = sorted(set(range(0, width, step)) | {width - 1})
        ys = sorted(set(range(0, height, step)) | {height - 1})
        found = []
        for y_up in ys:
            row = (height - 1 - y_up) * width * 4
            v = (y_up + 0.5) / height * 255.0
            for x in xs:
                if y_up < CELL and x < CELL * len(PROBE_CELLS):
                    continue
                i = row + x * 4
                r, g, b = data[i + 2], data[i + 1], data[i]
                u = (x + 0.5) / width * 255.0
                if abs(r - u) > 2.0 or abs(g - v) > 2.0 or b != 255:
                    found.append(((x, y_up), (r, g, b), (round(u), round(v), 255)))
                    if len(found) >= limit:
                        return found
        return found

    def is_black(self):
        """Every pixel of the window is (0, 0, 0); the fourth byte is padding."""
        data = self.window.get_image(0, 0, *self.size(), X.ZPixmap, 0xFFFFFFFF).data
        return not any(data[channel::4].strip(b"\0") for channel in range(3))

    def probe(self):
        """The probe shader's cells, decoded, as a dict keyed by PROBE_CELLS."""
        width, height = self.size()
        row = height - 1 - CELL // 2
        data = self.window.get_image(0, row, CELL * len(PROBE_CELLS), 1, X.ZPixmap,
                                     0xFFFFFFFF).data
        values = {}
        for index, name in enumerate(PROBE_CELLS):
            i = (index * CELL + CELL // 2) * 4
            values[name] = (data[i + 2] << 16) | (data[i + 1] << 8) | data[i]
        return values

    def probed_time(self):
        return self.probe()["time"] / TIME_SCALE

    def is_rendering(self):
        """True when new frames keep arriving: the encoded iTime moves on."""
        before = self.probe()["time"]
        self.passes(3)
        return self.probe()["time"] != before


class QuorlinTestCase(unittest.TestCase):
    """Gives each test its own server, project and process, cleaned up on any outcome."""

    def setUp(self):
        if not (QUORLIN and SHIPPED_SHADERS):
            self.fail("QUORLIN_BINARY and QUORLIN_SHADERS must be set")

    def start_server(self, extra_args=()):
        server = XServer(extra_args)
        self.addCleanup(server.stop)
        return server

    def make_project(self, shader_files=None, build_shader_files=None):
        project = Project(shader_files, build_shader_files)
        self.addCleanup(project.remove)
        return project

    def launch(self, shader_files=None, project=None, **options):
        """Starts quorlin on a fresh server; returns the running session.

        options go to Quorlin (env_overrides, child_setup, ...).
        """
        server = self.start_server()
        project = project or self.make_project(shader_files)
        session = Quorlin(server, project, **options)
        self.addCleanup(session.stop)
        return session

    def start_rendering(self, session):
        session.tap("space")
        self.assertTrue(session.is_rendering(), "space did not start rendering")
