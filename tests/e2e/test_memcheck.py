"""A short session of the real binary under valgrind memcheck.

Start-up, a few rendered frames and Escape, with every invalid access and
every definite leak counted as an error: the session must end with status 0
and a log without errors.
"""

import os
import re
import unittest

from quorlin_harness import (BANNER, CHECK_PATTERN, TITLE_RATE, QuorlinTestCase,
                             probe_shader_files)

SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "memory",
                            "valgrind.supp")
# Keeps the driver mapped at exit; without it the memory the driver still
# holds is reported as definitely lost from unnamed frames.
KEEP_MODULES = os.environ.get("QUORLIN_KEEP_MODULES", "")
ERROR_STATUS = 99

# Under memcheck llvmpipe compiles and draws many times slower; these bounds
# only catch a hang.
SLOW_TIMEOUT = 300.0

# The first line of each kind of error memcheck reports.
ERROR_HEADING = re.compile(r"(Invalid |Conditional jump|Use of uninitialised|Syscall param|"
                           r"Mismatched|Source and destination|Argument |.* definitely lost in)")


def memcheck_errors(log):
    """The log's error reports, each with its stack, as text."""
    # Reports are paragraphs between lines that hold only the pid prefix.
    paragraphs = re.split(r"\n==\d+==\s*\n", log)
    return [p for p in paragraphs if ERROR_HEADING.match(re.sub(r"^==\d+== ", "", p))]


class Memcheck(QuorlinTestCase):

    maxDiff = None  # show every report in full

    def test_session_has_no_memory_errors(self):
        if not KEEP_MODULES:
            self.fail("QUORLIN_KEEP_MODULES must be set")
        project = self.make_project(probe_shader_files())
        log_path = os.path.join(project.root, "memcheck.log")
        session = self.launch(
            project=project,
            command_prefix=["valgrind", "--error-exitcode=%d" % ERROR_STATUS, "--leak-check=full",
                            "--errors-for-leak-kinds=definite", "--suppressions=" + SUPPRESSIONS,
                            "--log-file=" + log_path],
            # Rendering in the calling thread spares memcheck llvmpipe's workers.
            env_overrides={"LP_NUM_THREADS": "0", "LD_PRELOAD": KEEP_MODULES},
            startup_timeout=SLOW_TIMEOUT)

        # The window is mapped before the shaders are built and a press during
        # that is lost, so space stays held until frames arrive.
        session.key_down("space")
        session.wait_until(lambda: bool(TITLE_RATE.match(session.title())), True,
                           timeout=SLOW_TIMEOUT, what="frame-rate title")
        session.key_up("space")
        session.passes(3, timeout=SLOW_TIMEOUT)
        self.assertEqual(session.probe()["pattern"], CHECK_PATTERN, "frames drawn")
        session.key_down("Escape")
        status = session.wait_exit(SLOW_TIMEOUT)
        session.key_up("Escape")

        with open(log_path, encoding="utf-8", errors="replace") as f:
            log = f.read()
        self.assertEqual(memcheck_errors(log), [])
        self.assertIn("ERROR SUMMARY: 0 errors", log)
        self.assertEqual(status, 0)
        self.assertEqual(session.output(), BANNER + "\n")


if __name__ == "__main__":
    unittest.main()
