"""Parameters: initialised uniforms set by --set and params.toml (pictures), by the panel
(XTest on the window) and by OSC (oscsend and a burst), and what bad ones print."""
import os, re, socket, struct, subprocess

from harness import BANNER, SHIPPED, Case, Window, png, write

# level is read by buffer A and by the image: one parameter set in both, each showing
# its value in its own channel (red: A's, green: the image's).
FILES = {"common.incl": SHIPPED["common.incl"] + "uniform sampler2D iChannel0;\nuniform float level = 0.25; // 0 1\n"
                                                 "uniform vec2 pair = vec2(0.5, 0.75);\n",
         "BufferA.fs": "void main() { FragColor = vec4(level, 0, 0, 1); }\n",
         "Image.frag": "uniform bool on = true;\nvoid main() { FragColor = vec4(texture(iChannel0, vec2(0.5)).r, level, "
                       "on ? pair.y : 0.0, 1); }\n"}
SAVED = "level = 0.5\npair = [0, 1]\n"
GRAB, BUTTON = (61, 133, 224), (36, 69, 109)  # ImGui's dark style: a slider's grab, a button over the panel


def osc(path, *floats):
    """One OSC message with float arguments, as liblo writes it."""
    pad = lambda b: b + b"\0" * (4 - len(b) % 4)
    return pad(path.encode()) + pad(b"," + b"f" * len(floats)) + b"".join(struct.pack(">f", f) for f in floats)


