"""Runs the real quorlin: to its end with --frames for pictures and messages, with no
display server at all, or under private Xvfb servers with its window driven through XTest."""
import ctypes, os, pathlib, pty, select, shutil, signal, subprocess, tempfile, time, unittest

from PIL import Image
from Xlib import X, display
from Xlib.ext import damage
from Xlib.protocol import event

QUORLIN, SHADERS = os.environ["QUORLIN_BINARY"], os.environ["QUORLIN_SHADERS"]
SHIPPED = {path.name: path.read_text() for path in pathlib.Path(SHADERS).iterdir()}
BANNER = "C++17\n"
DEADLINE = 30.0  # only a hang comes near it, even on a loaded two-core machine
DIRECTORY, FIFO, UNREADABLE = object(), object(), object()  # shader files that are not text

# Shows (u, v, 0) from its texture coordinate but for the bottom row of 8x8 cells:
# inputs as 24-bit integers, exact since byte k written as k/255 reads back as k.
PROBE = """in vec2 TexCoord;
uniform int iFrame;
uniform float iTimeDelta;
vec4 encode(float v) { uint n = uint(clamp(floor(v + 0.5), 0.0, 16777215.0));
                       return vec4(uvec3(n >> 16, n >> 8, n) & 255u, 255u) / 255.0; }
void main() {
    float cells[8] = float[8](iResolution.x, iResolution.y, iMouse.x + 4096.0, iMouse.y + 4096.0,
                              iMouse.z + 2.0 * iMouse.w, iTime * 1000.0, float(iFrame), iTimeDelta * 1000.0);
    int cell = int(gl_FragCoord.x) / 8;
    FragColor = gl_FragCoord.y < 8.0 && cell < 8 ? encode(cells[cell]) : vec4(TexCoord, 0.0, 1.0);
}
"""
CELLS = ("res_x", "res_y", "mouse_x", "mouse_y", "buttons", "time_ms", "frame", "delta_ms")


def probe(pixel):
    """The probe's cells, read with pixel(x, y from the top; negative: from the bottom)."""
    return {name: (lambda r, g, b, *_: r << 16 | g << 8 | b)(*pixel(8 * i + 4, -4)) for i, name in enumerate(CELLS)}


