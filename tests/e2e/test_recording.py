"""Recordings decoded back with ffprobe, PNG sequences, --start-frame, --expect's verdicts,
the failures that lose nothing, and the progress line on a terminal only."""
import os, pathlib, pty, re, signal, subprocess, time

from PIL import Image

from harness import BANNER, DEADLINE, PROBE, QUORLIN, SHIPPED, Case, Window, environment, png, probe, write

# Red counts frames, green runs up the picture: a frame out of order or upside down shows.
FRAMES = "in vec2 TexCoord;\nuniform int iFrame;\nvoid main() { FragColor = vec4(float(iFrame) * 0.1, TexCoord.y, " \
         "0.5, 1.0); }\n"
SOLID = "void main() { FragColor = vec4(0.25, 0.5, 0.75, 1.0); }\n"  # 64, 128, 191
SIZE = ["--size", "65x49"]
# (output, arguments, ffprobe's codec, size, rate, frames; the colour tolerance of the codec)
VIDEOS = [("clip.mp4", SIZE, ("h264", "yuv420p", "66", "50", "60/1", "6"), 10),  # odd sides padded
          ("clip.gif", SIZE, ("gif", "bgra", "65", "49", "25/1", "6"), 8),
          ("clip.webm", SIZE + ["--rate", "30"], ("vp9", "yuv420p", "66", "50", "30/1", "6"), 10)]


def ffprobe(path):
    fields = "codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames"
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=" + fields, "-of",
                          "default=nw=1", path], capture_output=True, text=True, check=True).stdout
    values = dict(line.split("=") for line in out.split())
    return tuple(values[name] for name in fields.split(","))


def frame(path, number):
    """One decoded frame as an RGB picture."""
    out = path + ".%d.png" % number
    subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf", "select=eq(n\\,%d)" % number, "-frames:v", "1",
                    out], check=True)
    return Image.open(out).convert("RGB")


def poll(read, what):
    end = time.monotonic() + DEADLINE
    while not (value := read()):
        if time.monotonic() > end:
            raise AssertionError("no %s in time" % what)
        time.sleep(0.01)
    return value


def reference(path, size, changes={}, colour=(64, 128, 190)):
    picture = Image.new("RGB", size, colour)
    for xy, value in changes.items():
        picture.putpixel(xy, value)
    picture.convert("P", palette=Image.ADAPTIVE).save(path)  # a palette: read as RGBA all the same


