"""Failed builds where the author looks: located lines on a terminal, and the band
on the window after a failed reload."""
import os, pty, re, subprocess

from harness import BANNER, DIRECTORY, FIFO, QUORLIN, SHADERS, SHIPPED, Case, Window, png, start_server, write
from test_pictures import reports

FIXED = "in vec2 TexCoord;\nvoid main() { FragColor = vec4(0.0, 0.5, 1.0, 1.0); }\n"
BROKEN = "in vec2 TexCoord;\nvoid main() {\n    FragColor = vec4(undeclared);\n}\n"
OTHER = "in vec2 TexCoord;\nvoid main() {\n\n    FragColor = vec4(missing);\n}\n"  # two lines, others
UNFINISHED = "in vec2 TexCoord;\nvoid main() {\n    FragColor = vec4(1.0)\n}\n"  # one line
TAIL = "const float TEN = 1"  # an include whose last line runs into the file's first
# (what, changes, located lines with the shader directory as D)
LOCATED = [
    ("the image's own line past a nine-line include", {"Image.frag": BROKEN},
     ["D/Image.frag:3:19: error: `undeclared' undeclared",
      "D/Image.frag:3:14: error: cannot construct `vec4' from a non-numeric data type"]),
    ("the include's line, once for each program", {"common.incl": SHIPPED["common.incl"] + "uniform vec5 nine;\n"},
     ["D/common.incl:10:14: error: syntax error, unexpected NEW_IDENTIFIER, expecting '{'"] * 2),
    ("the file's line 1 less the include's unfinished line", {"common.incl": SHIPPED["common.incl"] + TAIL,
     "Image.frag": "0.0 + undeclared;\n" + FIXED, "TextureViewer.fs.frag": "0.0;\n" + SHIPPED["TextureViewer.fs.frag"]},
     ["D/Image.frag:1:7: error: `undeclared' undeclared",
      "D/common.incl:10:19: error: operands to arithmetic operators must be numeric",
      "D/common.incl:10:19: error: initializer of const variable `TEN' must be a constant expression"]),
    ("the vertex file's line", {"VertexShader.vs": SHIPPED["VertexShader.vs"].replace("aTexCoord;\n", "x;\n", 1)},
     ["D/VertexShader.vs:13:13: error: `aTexCoord' undeclared"]),
    ("nothing past a #line directive", {"Image.frag": "#line 3\n" + BROKEN}, []),
    ("a missing file is named", {"VertexShader.vs": None}, ["D/VertexShader.vs: No such file or directory"]),
    ("a directory", {"Image.frag": DIRECTORY}, ["D/Image.frag: Is a directory"]),
    ("a pipe", {"Image.frag": FIFO}, ["D/Image.frag: Not a regular file"]),
    ("no declarations: the generated header's lines do not count", {
        "common.incl": "float f(float x)\n{\n    return x + undeclared_c;\n}", "VertexShader.vs": None,
        "Image.frag": "void mainImage(out vec4 c, in vec2 p)\n{\n    c = vec4(undeclared_i);\n}\n",
        "TextureViewer.vs.vert": None, "TextureViewer.fs.frag": None},
     ["D/common.incl:3:13: error: `undeclared_c' undeclared", "D/common.incl:3:9: error: operands to arithmetic "
      "operators must be numeric", "D/common.incl:3:2: error: `return' with wrong type error, in function `f' "
      "returning float", "D/Image.frag:3:11: error: `undeclared_i' undeclared",
      "D/Image.frag:3:6: error: cannot construct `vec4' from a non-numeric data type"]),
]
NOT_SAVED = "Not saved: the shaders did not build\n"


def in_terminal(*args, **options):
    """What quorlin prints when its standard output is a pseudo-terminal."""
    terminal, out = pty.openpty()
    with subprocess.Popen([QUORLIN, *args], stdout=out, **options) as process:
        os.close(out)
        printed = b""
        try:
            while chunk := os.read(terminal, 1 << 16):
                printed += chunk
        except OSError:  # the program has closed its end
            pass
    os.close(terminal)
    return printed.decode().replace("\r\n", "\n")


