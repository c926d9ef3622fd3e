"""For the ordinary build only: the GL calls of a short run against a golden file
(QUORLIN_UPDATE_GOLDEN=1 rewrites it), valgrind, scripts/run.sh with no display, and
an install with its manual page (which the sanitizer build does not make)."""
import os, pathlib, re, subprocess, tempfile

from harness import BANNER, SHADERS, Case, png, start_server
from test_params import FILES
from test_pictures import image

HERE = os.path.dirname(os.path.abspath(__file__))
# The window system's calls, the building of programs (whose reports and sources are
# tested elsewhere), the listing of a program's uniforms that finds its samplers and types, and look-ups of uniforms that a program does not use.
SKIPPED = re.compile(r"^(glX|gl(Create|Compile|Attach|Delete)Shader|glShaderSource|glCreateProgram|glLinkProgram|"
                     r"glGet(Shader|Program)iv|glGetActiveUniform)|// fake| = -1$")
NUMBER = re.compile(r"(?<![\d.])-?\d+(\.\d+)?(e-?\d+)?(?!\d)")  # object names and the clock


def squeeze(lines):
    """A block repeated with only other numbers becomes its first copy, noted with the count."""
    masked, kept, at = [NUMBER.sub("#", line) for line in lines], [], 0
    while at < len(lines):
        size = next((n for n in range(1, 20) if masked[at + n:at + 2 * n] == masked[at:at + n]), 1)
        count = 1
        while masked[at + count * size:at + (count + 1) * size] == masked[at:at + size]:
            count += 1
        kept += lines[at:at + size]
        kept[-1] += "  # and %d more like the %d line(s) ending here" % (count - 1, size) if count > 1 else ""
        at += size * count
    return kept


class Plain(Case):

    def test_gl_calls_of_a_short_run(self):
        trace = os.path.join(self.project(), "run.trace")
        self.run_quorlin("--frames", "2", "--time", "0", SHADERS, prefix=["apitrace", "trace", "-o", trace],
                         display=start_server(self.addCleanup))  # a new server: the pointer where it starts
        dump = subprocess.run(["apitrace", "dump", "--color=never", "--call-nos=no", "--arg-names=no", "--multiline=no",
                               trace], capture_output=True, text=True, check=True).stdout
        # From the first program on: what comes before is GLFW's.
        calls = [call for call in dump[dump.index("\nglCreateShader"):].strip().split("\n") if not SKIPPED.search(call)]
        golden, actual = pathlib.Path(HERE, "..", "golden", "default-run.txt"), "\n".join(squeeze(calls)) + "\n"
        if os.environ.get("QUORLIN_UPDATE_GOLDEN"):
            golden.write_text(actual)
        self.assertEqual(actual, golden.read_text())

    def test_a_parameter_is_set_once_in_each_program_that_uses_it(self):
        """level, read by buffer A and the image; --time 0 keeps every iTime off 0.375."""
        root = self.project(**FILES)
        trace = os.path.join(root, "run.trace")
        for sets, value, calls in [([], "0.25", 0), (["--set", "level=0.375"], "0.375", 2)]:
            self.run_quorlin("--frames", "3", "--time", "0", "--size", "64x48", *sets, root + "/Shaders",
                             prefix=["apitrace", "trace", "-o", trace], display=self.display)
            dump = subprocess.run(["apitrace", "dump", "--color=never", "--call-nos=no", "--arg-names=no", trace],
                                  capture_output=True, text=True, check=True).stdout
            self.assertEqual(len(re.findall(r'glGetUniformLocation\(\d+, "level"\)', dump)), 2, "once a link")
            self.assertEqual(len(re.findall(r"glUniform1f\(\d+, %s\)" % value, dump)), calls, "in three frames")

    def test_valgrind_finds_no_memory_errors(self):
        root = self.project(**{"Image.frag": image("t(iChannel1)"), "BufferA.fs": image("t(iChannel0) + vec4(0.1)"),
                               "BufferB.fs": image("t(iChannel0)")})
        result = self.run_quorlin(
            "--frames", "3", "--size", "64x48", "--output", os.path.join(root, "out.png"), root + "/Shaders",
            display=self.display, timeout=600, prefix=[
                "valgrind", "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite",
                "--suppressions=" + os.path.join(HERE, "..", "memory", "valgrind.supp")],
            # The driver stays mapped at exit; rendering in the calling thread spares memcheck llvmpipe's workers.
            env={"LD_PRELOAD": os.environ["QUORLIN_KEEP_MODULES"], "LP_NUM_THREADS": "0"})
        self.assertIn("ERROR SUMMARY: 0 errors", result.stderr)
        self.assertEqual((result.returncode, result.stdout), (0, BANNER))

    def test_run_script_without_a_display_saves_a_picture(self):
        picture = os.path.join(self.project(), "quorlin.png")
        result = subprocess.run([os.path.join(HERE, "..", "..", "scripts", "run.sh")], capture_output=True, text=True,
                                env={**{k: v for k, v in os.environ.items() if k != "DISPLAY"},
                                     "QUORLIN_PICTURE": picture, "QUORLIN_FRAMES": "2"}, timeout=600)
        self.assertEqual((result.returncode, result.stdout[-len(picture) - 7:]), (0, "Saved %s\n" % picture))
        self.assertEqual(png(picture)[0].size, (800, 600))
        self.assertNotEqual(png(picture)[0].getextrema()[:3], ((0, 0),) * 3, "a black picture")

    def test_an_install_needs_nothing_from_the_checkout(self):
        prefix = os.path.join(self.project(), "prefix with space")
        subprocess.run(["cmake", "--install", os.environ["QUORLIN_BUILD_DIR"], "--prefix", prefix], check=True,
                       capture_output=True)
        binary, examples = os.path.join(prefix, "bin", "quorlin"), os.path.join(prefix, "share", "quorlin", "examples")
        self.assertIn("\nExample sets: %s\n" % examples, self.run_quorlin("--help", binary=binary).stdout)
        with tempfile.TemporaryDirectory() as elsewhere:
            result = self.run_quorlin(os.path.join(examples, "bloom"), "--size", "64x48", "--time", "2", "--output",
                                      "bloom.png", binary=binary, cwd=elsewhere, display=self.display)
            self.assertEqual((result.returncode, result.stdout), (0, BANNER))
            self.assertNotEqual(png(os.path.join(elsewhere, "bloom.png"))[0].getextrema()[:3], ((0, 0),) * 3)
        page = os.path.join(prefix, "share", "man", "man1", "quorlin.1")
        # man exits 16 for any page it cannot open: first, whether the install made one at all.
        self.assertTrue(os.path.isfile(page), "no page installed: no help2man when configured, or a sanitizer build")
        page = subprocess.run(["man", "-l", page], capture_output=True, text=True, env=dict(os.environ, MANWIDTH="100"))
        self.assertEqual(page.returncode, 0, page.stderr)
        for heading in ("quorlin - fill a window with a fragment shader you write", "--max-fps", "SHADER FILES", "KEYS"):
            self.assertIn(heading, page.stdout)
