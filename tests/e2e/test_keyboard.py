"""Keys: the keyboard as a shader reads it, through input scripts and on a window with the
Control rule, and taps shorter than a frame."""
import os

from harness import BANNER, Case, Window, png
import test_wiring
from test_wiring import code
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
RULE = ("The shader reads the keyboard: Ctrl+Space pauses, Ctrl+R reloads, Ctrl+S saves, Ctrl+1..4 and Ctrl+0 "
        "choose the view\n")
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "flight")
KEYS = (65, 32, 37, 222)
# A cell of 4 pixels per key of KEYS: held, pressed and toggled as red, green and blue;
# then iMouse's x and y, and its z and w shifted by 128.
KEY_PROBE = code("int(p.x) / 4 < 4 ? vec4(r(0, p), r(1, p), r(2, p), 1) : vec4(int(p.x) < 20 ? iMouse.xy : "
                 "iMouse.zw + 128.0, 0, 255) / 255.0").replace(
    "void", "const int keys[4] = int[4](%d, %d, %d, %d);\nfloat r(int row, vec2 p) { return texelFetch("
            "iChannel0, ivec2(keys[int(p.x) / 4], row), 0).x; }\nvoid" % KEYS, 1)
# (what, the script, other arguments, mouse style, each key's rows as held, pressed and toggled, iMouse)
SCRIPTS = [
    ("held from frame 1", "1 key down 65", [], "click", {65: "101"}, (0, 0, 0, 0)),
    ("pressed on its first frame only", "3 key down 65 # the last frame", [], "click", {65: "111"}, (0, 0, 0, 0)),
    ("a tap inside one frame: pressed, not held", "3 key down 32\n3 key up 32", [], "click", {32: "011"},
     (0, 0, 0, 0)),
    ("a second press toggles back", "0 key down 37\n1 key up 37\n\n2 key down 37\n2 key up 37", [], "click",
     {37: "000", 65: "000"}, (0, 0, 0, 0)),
    ("frames count from --start-frame; earlier events come first", "13 key down 222\n5 key down 65",
     ["--start-frame", "10"], "click", {222: "111", 65: "101"}, (0, 0, 0, 0)),
    ("the button style", "1 mouse 5 3 down\n2 mouse 7 2", [], "buttons", {}, (7, 2, 1, 0)),
    ("the button style, right", "1 mouse 5 3.4 down right", [], "buttons", {}, (5, 3, 0, 1)),
    ("the click style after a release", "1 mouse 5 3 down\n2 mouse 7 2\n3 mouse 9 9 up", [], "click", {},
     (7, 2, -5, -3)),
    ("the click style on the press's frame", "3 mouse 5 3 down", [], "click", {}, (5, 3, 5, 3)),
]


def quick_tap(window, name, *held):
    """Pressed and released at once, without waiting for a pass: it falls inside a frame."""
    codes = [window.d.keysym_to_keycode(XK.string_to_keysym(key)) for key in (*held, name)]
    for code in codes:
        xtest.fake_input(window.d, X.KeyPress, code)
    for code in reversed(codes):
        xtest.fake_input(window.d, X.KeyRelease, code)
    window.d.sync()