def gradient_errors(pixel, width, height):
    """Corners where the probe's texture coordinate is off by more than 8-bit
    rounding: a flipped, cut, shifted or stretched picture shows there."""
    points = [(0, 0), (width - 1, 0), (width - 1, height - 9), (0, height - 9), (width // 2, height // 2)]
    return [(x, y, pixel(x, y)) for x, y in points if abs(pixel(x, y)[0] - (x + 0.5) / width * 255) > 2
            or abs(pixel(x, y)[1] - (height - y - 0.5) / height * 255) > 2]


def png(path):
    picture = Image.open(path)
    return picture, lambda x, y: picture.getpixel((x, y % picture.height))


def die_with_parent():
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG: a killed test leaves nothing behind


STARTED = []  # every X server the tests started


def start_server(cleanup, *args):
    """A private Xvfb on a display number it picks itself, stopped by cleanup."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x720x24", "-nolisten", "tcp",
                             "-noreset", *args], pass_fds=(write_end,), stderr=subprocess.DEVNULL,
                            preexec_fn=die_with_parent)
    os.close(write_end)
    STARTED.append(xvfb.pid)
    cleanup(lambda: (xvfb.kill(), xvfb.wait()))
    with os.fdopen(read_end) as numbers:
        return ":" + numbers.readline().strip()


def write(path, text):
    if text is DIRECTORY:
        os.mkdir(path)
    elif text is FIFO:
        os.mkfifo(path)
    elif text is not None:
        pathlib.Path(path).write_text("" if text is UNREADABLE else text)
        os.chmod(path, 0 if text is UNREADABLE else 0o644)


def environment(display=None, **changes):
    """Without a display, none of either kind: quorlin then renders through EGL."""
    variables = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    return {**variables, "LIBGL_ALWAYS_SOFTWARE": "1", **({"DISPLAY": display} if display else {}), **changes}


class Case(unittest.TestCase):
    maxDiff = None
    headless = False  # True: the class's tests run with no X server at all

    @classmethod
    def setUpClass(cls):
        cls.started = len(STARTED)
        cls.display = None if cls.headless else start_server(cls.addClassCleanup)

    @classmethod
    def tearDownClass(cls):
        assert not (cls.headless and STARTED[cls.started:]), "an X server started during headless tests"

    def project(self, files=SHIPPED, **changes):
        """A root holding Shaders/ (the files with changes; None leaves one out) and build/."""
        root = tempfile.mkdtemp(prefix="quorlin-")
        self.addCleanup(shutil.rmtree, root, True)
        os.chmod(root, 0o755)
        for directory in ("build", "Shaders"):
            os.mkdir(os.path.join(root, directory))
        for name, text in {**files, **changes}.items():
            write(os.path.join(root, "Shaders", name), text)
        return root

    def run_quorlin(self, *args, display=None, env=(), prefix=(), binary=QUORLIN, timeout=DEADLINE, **options):
        return subprocess.run([*prefix, binary, *args], env=environment(display, **dict(env)), text=True,
                              capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL, **options)


class Window:
    """A running quorlin with its window. Each pass of its loop polls input once and ends in a
    buffer swap, which the server reports as damage: counting swaps stands in for sleeping."""

    def __init__(self, case, server, *args, cwd, terminal=False):
        """terminal: standard output is a pseudo-terminal rather than a file."""
        self.stdout, self.server = os.path.join(os.path.dirname(cwd), "stdout.txt"), server
        self.terminal, self.printed = None, b""
        if terminal:
            self.terminal, out = pty.openpty()
            os.set_blocking(self.terminal, False)
        with open(out if terminal else self.stdout, "w") as out:
            self.process = subprocess.Popen([QUORLIN, *args], cwd=cwd, stdout=out, preexec_fn=die_with_parent,
                                            env=dict(os.environ, DISPLAY=server, LIBGL_ALWAYS_SOFTWARE="1"))
        case.addCleanup(self.stop)
        self.d = display.Display(server)
        self.window = self.poll(self.find_window, "window")
        self.d.damage_query_version()
        self.damage = self.window.damage_create(damage.DamageReportNonEmpty)
        self.passes(1)
        self.window.set_input_focus(X.RevertToPointerRoot, X.CurrentTime)

    def find_window(self):
        found = self.xdotool("search", "--onlyvisible", "--pid", str(self.process.pid), check=False).split()
        return found and self.d.create_resource_object("window", int(found[0]))

    def poll(self, read, what):
        end = time.monotonic() + DEADLINE
        while not (value := read()):
            select.select([self.d], [], [], 0.01)
            if time.monotonic() > end or self.process.poll() is not None:
                raise AssertionError("no %s in time; quorlin said %r" % (what, self.output()))
        return value

    def passes(self, count=5):
        """Returns once the program has swapped count times after the call."""
        for _ in range(count):
            self.d.damage_subtract(self.damage, X.NONE, X.NONE)
            self.poll(lambda: any(self.d.next_event().type == self.d.extension_event.DamageNotify
                                  for _ in range(self.d.pending_events())), "swap")

    def wait_for(self, predicate, what):
        self.poll(lambda: predicate() or self.passes(1), what)

    def passes_for(self, seconds):
        """Passes for at least seconds: the title's rate counts time, not passes."""
        end = time.monotonic() + seconds
        self.wait_for(lambda: time.monotonic() > end, "end of %g s" % seconds)

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.d.close()
        if self.terminal is not None:
            os.close(self.terminal)

    def exit_status(self):
        """Waits for the end, then lets go of Escape, which the server would keep down for the next test."""
        status = self.process.wait(DEADLINE)
        self.xdotool("keyup", "Escape")
        return status

    def output(self):
        if self.terminal is None:
            return pathlib.Path(self.stdout).read_text()
        try:
            while chunk := os.read(self.terminal, 1 << 16):
                self.printed += chunk
        except OSError:  # nothing more for now, or the program has gone
            pass
        return self.printed.decode().replace("\r\n", "\n")

    def xdotool(self, *command, check=True):
        return subprocess.run(["xdotool", *command], env=dict(os.environ, DISPLAY=self.server), check=check,
                              capture_output=True, text=True).stdout

    def tap(self, key):
        """Held across a few passes, so that the program sees it, then released and seen released."""
        self.xdotool("keydown", key)
        self.passes()
        self.xdotool("keyup", key)
        self.passes()

    def close_request(self):
        """What a window manager sends for the close button."""
        atom = self.d.intern_atom
        self.window.send_event(event.ClientMessage(window=self.window, client_type=atom("WM_PROTOCOLS"), data=(
            32, [atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])), event_mask=0)
        self.d.sync()

    def title(self):
        return self.window.get_full_property(self.d.intern_atom("_NET_WM_NAME"), X.AnyPropertyType).value.decode()

    def picture(self, x=0, y=0, width=None, height=None):
        geometry = self.window.get_geometry()
        return self.window.get_image(x, y % geometry.height, width or geometry.width, height or geometry.height,
                                     X.ZPixmap, 0xFFFFFFFF).data

    def pixel(self, x, y):
        return tuple(self.picture(x, y, 1, 1)[2::-1])

    def rendering(self):
        before = self.picture()
        self.passes(3)
        return self.picture() != before
