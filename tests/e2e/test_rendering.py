"""The main job as the user sees it: space starts and pauses the shader's picture."""

import time
import unittest

from quorlin_harness import (CHECK_PATTERN, TITLE_RATE, WINDOW_HEIGHT, WINDOW_WIDTH,
                             QuorlinTestCase, probe_shader_files)


class Rendering(QuorlinTestCase):

    def wait_for_rate_title(self, session):
        return session.wait_until(lambda: bool(TITLE_RATE.match(session.title())), True,
                                  what="title matches %r" % TITLE_RATE.pattern)

    def test_nothing_is_drawn_before_the_first_space(self):
        session = self.launch(probe_shader_files())
        for _ in range(3):
            session.passes(5)
            self.assertTrue(session.is_black(), "window drawn before space")
            self.assertEqual(session.title(), "Quorlin")

        self.start_rendering(session)
        probe = session.probe()
        self.assertEqual(probe["pattern"], CHECK_PATTERN, "read-back decodes the shader's output")
        self.assertEqual((probe["res_x"], probe["res_y"]), (WINDOW_WIDTH, WINDOW_HEIGHT))
        self.assertEqual(session.quad_mismatches(), [], "the picture covers the window")

    def test_title_shows_the_rate_and_stays_while_paused(self):
        session = self.launch(probe_shader_files())
        self.start_rendering(session)
        self.wait_for_rate_title(session)

        session.tap("space")
        self.assertFalse(session.is_rendering(), "second space did not pause")
        title, picture = session.title(), session.probe()
        # Well past several 0.1 s refresh intervals: a title that kept being
        # refreshed while paused would change here.
        session.passes_for(0.5)
        self.assertEqual(session.title(), title)
        self.assertEqual(session.probe(), picture, "the last frame stays on screen")

        session.tap("space")
        self.assertTrue(session.is_rendering(), "third space did not resume")
        self.wait_for_rate_title(session)

    def test_holding_space_toggles_once(self):
        session = self.launch(probe_shader_files())
        session.key_down("space")
        session.passes(5)
        # Longer than the server's key repeat delay, so repeats are exercised too.
        held_until = time.monotonic() + 1.2
        while time.monotonic() < held_until:
            self.assertTrue(session.is_rendering(), "held space toggled again")
        session.key_up("space")
        session.passes(5)
        self.assertTrue(session.is_rendering(), "release toggled")

        # Release seen, so the next press toggles back; again only once.
        session.key_down("space")
        session.passes(5)
        for _ in range(5):
            self.assertFalse(session.is_rendering(), "held space toggled again")
        session.key_up("space")
        session.passes(5)
        self.assertFalse(session.is_rendering(), "release toggled")

    def test_time_counts_seconds_from_start_and_runs_on_while_paused(self):
        session = self.launch(probe_shader_files())
        self.start_rendering(session)
        times = []
        for _ in range(4):
            times.append(session.probed_time())
            session.passes(3)
        self.assertEqual(times, sorted(set(times)), "iTime advances frame by frame")
        # The clock starts with the window system, after the process was started.
        self.assertLessEqual(times[-1], time.monotonic() - session.started_at)

        pause_sent = time.monotonic()
        session.tap("space")
        self.assertFalse(session.is_rendering())
        paused_time = session.probed_time()
        paused_seen = time.monotonic()
        session.passes_for(0.6)
        resume_sent = time.monotonic()
        session.tap("space")
        resumed_time = session.probed_time()
        resumed_seen = time.monotonic()

        # The last paused frame was drawn before paused_seen and the shown
        # resumed frame after resume_sent, so iTime must have moved on by at
        # least the wall time between them: it keeps running while paused.
        # 0.1 ms is the encoding's resolution.
        self.assertGreaterEqual(resumed_time - paused_time,
                                resume_sent - paused_seen - 0.0001)
        # The last paused frame started at most one pass before pause_sent;
        # 0.25 s is a generous pass on a loaded machine. A clock in other
        # units than seconds breaks this bound.
        self.assertLessEqual(resumed_time - paused_time, resumed_seen - pause_sent + 0.25)


if __name__ == "__main__":
    unittest.main()
