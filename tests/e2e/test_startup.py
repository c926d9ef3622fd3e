"""Start-up and shutdown of the real binary: what it prints and how it exits."""

import os
import unittest

from quorlin_harness import (BANNER, TITLE_RATE, QuorlinTestCase, run_to_exit,
                             shipped_shader_files)

READ_FAILURE = "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ: "
REPORT_HEADINGS = {
    "ERROR::SHADER_COMPILATION_ERROR of type: VERTEX": "VERTEX",
    "ERROR::SHADER_COMPILATION_ERROR of type: FRAGMENT": "FRAGMENT",
    "ERROR::PROGRAM_LINKING_ERROR of type: PROGRAM": "PROGRAM",
}
REPORT_END = " -- " + "-" * 51 + " -- "
STAGE_ORDER = ("VERTEX", "FRAGMENT", "PROGRAM")


def split_shader_diagnostics(lines):
    """Splits the lines after the banner into one entry per program.

    Each entry is (read-failure line, [report types in order]); a report
    runs from its heading to the closing rule, with the driver's log between.
    Anything outside that shape is an error.
    """
    programs = []
    report = None
    for number, line in enumerate(lines, start=2):
        if report is not None:
            if line == REPORT_END:
                report = None
            continue
        if line.startswith(READ_FAILURE):
            programs.append((line, []))
        elif line in REPORT_HEADINGS and programs:
            report = REPORT_HEADINGS[line]
            programs[-1][1].append(report)
        else:
            raise AssertionError("unexpected line %d: %r" % (number, line))
    if report is not None:
        raise AssertionError("%s report has no closing rule" % report)
    return programs


class StartupWithShaders(QuorlinTestCase):

    def test_session_with_shipped_shaders_prints_only_the_banner(self):
        # A broken Shaders directory inside the working directory must not be
        # read: the program looks in the parent only.
        decoy = {name: "this is not GLSL\n" for name in shipped_shader_files()}
        project = self.make_project(shipped_shader_files(), build_shader_files=decoy)
        session = self.launch(project=project)
        session.passes(5)
        session.tap("space")
        # The frame-rate title is the user's sign that frames are being drawn.
        session.wait_until(lambda: bool(TITLE_RATE.match(session.title())), True, what="title")
        session.passes(10)
        self.assertEqual(session.press_escape(), 0)
        self.assertEqual(session.output(), BANNER + "\n")

    def test_missing_shader_directory_reports_each_program_and_keeps_running(self):
        session = self.launch(shader_files=None)
        # The loop keeps going, paused and then drawing with the unusable programs.
        session.passes(5)
        session.tap("space")
        session.passes(10)
        self.assertIsNone(session.process.poll())
        self.assertEqual(session.press_escape(), 0)

        lines = session.output().split("\n")
        self.assertEqual(lines[0], BANNER)
        self.assertEqual(lines[-1], "", "output must end with a line end")
        programs = split_shader_diagnostics(lines[1:-1])
        self.assertEqual(len(programs), 2, "one read failure per program")
        for read_line, reports in programs:
            self.assertGreater(len(read_line), len(READ_FAILURE), "the failure's text follows")
            self.assertEqual(reports, [t for t in STAGE_ORDER if t in reports],
                             "reports come in the order VERTEX, FRAGMENT, PROGRAM")


class WindowCreationFailure(QuorlinTestCase):
    """Every way the window can fail to open gives the same message and status 255."""

    CASES = [
        # (name, has a server, server arguments, environment changes)
        ("no display", False, (), {}),
        ("server without GLX", True, ("-extension", "GLX"), {}),
        ("driver below GL 3.3", True, (), {"MESA_GL_VERSION_OVERRIDE": "3.2"}),
    ]

    def test_window_creation_failure(self):
        for name, has_server, server_args, env_changes in self.CASES:
            with self.subTest(name):
                env = dict(os.environ)
                env.pop("DISPLAY", None)
                env.pop("WAYLAND_DISPLAY", None)
                env["LIBGL_ALWAYS_SOFTWARE"] = "1"
                env.update(env_changes)
                if has_server:
                    server = self.start_server(server_args)
                    env["DISPLAY"] = server.name
                project = self.make_project(shipped_shader_files())
                status, output = run_to_exit(project, env)
                self.assertEqual(output, BANNER + "\nFailed to create GLFW window\n")
                self.assertEqual(status, 255)
                if has_server:
                    server.stop()


if __name__ == "__main__":
    unittest.main()