class Recording(Case):
    headless = True

    def run_in(self, root, *args, **options):
        return self.run_quorlin(*args, os.path.join(root, "Shaders"), display=self.display, cwd=root, **options)

    def test_videos_hold_every_frame_upright(self):
        root = self.project(**{"Image.frag": FRAMES})
        for name, args, expected, tolerance in VIDEOS:
            with self.subTest(name):
                result = self.run_in(root, *args, "--frames", "6", "--output", name)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (0, BANNER + "Saved %s (6 frames, "
                                 "%sx%s, %s fps)\n" % (name, expected[2], expected[3], expected[4][:-2]), ""))
                self.assertEqual(ffprobe(os.path.join(root, name)), expected)
                third = frame(os.path.join(root, name), 3)
                corner = (int(expected[2]) - 1, int(expected[3]) - 1)  # in a padding repeating the edge
                for xy, colour in [((10, 1), (77, 247, 128)), ((10, 47), (77, 8, 128)), (corner, (77, 3, 128))]:
                    self.assertLessEqual(max(map(abs, map(int.__sub__, third.getpixel(xy), colour))), tolerance, xy)

    def test_sequences_are_numbered_by_frame_and_a_later_start_continues_a_run(self):
        root = self.project(**{"Image.frag": PROBE})
        os.mkdir(os.path.join(root, "whole"))
        os.mkdir(os.path.join(root, "part"))
        whole = self.run_in(root, "--size", "64x48", "--frames", "102", "--rate", "30", "--output", "whole/%03d.png")
        self.assertEqual(whole.stdout, BANNER + "Saved whole/%03d.png (102 frames, 64x48, 30 fps)\n")
        part = self.run_in(root, "--size", "64x48", "--start-frame", "99", "--frames", "3", "--rate", "30",
                           "--output", "part/%02d.png")
        self.assertEqual(sorted(os.listdir(os.path.join(root, "part"))), ["100.png", "101.png", "99.png"])
        self.assertEqual(len(os.listdir(os.path.join(root, "whole"))), 102)
        for number in (99, 100, 101):
            with open(os.path.join(root, "whole/%03d.png" % number), "rb") as a, \
                    open(os.path.join(root, "part/%d.png" % number), "rb") as b:
                self.assertEqual(a.read(), b.read(), number)
        picture, pixel = png(os.path.join(root, "part/100.png"))
        self.assertEqual((picture.mode, probe(pixel)["frame"], probe(pixel)["time_ms"], probe(pixel)["delta_ms"]),
                         ("RGBA", 100, 3333, 33))

    def test_expect_matches_differs_or_has_another_size(self):
        root = self.project(**{"Image.frag": SOLID})
        stale = os.path.join(root, "ref.diff.png")
        for changes, size, args, line, status in [
                ({}, (16, 8), [], "Matches ref.png (largest difference 1)", 0),
                ({(7, 1): (64, 128, 200), (3, 2): (64, 137, 191), (2, 2): (59, 128, 191)}, (16, 8), [],
                 "Differs from ref.png: 3 of 128 pixels by more than 2 (largest difference 9 at 7,1); differences in "
                 "ref.diff.png", 1),
                ({(7, 1): (64, 128, 200), (3, 2): (64, 137, 191), (2, 2): (59, 128, 191)}, (16, 8), ["--tolerance", "5"],
                 "Differs from ref.png: 2 of 128 pixels by more than 5 (largest difference 9 at 7,1); differences in "
                 "ref.diff.png", 1),
                ({}, (16, 9), [], "Differs from ref.png: 16x8 rendered, 16x9 expected", 1),
                ({}, (16, 8), [], "Matches ref.png (largest difference 1)", 0)]:
            with self.subTest(line=line, args=args):
                reference(os.path.join(root, "ref.png"), size, changes)
                result = self.run_in(root, "--size", "16x8", "--expect", "ref.png", *args)
                self.assertEqual((result.returncode, result.stdout), (status, BANNER + line + "\n"))
                self.assertEqual(os.path.exists(stale), status == 1)  # a match removes it, another size keeps it
                if "differences" in line:
                    diff = Image.open(stale)
                    self.assertEqual([diff.getpixel(xy) for xy in [(7, 1), (3, 2), (0, 0)]],
                                     [(255, 0, 0, 255), (255, 0, 0, 255), (16, 32, 47, 255)])
        result = self.run_in(root, "--expect", "ref.png", "--output", "out.png", "--size", "16x8", "--time", "5")
        self.assertEqual((result.returncode, png(os.path.join(root, "out.png"))[1](3, 3)), (0, (64, 128, 191, 255)))
        reference(os.path.join(root, "ref.png"), (17, 9))
        result = self.run_in(root, "--expect", "ref.png")  # without --size: at the reference's
        self.assertEqual((result.returncode, result.stdout), (0, BANNER + "Matches ref.png (largest difference 1)\n"))

    def test_failures_lose_no_frame_and_kill_nothing(self):
        root = self.project()
        result = self.run_in(root, "--output", "clip.mp4", env={"PATH": ""})
        self.assertEqual((result.returncode, result.stdout), (2, ""))
        self.assertIn("needs ffmpeg, which is not installed (Debian package: ffmpeg)", result.stderr)
        broken = self.project(**{"Image.frag": "void main() {"})
        result = self.run_in(broken, "--output", "clip.mp4")
        self.assertEqual((result.returncode, result.stdout[-37:]), (1, "Not saved: the shaders did not build\n"))
        self.assertEqual(sorted(os.listdir(broken)), ["Shaders", "build"])
        full = os.path.join(root, "full")
        os.mkdir(full)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", full]).returncode != 0:
            self.skipTest("a small tmpfs needs root")
        self.addCleanup(subprocess.run, ["umount", full])
        for output, failure in [("full/clip.mp4", r"ffmpeg exited with status 1(\n  \S.*){1,5}"),
                                ("full/%03d.png", r"full/\d{3}\.png: cannot write the file: No space left on device")]:
            with self.subTest(output):
                result = self.run_in(root, "--size", "320x240", "--frames", "100", "--output", output)
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stdout, "^%sRecording to %s failed: %s\n$" % (re.escape(BANNER), output, failure))

    def test_progress_only_on_a_terminal(self):
        root = self.project(**SHIPPED)
        for terminal in (True, False):
            main, other = pty.openpty() if terminal else os.pipe()
            with self.subTest(terminal=terminal):
                result = subprocess.run([QUORLIN, "--size", "32x24", "--frames", "30", os.path.join(root, "Shaders")],
                                        stdout=subprocess.PIPE, stderr=other, text=True, timeout=DEADLINE,
                                        env=environment())
                os.close(other)
                printed = b""
                while True:
                    try:  # a terminal whose other side has closed reads as an error, not an end
                        chunk = os.read(main, 4096)
                    except OSError:
                        break
                    printed += chunk
                    if not chunk:
                        break
                os.close(main)
                self.assertEqual((result.returncode, result.stdout), (0, BANNER))
                self.assertRegex(printed.decode(), r"\r\x1b\[KFrame 30 of 30 \(100%\), 0 s left, [\d.]+ fps\r?\n$"
                                 if terminal else "^$")