class Errors(Case):

    def test_located_lines_on_a_terminal_only(self):
        for what, changes, located in LOCATED:
            with self.subTest(what):
                shaders = os.path.join(self.project(**changes), "Shaders")
                args, env = ("--frames", "1", shaders), dict(os.environ, DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1")
                shown, piped = in_terminal(*args, env=env), self.run_quorlin(*args, display=self.display).stdout
                self.assertEqual([line.replace(shaders, "D") for line in shown.split("\n") if line.startswith(shaders)],
                                 located)
                if "ERROR::SHADER::FILE" in shown:  # the file right after the line that does not name it
                    self.assertRegex(shown, r"ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: .*\n%s/" % re.escape(shaders))
                self.assertTrue(piped.endswith(NOT_SAVED))
                reports(piped[:-len(NOT_SAVED)])  # today's reports and nothing else
                self.assertEqual(re.sub(r"(?m)^%s.*\n" % re.escape(shaders), "", shown), piped)

    def test_an_empty_set_names_its_image_and_borrows_nothing(self):
        """Without SHADER_DIR, ../Shaders with no files: the shipped image must not stand in for the author's."""
        root = self.project({})
        env = dict(os.environ, DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1")
        shown = in_terminal("--frames", "1", cwd=os.path.join(root, "build"), env=env)
        image = re.escape(root + "/Shaders/Image.frag")
        self.assertRegex(shown, r"^%sERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: .*\n%s: No such file or directory\n"
                         r"ERROR::SHADER_COMPILATION_ERROR of type: VERTEX\n" % (re.escape(BANNER), image))
        self.assertNotIn("iResolution", shown)
        self.assertTrue(shown.endswith(NOT_SAVED))

    def band(self, window):
        """The band's height at the bottom left (0: none), and the bottom 120 rows of the window."""
        rows = window.picture(0, -120, None, 120)
        width = len(rows) // 480
        return next((n for n in range(120) if rows[4 * (width * (119 - n) + 2):][:3] != b"\x14\x12\x1a"), 120), rows

    def test_band_after_failed_saves_paused_or_not_and_never_in_pictures(self):
        for args in (["--frames", "1000000"], []):
            root = self.project(**{"Image.frag": FIXED})
            path, build = os.path.join(root, "Shaders", "Image.frag"), os.path.join(root, "build")
            window = Window(self, self.display, "--watch", *args, os.path.dirname(path), cwd=build, terminal=True)
            if not args:
                window.tap("space")
            window.wait_for(lambda: window.pixel(400, 300) == (0, 128, 255), "the first frame")  # the watch has begun
            if not args:
                window.tap("space")  # paused: the band's coming and going draws the last frame again
            # The latest failure's lines, 24 pixels apart with 8 above and below; the same again after a fix.
            shown = {}
            for text, marker, height in [(BROKEN, "Image.frag:3:19: error", 64), (OTHER, "Image.frag:4:19: error", 64),
                                         (UNFINISHED, "Image.frag:4:1: error", 40), (FIXED, "Reloaded", 0),
                                         (OTHER, "Image.frag:4:19: error", 64)]:
                with self.subTest(args=args, marker=marker, again=text in shown):
                    count = window.output().count(marker)
                    write(path, text)
                    window.wait_for(lambda: window.output().count(marker) > count, marker)
                    window.passes()
                    band = self.band(window)
                    self.assertEqual(band[0], height)
                    self.assertEqual(shown.setdefault(text, band[1]), band[1], "not this failure's band before")
                    self.assertNotIn(band[1], [rows for other, rows in shown.items() if other != text], "another's")
                    window.tap("s")
                    self.assertEqual(self.band(window), band)
                    saved = re.findall(r"Saved (\S+)\n", window.output())[-1]
                    self.assertEqual(png(saved)[1](2, -2), (0, 128, 255, 255), "the picture has no band")
            self.assertEqual(window.pixel(400, 300), (0, 128, 255))

    def test_band_after_a_failed_start_only_with_watch(self):
        for args, band in [(["--watch"], 64), ([], 0)]:
            with self.subTest(args=args):
                root = self.project(**{"Image.frag": BROKEN})
                window = Window(self, self.display, *args, cwd=os.path.join(root, "build"), terminal=True)
                window.passes()
                self.assertEqual(self.band(window)[0], band)
                self.assertEqual(window.output()[-37:], "Press space to start, Escape to quit\n")  # after the logs

    def test_no_window_says_why_on_a_terminal(self):
        for server, why in [(None, "DISPLAY is not set: there is no display to open a window on"),
                            ("-extension", "The window system said: GLX: GLX extension not found")]:
            with self.subTest(why):
                env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
                if server:
                    env["DISPLAY"] = start_server(self.addCleanup, server, "GLX")
                self.assertEqual(in_terminal(SHADERS, env=env), BANNER + "Failed to create GLFW window\n" + why +
                                 "\n--output renders without a window, such as: quorlin --output picture.png\n")
