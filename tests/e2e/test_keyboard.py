"""Keys: taps shorter than a frame, the keyboard as a shader reads it (through
input scripts, and on a window with the Control rule)."""
import os

from harness import SHIPPED, Case, Window
from Xlib import X, XK
from Xlib.ext import xtest

# Some tenths of a second a frame at 64x48 on llvmpipe; the red channel counts frames.
SLOW = """uniform int iFrame;
void main() {
    float a = gl_FragCoord.x;
    for (int i = 0; i < int(iResolution.x) * 300; ++i) a = fract(sin(a) * 43758.5);
    FragColor = vec4(float(iFrame % 256) / 255.0, a * 1e-9, 0.0, 1.0);
}
"""


def quick_tap(window, name, *held):
    """Pressed and released at once, without waiting for a pass: it falls inside a frame."""
    codes = [window.d.keysym_to_keycode(XK.string_to_keysym(key)) for key in (*held, name)]
    for code in codes:
        xtest.fake_input(window.d, X.KeyPress, code)
    for code in reversed(codes):
        xtest.fake_input(window.d, X.KeyRelease, code)
    window.d.sync()


class Taps(Case):

    def test_a_tap_inside_a_slow_frame_acts_once(self):
        root = self.project(**{"Image.frag": SLOW})
        window = Window(self, self.display, "--frames", "1000000", "--size", "64x48", cwd=os.path.join(root, "build"))
        for running in (False, True):
            window.passes(1)
            quick_tap(window, "space")
            window.wait_for(lambda: window.rendering() == running, "space acting")
            self.assertEqual(window.rendering(), running, "toggled twice")
        window.passes(1)
        quick_tap(window, "Escape")
        self.assertEqual(window.exit_status(), 1)
        self.assertRegex(window.output(), r"\nClosed after \d+ of 1000000 frames\n$")
