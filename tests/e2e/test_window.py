"""What only a person's input shows: keys, pointer, resizing, closing, the title,
reloading and screenshots, through a window driven with XTest."""
import os, re

from harness import BANNER, PROBE, SHIPPED, Case, Window, gradient_errors, png, probe, write
from test_pictures import image, reports

SOLID = "void main() { FragColor = vec4(%s, 1.0); }\n"
NAME = r"quorlin-\d{8}-\d{6}-\d{3}\.png"


class Input(Case):

    def open(self, *args, files={**SHIPPED, "Image.frag": PROBE}, **changes):
        return Window(self, self.display, *args, cwd=os.path.join(self.project(files, **changes), "build"))

    def test_default_run_starts_paused_and_reads_the_parent_shaders(self):
        root, decoy = self.project(), self.project({name: "not GLSL" for name in SHIPPED})
        os.symlink(os.path.join(decoy, "Shaders"), os.path.join(root, "build", "Shaders"))  # beside, not below
        window = Window(self, self.display, cwd=os.path.join(root, "build"))
        window.passes_for(0.3)
        self.assertEqual(window.title(), "Quorlin")
        self.assertFalse(any(window.picture()[c::4].strip(b"\0") for c in range(3)), "drawn while paused")
        for rendering in (True, False):  # a held space toggles once; after its release, once more
            window.xdotool("keydown", "space")
            window.passes()
            for _ in range(4):
                self.assertEqual(window.rendering(), rendering, "while held")
            window.xdotool("keyup", "space")
            self.assertEqual(window.rendering(), rendering, "after the release")
            title = window.title()
            if rendering:
                window.wait_for(lambda: re.match(r"^Quorlin - FPS = \d+ $", window.title()), "frame-rate title")
        window.passes_for(0.3)
        self.assertEqual(window.title(), title, "refreshed while paused")
        window.tap("r")
        window.close_request()
        reloaded = "Reloaded shaders from %s/Shaders\n" % root  # the default directory, beside the working one
        self.assertEqual((window.exit_status(), window.output()), (0, BANNER + reloaded))

    def test_pointer_buttons_resize_and_closing_before_the_last_frame(self):
        window = self.open("--frames", "1000000", "--output", "out.png")
        for x, y, buttons, size in [(0, 0, (), (800, 600)), (123, 456, (1,), (800, 600)),
                                    (799, 599, (3,), (800, 600)), (40, 30, (1, 3), (640, 360))]:
            with self.subTest(x=x, y=y, buttons=buttons, size=size):
                window.window.configure(width=size[0], height=size[1])
                window.xdotool("mousemove", "--window", str(window.window.id), str(x), str(y))
                for number in buttons:
                    window.xdotool("mousedown", str(number))
                window.passes()
                cells = probe(window.pixel)
                self.assertEqual(gradient_errors(window.pixel, *size), [], "the viewport follows the window")
                for number in buttons:
                    window.xdotool("mouseup", str(number))
                self.assertEqual((cells["res_x"], cells["res_y"]), (800, 600))
                self.assertEqual((cells["mouse_x"] - 4096, cells["mouse_y"] - 4096), (x, size[1] - y))
                self.assertEqual(cells["buttons"], (1 in buttons) + 2 * (3 in buttons))
        window.tap("space")  # paused, so that the last frame shows how many were drawn
        drawn = probe(window.pixel)["frame"] + 1
        window.xdotool("keydown", "Escape")
        self.assertEqual(window.exit_status(), 1)
        self.assertEqual(window.output(), BANNER + "640:360\nClosed after %d of 1000000 frames; no picture written to "
                                                   "out.png\n" % drawn)
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(window.stdout), "build", "out.png")))

    def test_keys_1_to_4_show_the_targets_and_0_the_image(self):
        colours = ["0.2, 0, 0", "0, 0.2, 0", "0, 0, 0.2", "0.2, 0.2, 0"]
        buffers = {"Buffer%s.fs" % "ABCD"[n]: SOLID % colour for n, colour in enumerate(colours)}
        window = self.open("--frames", "1000000", **buffers,
                           **{"Image.frag": image("t(iChannel0) + t(iChannel1) + t(iChannel2) + t(iChannel3)")})
        for key, colour in [("1", (51, 0, 0)), ("4", (51, 51, 0)), ("2", (0, 51, 0)), ("3", (0, 0, 51)),
                            ("0", (102, 102, 51)), ("1", (51, 0, 0))]:
            window.tap(key)
            self.assertEqual(window.pixel(400, 300), colour, key)
        window.window.configure(width=1000, height=700)  # larger than the targets: the viewport follows
        window.passes()
        self.assertEqual(window.pixel(999, 0), colour)
        window.close_request()
        self.assertEqual(window.exit_status(), 1)
        self.assertRegex(window.output(), r"^C\+\+17\n1000:700\nClosed after \d+ of 1000000 frames\n$")

    def test_reload_keeps_a_program_that_failed_out_and_screenshots_save_the_window(self):
        root = self.project(**{"Image.frag": SOLID % "1, 0, 0"})
        shaders, build, path = (os.path.join(root, name) for name in ("Shaders", "build", "Shaders/Image.frag"))
        window = Window(self, self.display, "--watch", shaders, cwd=build)
        window.tap("space")
        reloaded = "Reloaded shaders from %s\n" % shaders
        for how, change, colour, marker, count in [
                ("written in place", lambda: write(path, "void main() {"), (255, 0, 0), "ERROR::PROGRAM_LINKING", 1),
                ("renamed over", lambda: (write(path + "~", SOLID % "0, 1, 0"), os.rename(path + "~", path)),
                 (0, 255, 0), reloaded, 1),
                ("R key", lambda: window.tap("r"), (0, 255, 0), reloaded, 2),
                ("deleted and re-created", lambda: (os.remove(path), write(path, SOLID % "0, 0, 1")), (0, 0, 255),
                 reloaded, 3)]:
            with self.subTest(how):
                change()
                window.wait_for(lambda: window.output().count(marker) == count, how)
                window.passes()
                self.assertEqual(window.pixel(400, 300), colour)
        self.assertEqual([kind for kind, _ in reports(window.output().replace(reloaded, ""))], ["FRAGMENT", "PROGRAM"])

        window.tap("s")  # while rendering; then paused, after a resize has dropped the back buffer's content
        window.tap("space")
        window.window.configure(width=640, height=360)
        window.passes()
        window.tap("s")
        saved = re.findall(r"Saved (%s/%s)\n" % (re.escape(build), NAME), window.output())
        for name, size in zip(saved, [(800, 600), (640, 360)], strict=True):
            picture, pixel = png(name)
            self.assertEqual((picture.mode, picture.size, pixel(300, 200)), ("RGBA", size, (0, 0, 255, 255)))
            os.remove(name)
        os.rmdir(build)
        window.tap("s")
        self.assertRegex(window.output(), r"\nFailed to save %s: cannot create the file: No such file or "
                                          r"directory\n$" % NAME)
        self.assertIsNone(window.process.poll())
