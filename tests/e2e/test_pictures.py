"""Runs to the end with --frames: messages, exit statuses and the pictures that
--output saves, deterministic on the fixed clock."""
import os, pathlib, pwd, re, shutil, subprocess

from harness import BANNER, DIRECTORY, FIFO, PROBE, QUORLIN, SHADERS, SHIPPED, UNREADABLE, Case, \
    environment, gradient_errors, png, probe, start_server
from test_keyboard import RULE

REPORT = re.compile(r"ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: ()(.+)\n|ERROR::(?:SHADER_COMPILATION_ERROR of "
                    r"type: (VERTEX|FRAGMENT)|PROGRAM_LINKING_ERROR of type: (PROGRAM))\n((?s:.*?))\n -- -{51} -- \n")


def reports(output):
    """The reports after the banner as [(kind, text)]; nothing else may be printed."""
    matches = list(REPORT.finditer(output, len(BANNER)))
    assert BANNER + "".join(match[0] for match in matches) == output, "unexpected output: %r" % output
    return [("READ" if match[1] is not None else match[3] or match[4], match[2] or match[5]) for match in matches]


def image(colour):
    """A fragment file, for the image or a buffer pass, that may sample any target with t()."""
    return "in vec2 TexCoord;\n" + "".join("uniform sampler2D iChannel%d;\n" % n for n in range(4)) + \
        "vec4 t(sampler2D s) { return texture(s, TexCoord); }\nvoid main() { FragColor = %s; }\n" % colour


FAILED_READ = "READ VERTEX FRAGMENT PROGRAM "  # a program left with no source at all
LONG_LOG = "void main() {\n%s}\n" % "".join("    undeclared_%d = 1;\n" % i for i in range(100))
SIZE = ["--size", "64x48"]
SUM = image("t(iChannel0) + t(iChannel1)")
# The other tools' convention: an include of uniforms only, files of mainImage without a final line end.
CONVENTION = {"common.incl": "#version 330 core\nuniform vec3 iResolution;\nuniform vec4 iDate;\nuniform sampler2D iChannel0;\n",
              "TextureViewer.fs.frag": "void mainImage(out vec4 c, in vec2 p) { c = vec4(0); }"}
