"""Bad shader files, odd working directories and rough handling of the window.

Whatever the input, the program reports it on standard output in the
documented shape, keeps its window and loop (space still starts rendering)
and exits 0 on Escape; only a working directory it cannot name ends it early.
"""

import os
import pwd
import random
import shutil
import unittest

from quorlin_harness import (BANNER, CHECK_PATTERN, PROBE_IMAGE, QUORLIN, TITLE_RATE,
                             QuorlinTestCase, probe_shader_files, run_to_exit, shipped_shader_files)
from test_startup import READ_FAILURE, REPORT_END, REPORT_HEADINGS

SHIPPED = shipped_shader_files()

# A stage file that cannot be read empties both sources of its program, so
# both stages fail to compile and the link fails too.
FAILED_READ = ["READ", "VERTEX", "FRAGMENT", "PROGRAM"]
# Without the include a fragment file has no version directive and none of
# the declarations it relies on.
NO_INCLUDE = ["FRAGMENT: undeclared", "PROGRAM"]
NO_MAIN = ["PROGRAM: lacks `main'"]

# (file, state, reports in output order: image program first, then viewer).
# A report is "KIND" or "KIND: text its log contains"; READ is a read failure.
FILE_STATES = [
    ("VertexShader.vs", "missing", FAILED_READ),
    ("Image.frag", "missing", FAILED_READ),     # drops the good vertex text too
    ("common.incl", "missing", NO_INCLUDE * 2),  # silent: reads as empty
    ("TextureViewer.vs.vert", "missing", FAILED_READ),
    ("TextureViewer.fs.frag", "missing", FAILED_READ),
    ("VertexShader.vs", "empty", ["VERTEX", "PROGRAM"]),
    ("Image.frag", "empty", NO_MAIN),
    ("common.incl", "empty", NO_INCLUDE * 2),
    ("TextureViewer.vs.vert", "empty", ["VERTEX", "PROGRAM"]),
    ("TextureViewer.fs.frag", "empty", NO_MAIN),
    ("VertexShader.vs", "a directory", FAILED_READ),
    ("Image.frag", "a directory", FAILED_READ),
    ("common.incl", "a directory", FAILED_READ * 2),
    ("TextureViewer.vs.vert", "a directory", FAILED_READ),
    ("TextureViewer.fs.frag", "a directory", FAILED_READ),
    ("VertexShader.vs", "unreadable", FAILED_READ),
    ("Image.frag", "unreadable", FAILED_READ),
    ("common.incl", "unreadable", FAILED_READ * 2),  # there but unreadable: not silent
    ("TextureViewer.vs.vert", "unreadable", FAILED_READ),
    ("TextureViewer.fs.frag", "unreadable", FAILED_READ),
    # A pipe would block the open until something writes to it.
    ("Image.frag", "a pipe", FAILED_READ),
    ("common.incl", "a pipe", FAILED_READ * 2),
]

