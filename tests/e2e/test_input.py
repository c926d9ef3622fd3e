"""Pointer, buttons, resizing and closing, read back through the probe shader."""

import unittest

from quorlin_harness import (BANNER, MOUSE_OFFSET, WINDOW_HEIGHT, WINDOW_WIDTH, QuorlinTestCase,
                             probe_shader_files)

# Where the window is put first, so that the pointer can also be left of and
# above it, and so that root and window coordinates differ.
WINDOW_ORIGIN = (100, 40)


def probed_mouse(probe):
    return probe["mouse_x"] - MOUSE_OFFSET, probe["mouse_y"] - MOUSE_OFFSET


class Pointer(QuorlinTestCase):

    # (pointer in window coordinates, origin top left) -> iMouse.xy, y measured
    # up from the bottom of the 600-pixel-high framebuffer.
    POSITIONS = [
        ((0, 0), (0, 600)),
        ((799, 599), (799, 1)),
        ((400, 300), (400, 300)),
        ((123, 456), (123, 144)),
        ((-60, -30), (-60, 630)),   # outside, left of and above the window
        ((850, 640), (850, -40)),   # outside, right of and below it
    ]

    # (buttons held) -> (iMouse.z, iMouse.w) as encoded (1.0 -> 1000).
    BUTTONS = [
        ((1,), (1000, 0)),
        ((3,), (0, 1000)),
        ((1, 3), (1000, 1000)),
        ((2,), (0, 0)),             # the middle button feeds nothing
    ]

    def setUp(self):
        super().setUp()
        self.session = self.launch(probe_shader_files())
        self.session.configure(x=WINDOW_ORIGIN[0], y=WINDOW_ORIGIN[1])
        self.start_rendering(self.session)

    def test_pointer_position(self):
        session = self.session
        for pointer, expected in self.POSITIONS:
            with self.subTest(pointer=pointer):
                session.move_pointer(*pointer)
                session.passes(5)
                self.assertEqual(probed_mouse(session.probe()), expected)
        self.assertEqual(session.press_escape(), 0)
        self.assertEqual(session.output(), BANNER + "\n", "moving the window is no resize")

    def test_buttons(self):
        session = self.session
        session.move_pointer(200, 150)
        for buttons, expected in self.BUTTONS:
            with self.subTest(buttons=buttons):
                for button in buttons:
                    session.button_down(button)
                session.passes(5)
                probe = session.probe()
                self.assertEqual((probe["left"], probe["right"]), expected)
                self.assertEqual(probed_mouse(probe), (200, 450))
                for button in buttons:
                    session.button_up(button)
                session.passes(5)
                probe = session.probe()
                self.assertEqual((probe["left"], probe["right"]), (0, 0), "released")


class Resize(QuorlinTestCase):

    # Larger, smaller and of another shape than the initial 800 x 600.
    SIZES = [(1000, 700), (640, 360), (801, 599)]

    def test_resizes_follow_the_window(self):
        session = self.launch(probe_shader_files())
        self.start_rendering(session)
        for width, height in self.SIZES:
            with self.subTest(size=(width, height)):
                session.configure(width=width, height=height)
                self.assertEqual(session.size(), (width, height))
                session.wait_until(session.quad_mismatches, [],
                                   what="pixels off the full-window quad")
                probe = session.probe()
                self.assertEqual((probe["res_x"], probe["res_y"]), (WINDOW_WIDTH, WINDOW_HEIGHT),
                                 "iResolution does not follow the window")
                # y is flipped with the new framebuffer height.
                session.move_pointer(100, 100)
                session.passes(5)
                self.assertEqual(probed_mouse(session.probe()), (100, height - 100))
        self.assertEqual(session.press_escape(), 0)
        # The size lines go through a buffer of their own and show up in full
        # only once the process has exited.
        self.assertEqual(session.output(),
                         BANNER + "\n" + "".join("%d:%d\n" % size for size in self.SIZES))


class Closing(QuorlinTestCase):

    CASES = [
        # (how, rendering when closed)
        ("escape", False),
        ("escape", True),
        ("close request", False),
        ("close request", True),
    ]

    def test_close(self):
        for how, rendering in self.CASES:
            with self.subTest(how=how, rendering=rendering):
                session = self.launch(probe_shader_files())
                session.passes(5)
                if rendering:
                    self.start_rendering(session)
                if how == "escape":
                    status = session.press_escape()
                else:
                    session.request_close()
                    status = session.wait_exit()
                self.assertEqual(status, 0)
                self.assertEqual(session.output(), BANNER + "\n")
                session.stop()
                session.server.stop()


if __name__ == "__main__":
    unittest.main()