class Escape(Case):

    def test_escape_leaves_a_playable_file_at_the_render_size(self):
        root = self.project(**{"Image.frag": FRAMES})
        root = os.path.join(root, "build")
        window = Window(self, self.display, "--frames", "1000000", "--output", "clip.mkv", "--size", "64x48",
                        cwd=root)
        window.window.configure(width=200, height=100)
        window.passes()
        window.xdotool("keydown", "Escape")
        self.assertEqual(window.exit_status(), 1)
        closed = re.fullmatch(re.escape(BANNER) + r"200:100\nClosed after (\d+) of 1000000 frames; clip.mkv holds \1 frames\n",
                              window.output())
        self.assertTrue(closed, window.output())
        self.assertEqual(ffprobe(os.path.join(root, "clip.mkv")), ("h264", "yuv420p", "64", "48", "60/1", closed[1]))
        last = frame(os.path.join(root, "clip.mkv"), int(closed[1]) - 1)  # drawn while the window was larger
        self.assertEqual([abs(last.getpixel((10, y))[1] - green) <= 10 for y, green in [(1, 247), (46, 8)]], [True] * 2)

    def test_a_signal_finishes_the_file_and_a_second_ctrl_c_quits_at_once(self):
        root = self.project(**{"Image.frag": FRAMES})
        for name, number, status in [("int.mp4", signal.SIGINT, 130), ("term.mp4", signal.SIGTERM, 143)]:
            with self.subTest(name):
                recording = self.start(root, "--size", "64x48", "--output", name)
                poll(lambda: os.path.exists(os.path.join(root, name)), "a file")
                os.killpg(recording.pid, number)  # as a terminal sends Ctrl-C: to the whole group
                out, _ = recording.communicate(timeout=DEADLINE)
                saved = re.fullmatch(re.escape(BANNER) + r"Saved %s \((\d+) frames, 64x48, 60 fps\)\n" % name, out)
                self.assertEqual((recording.returncode, bool(saved)), (status, True), out)
                self.assertEqual(ffprobe(os.path.join(root, name))[-1], saved[1])
        # An encoder that never ends keeps the program finishing the file.
        fake = os.path.join(root, "bin")
        os.mkdir(fake)
        write(os.path.join(fake, "ffmpeg"), "#!/bin/sh\necho $$ > %s/pid\ncat >/dev/null\nexec sleep 600\n" % root)
        os.chmod(os.path.join(fake, "ffmpeg"), 0o755)
        recording = self.start(root, "--size", "64x48", "--output", "stuck.mp4", env={"PATH": fake + ":" + os.environ["PATH"]})
        pid = poll(lambda: pathlib.Path(root, "pid").exists() and pathlib.Path(root, "pid").read_text().strip(), "ffmpeg")
        self.addCleanup(os.kill, int(pid), signal.SIGKILL)
        recording.send_signal(signal.SIGINT)
        poll(lambda: not pathlib.Path("/proc/%s/cmdline" % pid).read_bytes().startswith(b"/bin/sh"), "the pipe closed")
        recording.send_signal(signal.SIGINT)
        self.assertEqual(recording.wait(DEADLINE), -signal.SIGINT)

    def start(self, root, *args, env={}):
        return subprocess.Popen([QUORLIN, *args, os.path.join(root, "Shaders")], cwd=root, stdout=subprocess.PIPE,
                                text=True, start_new_session=True, env=dict(os.environ, DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1", **env))