# The first line declares what the second uses, so losing it shows.
DECLARES_FIRST = "const vec4 COLOUR = vec4(1.0);\nvoid main() { FragColor = COLOUR; }\n"
# Arbitrary bytes without a NUL, so that all of them reach the compiler; fixed,
# so a failure can be replayed.
BINARY = bytes(random.Random(7).randrange(1, 256) for _ in range(4096))
# 8 MiB of comment lines after a working shader; the harness's deadlines
# catch a start-up that never ends.
HUGE_IMAGE = PROBE_IMAGE + ("// " + "x" * 60 + "\n") * (8 * 1024 * 1024 // 64)

# (what, {file: text}, reports)
CONTENTS = [
    ("include ends with a line end", {"common.incl": SHIPPED["common.incl"] + "// end\n",
                                      "Image.frag": DECLARES_FIRST}, []),
    ("include ends in a comment without a line end: the fragment's first line joins it",
     {"common.incl": SHIPPED["common.incl"] + "// end", "Image.frag": DECLARES_FIRST},
     ["FRAGMENT: `COLOUR' undeclared", "PROGRAM"]),
    ("NUL in the include hides each fragment file",
     {"common.incl": SHIPPED["common.incl"] + "\0\n"}, NO_MAIN * 2),
    ("NUL in a fragment file hides what follows",
     {"Image.frag": DECLARES_FIRST + "\0 this is not GLSL"}, []),
    ("binary bytes as the image fragment", {"Image.frag": BINARY}, ["FRAGMENT", "PROGRAM"]),
    ("8 MiB image fragment", {"Image.frag": HUGE_IMAGE}, []),
]


def diagnostics(output):
    """The output after the banner as [(kind, text)]: ("READ", reason) for a
    read failure, (type, log) for a compile or link report. Anything else in
    the output is an error."""
    if not output.startswith(BANNER + "\n"):
        raise AssertionError("no banner line first: %r" % output[:80])
    found = []
    rest = output[len(BANNER) + 1:]
    while rest:
        line, _, after = rest.partition("\n")
        if line.startswith(READ_FAILURE):
            found.append(("READ", line[len(READ_FAILURE):]))
            rest = after
        elif line in REPORT_HEADINGS:
            log, closed, rest = after.partition("\n" + REPORT_END + "\n")
            if not closed:
                raise AssertionError("%s report without its closing line" % line)
            found.append((REPORT_HEADINGS[line], log))
        else:
            raise AssertionError("unexpected output line %r" % line)
    return found


def nobody_options(project):
    """Runs a copy of the binary as nobody: the checkout may sit where nobody cannot reach."""
    os.chmod(project.root, 0o755)
    binary = os.path.join(project.root, "quorlin")
    shutil.copy(QUORLIN, binary)
    return {"child_setup": as_nobody, "binary": binary}


def as_nobody():
    # Root reads a file whatever its mode, so an unreadable file needs another user.
    nobody = pwd.getpwnam("nobody")
    os.setgroups([])
    os.setgid(nobody.pw_gid)
    os.setuid(nobody.pw_uid)


class BadShaderFiles(QuorlinTestCase):

    def run_session(self, project, **options):
        """Shows the loop survived, exits by Escape; returns the diagnostics."""
        session = self.launch(project=project, **options)
        # Rendering needs no usable program: the title shows a rate all the same.
        session.tap("space")
        session.wait_until(lambda: bool(TITLE_RATE.match(session.title())), True,
                           what="frame-rate title")
        self.assertEqual(session.press_escape(), 0)
        output = session.output()
        # Cases run one after another: no need to keep each one's server to the end.
        session.stop()
        session.server.stop()
        return diagnostics(output)

    def assert_reports(self, found, expected):
        self.assertEqual([kind for kind, _ in found], [e.split(":")[0] for e in expected])
        for (kind, text), wanted in zip(found, expected):
            if kind == "READ":
                self.assertTrue(text.strip(), "a read failure names its reason")
            elif ": " in wanted:
                self.assertIn(wanted.split(": ", 1)[1], text, "%s log" % kind)

    def test_file_states(self):
        for name, state, expected in FILE_STATES:
            with self.subTest(file=name, state=state):
                files = dict(SHIPPED)
                if state == "empty":
                    files[name] = ""
                elif state in ("missing", "a directory", "a pipe"):
                    del files[name]
                project = self.make_project(files)
                path = os.path.join(project.root, "Shaders", name)
                options = {}
                if state == "a directory":
                    os.mkdir(path)
                elif state == "a pipe":
                    os.mkfifo(path)
                elif state == "unreadable":
                    os.chmod(path, 0)
                    if os.geteuid() == 0:
                        options = nobody_options(project)
                self.assert_reports(self.run_session(project, **options), expected)

    def test_unprivileged_user_reads_readable_files(self):
        # The unreadable cases above run as this user; all they report must
        # come from the one file taken away.
        if os.geteuid() != 0:
            self.skipTest("already unprivileged")
        project = self.make_project(SHIPPED)
        self.assertEqual(self.run_session(project, **nobody_options(project)), [])

    def test_file_contents(self):
        for what, changes, expected in CONTENTS:
            with self.subTest(what):
                project = self.make_project({**SHIPPED, **changes})
                self.assert_reports(self.run_session(project), expected)

    def test_long_log_is_cut_to_1023_characters(self):
        # One error line per undeclared name, far more than 1023 characters.
        image = "void main()\n{\n%s}\n" % "".join("    undeclared_%d = 1;\n" % i
                                                 for i in range(100))
        project = self.make_project({**SHIPPED, "Image.frag": image})
        found = self.run_session(project)
        self.assertEqual([kind for kind, _ in found], ["FRAGMENT", "PROGRAM"])
        log = found[0][1]
        self.assertIn("undeclared_0", log)
        self.assertEqual(len(log), 1023)


class WorkingDirectory(QuorlinTestCase):

    def test_deleted_working_directory_ends_start_up(self):
        server = self.start_server()
        project = self.make_project(shipped_shader_files())
        env = dict(os.environ, DISPLAY=server.name, LIBGL_ALWAYS_SOFTWARE="1")
        # Removed in the child once it is inside, just before the program starts.
        status, output = run_to_exit(project, env, child_setup=lambda: os.rmdir(project.build))
        self.assertEqual(output, BANNER + "\nFailed to determine the working directory: "
                         "No such file or directory\n")
        self.assertEqual(status, 255)

    # Directory that holds Shaders, and the working directory below it.
    ODD_PATHS = [
        ("shader set ü ☃", "build dir é"),
        # A byte that is not UTF-8: Linux names are bytes, not text.
        (os.fsdecode(b"set \xff"), os.fsdecode(b"b\xfeuild")),
    ]

    def test_odd_path_names(self):
        for parent, build in self.ODD_PATHS:
            with self.subTest(parent=parent, build=build):
                project = self.make_project()
                project.build = os.path.join(project.root, parent, build)
                os.makedirs(project.build)
                project._write(os.path.join(project.root, parent, "Shaders"),
                               probe_shader_files())
                session = self.launch(project=project)
                self.start_rendering(session)
                self.assertEqual(session.probe()["pattern"], CHECK_PATTERN)
                self.assertEqual(session.press_escape(), 0)
                self.assertEqual(session.output(), BANNER + "\n", "shaders found and built")


class RoughHandling(QuorlinTestCase):

    def setUp(self):
        super().setUp()
        self.session = self.launch(probe_shader_files())

    def test_resize_to_one_pixel_and_back(self):
        session = self.session
        self.start_rendering(session)
        for size in ((1, 1), (800, 600)):
            session.configure(width=size[0], height=size[1])
            self.assertEqual(session.size(), size)
            session.passes(5)
        session.wait_until(session.quad_mismatches, [], what="pixels off the full-window quad")
        self.assertTrue(session.is_rendering())
        self.assertEqual(session.press_escape(), 0)
        self.assertEqual(session.output(), BANNER + "\n1:1\n800:600\n")

    def test_hundred_rapid_space_presses(self):
        session = self.session
        # Many presses and releases fall between two passes; none may upset the loop.
        for _ in range(100):
            session.key_down("space")
            session.key_up("space")
        session.passes(5)
        rendering = session.is_rendering()
        for _ in range(2):
            session.tap("space")
            rendering = not rendering
            self.assertEqual(session.is_rendering(), rendering, "space still toggles both ways")
        self.assertEqual(session.press_escape(), 0)
        self.assertEqual(session.output(), BANNER + "\n")


if __name__ == "__main__":
    unittest.main()
