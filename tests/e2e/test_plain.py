"""For the ordinary build only: the GL calls of a short run against a golden file
(QUORLIN_UPDATE_GOLDEN=1 rewrites it), valgrind, scripts/run.sh with no display, and
an install with its manual page (which the sanitizer build does not make)."""
import os, pathlib, re, resource, subprocess, tempfile

from PIL import Image, ImageChops

from harness import BANNER, SHADERS, Case, png, start_server
from test_params import FILES
from test_pictures import SUM, image

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

    def gl_calls(self, *args, display=None):
        trace = os.path.join(self.project(), "run.trace")
        self.run_quorlin(*args, prefix=["apitrace", "trace", "-o", trace], display=display or self.display)
        dump = subprocess.run(["apitrace", "dump", "--color=never", "--call-nos=no", "--arg-names=no", "--multiline=no",
                               trace], capture_output=True, text=True, check=True).stdout
        # From the first program on: what comes before is GLFW's.
        return [call for call in dump[dump.index("\nglCreateShader"):].strip().split("\n") if not SKIPPED.search(call)]

    def test_gl_calls_of_a_short_run(self):
        # A new server: the pointer where it starts.
        calls = self.gl_calls("--frames", "2", "--time", "0", SHADERS, display=start_server(self.addCleanup))
        golden, actual = pathlib.Path(HERE, "..", "golden", "default-run.txt"), "\n".join(squeeze(calls)) + "\n"
        if os.environ.get("QUORLIN_UPDATE_GOLDEN"):
            golden.write_text(actual)
        self.assertEqual(actual, golden.read_text())

    def test_a_size_makes_only_the_targets_in_use_and_refuses_what_cannot_fit(self):
        shaders = os.path.join(self.project(**{"Image.frag": image("t(iChannel1)"), "BufferB.fs": image("vec4(1)")}),
                               "Shaders")
        for args, made in [([SHADERS], 4), (["--size", "64x48", SHADERS], 0), (["--size", "64x48", shaders], 1)]:
            with self.subTest(args=args):
                calls = self.gl_calls("--frames", "1", *args)
                self.assertEqual(sum(call.startswith("glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F") for call in calls), made)
        feedback = {"Buffer%s.fs" % x: image("t(iChannel0) + t(iChannel1) + t(iChannel2) + t(iChannel3)") for x in "ABCD"}
        result = self.run_quorlin("--size", "8192x8192", self.project(**feedback, **{"Image.frag": SUM}) + "/Shaders",
                                  display=self.display, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (
                                      4 << 30, resource.RLIM_INFINITY)))
        self.assertEqual((result.returncode, result.stdout), (2, BANNER))
        self.assertRegex(result.stderr, r"^quorlin: --size 8192x8192: this set needs about 12\.2 GiB, more than the "
                                        r"[\d.]+ GiB (this process may address \(ulimit -v\)|that the software .*)\n$")

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
        self.assertEqual((result.returncode, result.stdout), (0, BANNER + "Saved %s/out.png (64x48)\n" % root))

    def test_run_script_without_a_display_saves_the_readme_picture(self):
        picture = os.path.join(self.project(), "quorlin.png")
        result = subprocess.run([os.path.join(HERE, "..", "..", "scripts", "run.sh")], capture_output=True, text=True,
                                env={**{k: v for k, v in os.environ.items() if k != "DISPLAY"},
                                     "QUORLIN_PICTURE": picture}, timeout=600)
        self.assertEqual((result.returncode, result.stdout[-len(picture) - 17:]), (0, "Saved %s (800x600)\n" % picture))
        # llvmpipe's code follows the processor's vector units: a level or two here and there, not another picture.
        documented = Image.open(os.path.join(HERE, "..", "..", "docs", "default-shader.png")).convert("RGB")
        off = ImageChops.difference(png(picture)[0].convert("RGB"), documented).convert("L").histogram()[16:]
        self.assertLess(sum(off), 800 * 600 // 1000, "more than one pixel in a thousand differs by 16 levels")

    def test_an_install_needs_nothing_from_the_checkout(self):
        prefix = os.path.join(self.project(), "prefix with space")
        subprocess.run(["cmake", "--install", os.environ["QUORLIN_BUILD_DIR"], "--prefix", prefix], check=True,
                       capture_output=True)
        binary, examples = os.path.join(prefix, "bin", "quorlin"), os.path.join(prefix, "share", "quorlin", "examples")
        self.assertIn("\nExample sets: %s\n" % examples, self.run_quorlin("--help", binary=binary).stdout)
        with tempfile.TemporaryDirectory() as elsewhere:
            result = self.run_quorlin(os.path.join(examples, "bloom"), "--size", "64x48", "--time", "2", "--output",
                                      "bloom.png", binary=binary, cwd=elsewhere, display=self.display)
            self.assertEqual((result.returncode, result.stdout), (0, BANNER + "Saved bloom.png (64x48)\n"))
            self.assertNotEqual(png(os.path.join(elsewhere, "bloom.png"))[0].getextrema()[:3], ((0, 0),) * 3)
        page = os.path.join(prefix, "share", "man", "man1", "quorlin.1")
        # man exits 16 for any page it cannot open: first, whether the install made one at all.
        self.assertTrue(os.path.isfile(page), "no page installed: no help2man when configured, or a sanitizer build")
        page = subprocess.run(["man", "-l", page], capture_output=True, text=True, env=dict(os.environ, MANWIDTH="100"))
        self.assertEqual(page.returncode, 0, page.stderr)
        for heading in ("quorlin - fill a window with a fragment shader you write", "--max-fps N", "SHADER FILES", "KEYS",
                        "iChannelResolution", "EXIT STATUS", "ENVIRONMENT", "EXAMPLES", "FILES"):
            self.assertIn(heading, page.stdout)