main_image = lambda colour, head="": head + "void mainImage(out vec4 c, in vec2 p) { c = %s; }" % colour
# (what, changes to the shipped files, arguments, expected: "reports" in order, probe cells by
# name, pixels at (x, y from the top) within 1 of GL's rounding, "gradient": the probe's coordinates)
RUNS = [
    ("vertex file missing", {"VertexShader.vs": None}, SIZE, {"reports": FAILED_READ, "unsaved": 1}),
    ("image empty", {"Image.frag": ""}, SIZE, {"reports": "PROGRAM", "unsaved": 1}),
    ("image a directory", {"Image.frag": DIRECTORY}, SIZE, {"reports": FAILED_READ, "unsaved": 1}),
    ("image a pipe", {"Image.frag": FIFO}, SIZE, {"reports": FAILED_READ, "unsaved": 1}),
    ("viewer fragment missing: not shown, so saved", {"TextureViewer.fs.frag": None}, SIZE, {"reports": FAILED_READ}),
    ("include missing: silent, the fragments lack their head", {"common.incl": None}, SIZE,
     {"reports": "FRAGMENT PROGRAM " * 2, "unsaved": 1}),
    ("include unreadable", {"common.incl": UNREADABLE}, SIZE, {"reports": FAILED_READ * 2, "unsaved": 1}),
    ("include followed by the fragment files with nothing between", {"common.incl": SHIPPED["common.incl"] +
     "const float TEN = 1", "Image.frag": "0.0;\nvoid main() { FragColor = vec4(TEN / 255.0); }\n",
     "TextureViewer.fs.frag": "0.0;\n" + SHIPPED["TextureViewer.fs.frag"]}, SIZE, {(0, 0): (10, 10, 10)}),
    ("buffers the image does not sample are never read",
     {"BufferA.fs": "garbage", "BufferB.fs": FIFO, "BufferC.fs": DIRECTORY, "BufferD.fs": None}, SIZE, {}),
    ("log cut to 1023 characters", {"Image.frag": LONG_LOG}, SIZE,
     {"reports": "FRAGMENT PROGRAM", "log": 1023, "unsaved": 1}),
    ("default size, upright", {"Image.frag": PROBE}, ["--time", "1.5"],
     {"res_x": 800, "res_y": 600, "time_ms": 1500, "frame": 0, "delta_ms": 0, "gradient": 1}),
    ("frame k gets T + k / R", {"Image.frag": PROBE}, SIZE + ["--frames", "3", "--time", "2", "--rate", "4"],
     {"res_x": 64, "res_y": 48, "time_ms": 2500, "frame": 2, "delta_ms": 250, "gradient": 1}),
    ("--rate alone starts at 0", {"Image.frag": PROBE}, SIZE + ["--frames", "2", "--rate", "8"], {"time_ms": 125}),
    ("channels 0 and 2 read targets 0 and 2", {"Image.frag": image("vec4(t(iChannel0).r, t(iChannel2).g, 0, 1)"),
     "BufferA.fs": image("vec4(0.2, 0.8, 0, 1)"), "BufferC.fs": image("vec4(0.8, 0.4, 0, 1)")}, SIZE,
     {(32, 24): (51, 102, 0)}),
    ("targets hold floats beyond 0 to 1", {"Image.frag": image("vec4(t(iChannel0).rg * vec2(0.25, -0.25), 0, 1)"),
     "BufferA.fs": image("vec4(3, -1, 0, 1)")}, SIZE, {(32, 24): (191, 64, 0)}),
    ("a pass reading its own target adds once a frame", {"Image.frag": image("t(iChannel0)"),
     "BufferA.fs": image("t(iChannel0) + vec4(10.0 / 255.0)")}, SIZE + ["--frames", "5"], {(0, 0): (50, 50, 50)}),
    ("a chain runs in order within the frame", {"Image.frag": image("t(iChannel1)"), "BufferA.fs": image("vec4(0.2)"),
     "BufferB.fs": image("t(iChannel0) + vec4(0.2)")}, SIZE, {(32, 24): (102, 102, 102)}),
    ("targets are the render size", {"Image.frag": image("vec4(t(iChannel3).xy / iResolution, 0, 1)"),
     "BufferD.fs": image("vec4(gl_FragCoord.xy, 0, 1)")}, SIZE, {"gradient": 1}),
    ("a broken buffer that the image reads", {"Image.frag": image("vec4(0, 1, 0, 1) + t(iChannel0)"),
     "BufferA.fs": "void main() {"}, SIZE, {"reports": "FRAGMENT PROGRAM", "unsaved": 1}),
    ("a broken buffer that quorlin.toml wires to the image", {"quorlin.toml": '[Image]\niChannel0 = "BufferC"\n',
     "Image.frag": image("vec4(0, 1, 0, 1) + t(iChannel0)"), "BufferC.fs": "void main() {"}, SIZE,
     {"reports": "FRAGMENT PROGRAM", "unsaved": 1}),
    ("a broken buffer that --view shows", {"BufferB.fs": "void main() {"}, SIZE + ["--view", "2"],
     {"reports": "FRAGMENT PROGRAM", "unsaved": 1}),
    ("--view 1 shows target 0", {"Image.frag": SUM, "BufferA.fs": image("vec4(TexCoord, 0, 1)"),
     "BufferB.fs": image("vec4(1)")}, SIZE + ["--view", "1"], {"gradient": 1}),
    ("--view 2 shows target 1", {"Image.frag": SUM, "BufferA.fs": image("vec4(TexCoord, 0, 1)"),
     "BufferB.fs": image("vec4(0.2, 0.4, 0.8, 1)")}, SIZE + ["--view", "2"], {(63, 47): (51, 102, 204)}),
    ("mainImage writes the include's output", {"Image.frag": main_image("vec4(p / iResolution, 0, 1)")}, SIZE,
     {"gradient": 1}),
    ("mainImage feedback with no output declared", {**CONVENTION, "Image.frag": main_image("texture(iChannel0, p / "
     "iResolution.xy)"), "BufferA.fs": main_image("texture(iChannel0, p / iResolution.xy) + vec4(10.0 / 255.0)")},
     SIZE + ["--frames", "5"], {(0, 0): (50, 50, 50)}),
    ("mainImage writes the file's output; a vec3 iResolution has z = 1", {**CONVENTION, "Image.frag": main_image(
     "vec4(iResolution.z, 0, 0, 1)", "out vec4 colour;\n")}, SIZE, {(0, 0): (255, 0, 0)}),
    ("iDate on the fixed clock: 2000-03-01 01:01:01", {**CONVENTION, "Image.frag": main_image(
     "vec4((iDate.x - 1990.0) * 20.0, iDate.y * 20.0 + iDate.z * 4.0, (iDate.w - 3600.0) * 2.0, 255) / 255.0")},
     SIZE + ["--time", "5187661"], {(0, 0): (200, 44, 122)}),
    ("a file with main and mainImage is composed as before", {"Image.frag": main_image(
     "vec4(1)") + "\nvoid main() { FragColor = vec4(0, 1, 0, 1); }\n"}, SIZE, {(0, 0): (0, 255, 0)}),
    ("an error in a mainImage file keeps its line", {"Image.frag": main_image("vec4(undeclared)", "\n")}, SIZE,
     {"reports": "FRAGMENT PROGRAM", "log": r"^0:11\(", "unsaved": 1}),
]