def spots(window, colour):
    """(x, y) of the pixels of the window's top left quarter within 2 of colour."""
    data = window.picture(0, 0, 400, 300)
    return [(i // 4 % 400, i // 1600) for i in range(0, len(data), 4)
            if all(abs(data[i + 2 - c] - colour[c]) <= 2 for c in range(3))]


class Parameters(Case):

    def test_command_line_over_saved_values_over_initialisers(self):
        cases = [  # params.toml, arguments, lines after the banner, the picture's colour
            (None, [], [], (64, 64, 191)),
            (SAVED, [], [], (128, 128, 255)),
            (SAVED, ["--set", "level=1", "--set", "on=false"], [], (255, 255, 0)),
            ("pair = 1\nnone = 2\n", ["--set", "other=1"], ["params.toml:1:8: pair is a vec2: give 2 numbers",
             "No program uses parameter other", "params.toml:2:8: No program uses parameter none"], (64, 64, 191))]
        for saved, args, lines, colour in cases:
            with self.subTest(saved=saved, args=args):
                root = self.project(**FILES, **{"params.toml": saved})
                result = self.run_quorlin(root + "/Shaders", "--size", "64x48", "--output", root + "/p.png", *args)
                self.assertEqual((result.returncode, result.stdout),
                                 (0, BANNER + "".join(l + "\n" for l in lines) + "Saved %s/p.png (64x48)\n" % root))
                self.assertEqual(png(root + "/p.png")[1](32, 24), colour + (255,))

    def test_bad_values_and_a_port_in_use_refuse_to_start(self):
        held = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(held.close)
        held.bind(("127.0.0.1", 0))
        port = str(held.getsockname()[1])
        for args, saved, stdout, stderr in [
                (["--set", "level=1,2"], None, BANNER, "quorlin: --set level=1,2: level is a float: give a number\n"
                                                       "Run 'quorlin --help' for usage.\n"),
                ([], "level = [1, 2, 3, 4, 5]", "", "quorlin: params.toml:1:9: level is not a number, true, false or "
                                                    "an array of 2 to 4 numbers\n"),
                (["--osc", port], None, "", "quorlin: cannot listen on UDP %s: Address already in use\n" % port)]:
            with self.subTest(args=args, saved=saved):
                root = self.project(**FILES, **{"params.toml": saved})
                result = self.run_quorlin(root + "/Shaders", "--frames", "1", *args)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (2, stdout, stderr))

    def test_panel_drag_changes_the_picture_is_not_in_a_screenshot_and_saves(self):
        root = self.project(**FILES)
        window = Window(self, self.display, "--frames", "1000000", root + "/Shaders", cwd=root + "/build")
        window.tap("Tab")
        window.wait_for(lambda: spots(window, GRAB), "the panel")
        x, y = spots(window, GRAB)[0]  # the top left of level's grab, the panel's first slider
        window.xdotool("mousemove", "--window", str(window.window.id), str(x + 2), str(y + 4), "mousedown", "1")
        window.passes()
        window.xdotool("mousemove", "--window", str(window.window.id), str(x + 400), str(y + 4))  # past its end: 1
        window.passes()
        window.xdotool("mouseup", "1")
        window.wait_for(lambda: window.pixel(600, 400) == (255, 255, 191), "level at 1 in both programs")
        window.tap("s")
        shot = re.search(r"Saved (/.*\.png)\n", window.output())[1]
        self.addCleanup(os.remove, shot)
        self.assertEqual(png(shot)[1](20, 60), (255, 255, 191, 255), "the panel in the screenshot")
        self.assertNotEqual(window.pixel(20, 60), (255, 255, 191), "no panel on the window")
        top = min(y for _, y in spots(window, BUTTON)) + 1  # Reset, then Save, above their labels
        xs = [x for x, y in spots(window, BUTTON) if y == top]
        save = [x for a, x in zip(xs, xs[1:]) if x - a > 4][0] + 4
        window.xdotool("mousemove", "--window", str(window.window.id), str(save), str(top + 4), "mousedown", "1")
        window.passes()
        window.xdotool("mouseup", "1")
        saved = root + "/Shaders/params.toml"
        window.wait_for(lambda: "Saved %s\n" % saved in window.output(), "Save")
        with open(saved) as text:
            self.assertEqual(text.read(), "level = 1.0\non = true\npair = [ 0.5, 0.75 ]\n")
        window.xdotool("mousemove", "--window", str(window.window.id), str(xs[0] + 4), str(top + 4), "mousedown", "1")
        window.passes()
        window.xdotool("mouseup", "1")
        window.wait_for(lambda: window.pixel(600, 400) == (64, 64, 191), "Reset: the initialisers")

    def test_osc_messages_and_a_watched_params_file_keep_the_command_line_across_reloads(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        root = self.project(**FILES)
        shaders = root + "/Shaders"
        window = Window(self, self.display, "--frames", "1000000", "--watch", "--osc", str(port), "--set", "on=false",
                        "--set", "ghost=1", shaders, cwd=root + "/build")
        subprocess.run(["oscsend", "127.0.0.1", str(port), "/level", "f", "1"], check=True)
        window.wait_for(lambda: window.pixel(400, 300) == (255, 255, 0), "level from oscsend")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:  # well within a second: one line a name
            # Few enough that the socket's buffer holds them all even while quorlin waits for a processor.
            for message in [osc("/level", 1, 2)] + [m for k in range(20) for m in (osc("/none"), osc("/level", k))]:
                sender.sendto(message, ("127.0.0.1", port))
            sender.sendto(osc("/level", 0.5), ("127.0.0.1", port))  # the last wins
        window.wait_for(lambda: window.pixel(400, 300) == (128, 128, 0), "the last of a burst")
        write(shaders + "/params.toml", "level = [")
        window.wait_for(lambda: "params.toml:1:10" in window.output(), "a broken file")
        write(shaders + "/params.toml", "level = 0.75\non = true\n")  # --set on=false still wins
        window.wait_for(lambda: window.pixel(400, 300) == (191, 191, 0), "saved values")
        os.remove(shaders + "/params.toml")
        window.wait_for(lambda: window.pixel(400, 300) == (64, 64, 0), "gone from the file: the initialiser")
        subprocess.run(["oscsend", "127.0.0.1", str(port), "/quorlin/reload"], check=True)
        window.wait_for(lambda: "Reloaded" in window.output(), "a reload")
        window.passes()
        self.assertEqual(window.pixel(400, 300), (64, 64, 0))
        ghost = "No program uses parameter ghost\n"  # once a build, not at each read of the file
        self.assertEqual(window.output(), BANNER + ghost + "OSC /level: level is a float: give a number\nOSC /none: No "
                         "program uses parameter none\nparams.toml:1:10: Error while parsing array: encountered "
                         "end-of-file\nReloaded shaders from %s\n" % shaders + ghost)