class Keyboard(Case):
    bare_set = test_wiring.Wiring.bare_set

    def test_scripts_drive_the_keyboard_and_imouse(self):
        for what, script, args, style, rows, mouse in SCRIPTS:
            with self.subTest(what):
                root = self.bare_set({"quorlin.toml": 'mouse = "%s"\n[Image]\niChannel0 = "keyboard"\n' % style,
                                      "Image.frag": KEY_PROBE, "keys.txt": script})
                shaders = os.path.join(root, "Shaders")
                result = self.run_quorlin("--input", os.path.join(shaders, "keys.txt"), "--frames", "4", "--size",
                                          "24x4", *args, "--output", os.path.join(root, "out.png"), shaders,
                                          display=self.display)
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (0, BANNER + "Saved %s/out.png (24x4)\n" % root, ""))
                pixel = png(os.path.join(root, "out.png"))[1]
                for key, seen in rows.items():
                    self.assertEqual(pixel(4 * KEYS.index(key), 0)[:3], tuple(255 * int(b) for b in seen), key)
                self.assertEqual(pixel(16, 0)[:2] + tuple(v - 128 for v in pixel(20, 0)[:2]), mouse)

    def test_a_bad_script_line_is_refused(self):
        root = self.bare_set({"keys.txt": "# fine\n4 key down 300\n"})
        result = self.run_quorlin("--input", os.path.join(root, "Shaders", "keys.txt"), cwd=os.path.join(root, "Shaders"))
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (2, "", "quorlin: %s/Shaders/keys.txt:2: '300' is not a key code\n" % root))

    def test_the_shader_gets_the_keys_and_quorlin_those_with_control(self):
        root = self.bare_set({"quorlin.toml": '[Image]\niChannel0 = "keyboard"\n', "Image.frag": code(
            "vec4(texelFetch(iChannel0, ivec2(32, 0), 0).x, texelFetch(iChannel0, ivec2(32, 2), 0).x, "
            "float(iFrame % 251) / 255.0, 1)")})
        window = Window(self, self.display, os.path.join(root, "Shaders"), cwd=os.path.join(root, "build"))
        self.assertTrue(window.rendering(), "waits for a space that the shader would take")
        window.xdotool("keydown", "space")
        window.wait_for(lambda: window.pixel(5, 5)[:2] == (255, 255), "space held and toggled in the shader")
        window.xdotool("keyup", "space")
        window.wait_for(lambda: window.pixel(5, 5)[:2] == (0, 255), "space released")
        self.assertTrue(window.rendering(), "space paused")
        window.xdotool("key", "ctrl+space")
        window.wait_for(lambda: not window.rendering(), "Ctrl+Space pausing")
        self.assertEqual(window.pixel(5, 5)[:2], (0, 255), "the shader got Ctrl+Space")
        window.xdotool("key", "ctrl+space")
        window.wait_for(window.rendering, "Ctrl+Space resuming")
        window.xdotool("key", "Escape")
        self.assertEqual(window.exit_status(), 0)
        self.assertEqual(window.output(), BANNER + RULE)

    def test_a_reload_that_brings_the_keyboard_in_says_so_and_takes_space(self):
        root = self.bare_set({"Image.frag": code("vec4(texelFetch(iChannel0, ivec2(32, 2), 0).x, 0, "
                                                 "float(iFrame % 251) / 255.0, 1)")})
        shaders = os.path.join(root, "Shaders")
        window = Window(self, self.display, "--watch", shaders, cwd=os.path.join(root, "build"))
        window.passes()
        with open(os.path.join(shaders, "quorlin.toml"), "w") as out:
            out.write('[Image]\niChannel0 = "keyboard"\n')
        window.wait_for(lambda: RULE in window.output(), "the line")
        window.tap("space")
        window.passes()
        self.assertFalse(window.rendering(), "space started the paused window")
        window.xdotool("key", "ctrl+space")
        window.wait_for(window.rendering, "Ctrl+Space resuming")
        self.assertEqual(window.pixel(5, 5)[0], 255, "space toggled in the shader, Ctrl+Space did not")
        window.xdotool("key", "Escape")
        self.assertEqual(window.exit_status(), 0)
        self.assertEqual(window.output(), BANNER + "No BufferA.fs for iChannel0 of Image: it reads a cleared target\n"
                         "Reloaded shaders from %s\n" % shaders + RULE)

    def test_the_example_flies_with_the_arrow_keys(self):
        seen = []
        for script in ([], ["--input", os.path.join(EXAMPLE, "tour.txt")]):
            out = os.path.join(self.project(), "out.png")
            result = self.run_quorlin(EXAMPLE, "--size", "64x40", "--rate", "10", "--frames", "4", *script, "--output",
                                      out, display=self.display)
            self.assertEqual((result.returncode, result.stdout),
                             (0, BANNER + ("" if script else RULE) + "Saved %s (64x40)\n" % out))
            seen.append(png(out)[0].tobytes())
        self.assertNotEqual(*seen, "the camera stayed put")

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