NO_WINDOW = re.escape(BANNER + "Failed to create GLFW window\n")
NO_CONTEXT = re.escape(BANNER + "Failed to create a headless OpenGL context: ")
# A display name: a private Xvfb, one without GLX, or None, none at all; GL 3.2 caps the version Mesa offers.
COMMAND_LINES = [  # (arguments, display, status, stdout, stderr as patterns)
    (["--frames", "0"], "Xvfb", 2, "", r"quorlin: [^\n]+\nRun 'quorlin --help' for usage.\n"),
    (["--sampler", "iChannel2=mipmap,clamp"], "Xvfb", 2, "", r"quorlin: --sampler: iChannel2 reads a render target, "
     r"which has no mipmaps; give it an image or choose nearest or linear\nRun 'quorlin --help' for usage.\n"),
    (["--output", "/proc/q.png"], "Xvfb", 1,
     re.escape(BANNER + "Failed to write /proc/q.png: cannot create the file: No such file or directory\n"), ""),
    ([], None, 255, NO_WINDOW, ""),
    ([], "without GLX", 255, NO_WINDOW, ""),
    ([], "GL 3.2", 255, NO_WINDOW, ""),
    (["--frames", "1"], "no EGL vendor", 255, NO_CONTEXT + "no EGL display on the surfaceless or the device platform\n", ""),
    (["--frames", "1"], "GL 3.2, none", 255, NO_CONTEXT + re.escape("no OpenGL 3.3 core context (EGL_BAD_MATCH)\n"), ""),
    (["--headless", "--frames", "1"], "without GLX", 0, re.escape(BANNER), ""),  # the display is not even asked
    (["--headless", "--watch"], "Xvfb", 2, "", r"quorlin: --headless needs --frames, --output or --expect: a run "
     r"without a window must end by itself\nRun 'quorlin --help' for usage.\n"),
]
EXAMPLES = os.path.join(os.path.dirname(SHADERS), "examples")


class Runs(Case):
    headless = True

    def test_runs(self):
        for what, changes, args, expected in RUNS:
            with self.subTest(what):
                root, options = self.project(**changes), {}
                if UNREADABLE in changes.values():  # root reads any file: only another user meets an unreadable one
                    nobody = pwd.getpwnam("nobody")
                    os.chmod(root, 0o777)
                    preload = os.environ.get("LD_PRELOAD")  # copies: the checkout may be out of nobody's reach
                    options = dict(binary=shutil.copy(QUORLIN, root), user=nobody.pw_uid, group=nobody.pw_gid,
                                   env={"LD_PRELOAD": shutil.copy(preload, root)} if preload else {})
                out, size = os.path.join(root, "out.png"), (64, 48) if "--size" in args else (800, 600)
                result = self.run_quorlin(*args, "--output", out, os.path.join(root, "Shaders"), display=self.display,
                                          cwd=os.path.join(root, "build"), **options)
                unsaved = expected.get("unsaved", 0)  # a set that did not build leaves no picture
                last = "Not saved: the shaders did not build\n" if unsaved else "Saved %s (%dx%d)\n" % (out, *size)
                self.assertEqual((result.returncode, result.stderr, result.stdout[-len(last):]), (unsaved, "", last))
                found = reports(result.stdout[:-len(last)])
                self.assertEqual(" ".join(kind for kind, _ in found), expected.get("reports", "").strip())
                self.assertEqual(os.path.exists(out), not unsaved)
                if not unsaved:
                    picture, pixel = png(out)
                    self.assertEqual((picture.mode, picture.size), ("RGBA", size))
                for key, value in expected.items():
                    if key == "gradient":
                        self.assertEqual(gradient_errors(pixel, *size), [])
                    elif key == "log" and isinstance(value, str):
                        self.assertRegex(found[0][1], value)
                    elif key == "log":
                        self.assertEqual(len(found[0][1]), value)
                    elif isinstance(key, tuple):
                        self.assertLessEqual(max(abs(a - b) for a, b in zip(pixel(*key), value + (255,))), 1, key)
                    elif key not in ("reports", "unsaved"):
                        self.assertEqual(probe(pixel)[key], value, key)


class CommandLine(Case):

    def test_command_line(self):
        for args, display, status, stdout, stderr in COMMAND_LINES:
            with self.subTest(args=args, display=display):
                result = self.run_quorlin(
                    *args, SHADERS, env={"MESA_GL_VERSION_OVERRIDE": "3.2"} if "GL 3.2" in str(display) else
                    {"__EGL_VENDOR_LIBRARY_DIRS": "/nonexistent"} if display == "no EGL vendor" else {},
                    display=start_server(self.addCleanup, "-extension", "GLX") if display == "without GLX"
                    else display in ("Xvfb", "GL 3.2") and self.display)
                self.assertEqual(result.returncode, status)
                self.assertRegex(result.stdout, "^%s$" % stdout)
                self.assertRegex(result.stderr, "^%s$" % stderr)

    def test_headless_pictures_equal_the_windows(self):
        """Each example at two moments, in a window and with no display, byte for byte; the pointer
        rests on the window's bottom-left corner, where a run without a window has its iMouse."""
        subprocess.run(["xdotool", "mousemove", "0", "100"], env=environment(self.display), check=True)
        root = self.project()
        for name in sorted(os.listdir(EXAMPLES)):
            for moment in (["--time", "2.5"], ["--frames", "40", "--time", "0"]):
                with self.subTest(name, moment=moment):
                    pictures = []
                    for display in (self.display, None):
                        out = os.path.join(root, "out.png")
                        result = self.run_quorlin(os.path.join(EXAMPLES, name), "--size", "160x100", *moment,
                                                  "--output", out, display=display)
                        # flight steers by the keyboard, which only a window gives it.
                        keys = RULE if display and name == "flight" else ""
                        self.assertEqual((result.returncode, result.stdout),
                                         (0, BANNER + keys + "Saved %s (160x100)\n" % out))
                        pictures.append(pathlib.Path(out).read_bytes())
                    self.assertEqual(pictures[0], pictures[1])
        with self.subTest("a stream, converted from a window's frames and from a stand-in's"):
            streams = [subprocess.run([QUORLIN, os.path.join(EXAMPLES, "trails"), "--size", "160x100", "--frames", "3",
                                       "--output", "-"], env=environment(display), capture_output=True).stdout
                       for display in (self.display, None)]
            self.assertEqual(streams[0], streams[1])
            self.assertEqual(len(streams[0]), streams[0].index(b"\n") + 1 + 3 * (6 + 3 * 160 * 100))
