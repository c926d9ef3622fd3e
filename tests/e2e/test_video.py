"""Videos, streams and cameras as inputs: frame-accurate reads on the fixed clock from a clip
the test makes with its frame number drawn in each frame, streams fed through a FIFO and over UDP, and
what a missing file or a silent stream prints while the rest draws."""
import os, re, shutil, socket, subprocess, tempfile
from unittest import mock

from harness import BANNER, DEADLINE, Case, Window, die_with_parent, png
from test_sound import sound_server

SIZE = ["--size", "64x48"]
# Bit k of the frame number is the k-th 8-pixel column (white: 1) below a white top band;
# H.264 keeps such blocks far from the 128 threshold.
NUMBERED = "geq=lum='if(lt(Y,8),255,255*mod(floor(N/pow(2,floor(X/8))),2))':cb=128:cr=128,format=yuv420p"
FFMPEG = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"]
SHOW = "in vec2 TexCoord;\nuniform sampler2D %s;\nvoid main() { FragColor = texture(%s, TexCoord); }\n"
SHOW0 = SHOW % ("iChannel0", "iChannel0")
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "television")


def numbered(path, rate, seconds, *encoding):
    subprocess.run(FFMPEG + ["-f", "lavfi", "-i", f"nullsrc=s=64x48:r={rate}:d={seconds}", "-vf", NUMBERED,
                             *encoding, path], check=True)


def frame_number(pixel):
    """The frame number a picture shows (pixel(x, y from the top)), or None when it is not
    upright or not a frame."""
    if pixel(4, 3)[0] < 128 or pixel(4, 30)[0] in range(64, 192):
        return None
    return sum((pixel(8 * k + 4, 30)[0] >= 128) << k for k in range(8))


def wiring(channel0, **more):
    return {"quorlin.toml": "[Image]\niChannel0 = %s\n" % channel0 + "".join(
        "iChannel%s = %s\n" % (n, value) for n, value in more.items()), "Image.frag": SHOW0}


class Video(Case):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.media = tempfile.mkdtemp(prefix="quorlin-media-")
        cls.addClassCleanup(shutil.rmtree, cls.media, True)
        # Two seconds at 30 fps, a key frame every 15 so that seeks land between them.
        numbered(os.path.join(cls.media, "clip.mp4"), 30, 2, "-c:v", "libx264", "-g", "15")
        numbered(os.path.join(cls.media, "anim.gif"), 10, 1)

    def set_with_media(self, files):
        root = self.project(**files)
        for name in ("clip.mp4", "anim.gif"):
            os.link(os.path.join(self.media, name), os.path.join(root, "Shaders", name))
        return root

    def frames(self, files, *args, env=(), shrink=1):
        """Renders the set to numbered PNGs, the clip's size over shrink; returns the frame numbers
        shown, and the run."""
        root = self.set_with_media(files)
        out = os.path.join(root, "out", "%03d.png")
        os.mkdir(os.path.dirname(out))
        run = self.run_quorlin("--size", "%dx%d" % (64 // shrink, 48 // shrink), *args, "--output", out,
                               os.path.join(root, "Shaders"), display=self.display, env=env)
        self.assertEqual((run.returncode, run.stderr), (0, ""), run.stdout)
        pictures = [png(os.path.join(root, "out", name))[1] for name in sorted(os.listdir(os.path.dirname(out)))]
        return [frame_number(lambda x, y: p(x // shrink, y // shrink)) for p in pictures], run, root

    def test_mipmaps_are_built_for_each_new_frame(self):
        # A quarter of the size reads mipmap level 2, where each bit's column is still two whole texels.
        shown = self.frames(wiring('{ video = "clip.mp4", filter = "mipmap" }'), "--rate", "30", "--time", "1",
                            "--frames", "3", shrink=4)[0]
        self.assertEqual(shown, [30, 31, 32])

    def test_frames_on_the_fixed_clock(self):
        clip, nearest = '{ video = "clip.mp4", filter = "nearest" }', ', filter = "nearest" }'
        # (what, channel 0, arguments, frame numbers shown): frame k at its time, the latest at or
        # before the clock; seeks between key frames, loops and the end of a clip that does not loop.
        for what, channel, args, expected in [
            ("one clip frame a rendered frame, across the loop", clip, ["--rate", "30", "--start-frame", "55",
                                                                        "--frames", "8"], [55, 56, 57, 58, 59, 0, 1, 2]),
            ("twice as many rendered frames, from a seek", clip, ["--rate", "60", "--time", "0.5", "--frames", "4"],
             [15, 15, 16, 16]),
            ("far past the end, looped", clip, ["--rate", "3", "--time", "1000.4", "--frames", "2"], [12, 22]),
            ("the last frame stays without a loop", '{ video = "clip.mp4", loop = false' + nearest,
             ["--rate", "10", "--time", "1.9", "--frames", "3"], [57, 59, 59]),
            ("an animated GIF plays when asked", '{ video = "anim.gif"' + nearest, ["--rate", "20", "--frames", "3"],
             [0, 0, 1]),
        ]:
            with self.subTest(what):
                self.assertEqual(self.frames(wiring(channel), *args)[0], expected)

    def test_a_split_render_equals_one_run(self):
        files = wiring('{ video = "clip.mp4" }')
        whole, _, first = self.frames(files, "--rate", "25", "--frames", "60")
        self.assertEqual(whole, [k * 30 // 25 % 60 for k in range(60)])
        parts = [self.frames(files, "--rate", "25", "--start-frame", start, "--frames", "30")[2] for start in
                 ("0", "30")]
        for k in range(60):
            with open(os.path.join(first, "out", "%03d.png" % k), "rb") as one, \
                    open(os.path.join(parts[k // 30], "out", "%03d.png" % k), "rb") as part:
                self.assertEqual(one.read(), part.read(), k)

    def test_channel_time_and_resolution(self):
        probe = ("uniform float iChannelTime[4];\nuniform vec3 iChannelResolution[4];\nuniform sampler2D iChannel0;\n"
                 "void main() { FragColor = vec4(iChannelTime[0] * 0.25, iChannelResolution[0].xy / 255.0, 1) "
                 "+ 0.0 * texture(iChannel0, vec2(0)); }\n")
        # (channel 0, time, expected red (position / 4), green and blue (the size)).
        for channel, time, expected in [('{ video = "clip.mp4" }', "2.5", (32, 64, 48)),
                                        ('{ video = "clip.mp4", loop = false }', "2.5", (128, 64, 48)),
                                        ('{ video = "anim.gif" }', "0.75", (48, 64, 48))]:
            with self.subTest(channel):
                root = self.set_with_media({**wiring(channel), "Image.frag": probe})
                out = os.path.join(root, "out.png")
                self.run_quorlin(*SIZE, "--time", time, "--output", out, os.path.join(root, "Shaders"),
                                 display=self.display)
                self.assertLessEqual(max(abs(a - b) for a, b in zip(png(out)[1](5, 5), expected)), 1)

    def test_a_video_keeps_in_step_with_its_sound_track_as_heard(self):
        self.enterContext(mock.patch.dict(os.environ, PULSE_SERVER=os.environ.get("PULSE_SERVER")
                                          or sound_server(self)[0]))
        # Red: where the picture stands against the sound, 2 ms a step around 128; green: the sound has run 0.5 s.
        probe = ("uniform float iChannelTime[4];\nvoid main() { FragColor = vec4(0.5 + 2.0 * (iChannelTime[0] - "
                 "iChannelTime[1]), step(0.5, iChannelTime[1]), 0, 1); }\n")
        root = self.project(**{"quorlin.toml": '[Image]\niChannel0 = { video = "talk.mp4" }\n'
                               'iChannel1 = { audio = "talk.mp4" }\n', "Image.frag": probe})
        subprocess.run(FFMPEG + ["-f", "lavfi", "-i", "testsrc=s=64x48:r=30:d=4", "-f", "lavfi", "-i",
                                 "sine=f=440:d=4", "-c:v", "libx264", "-c:a", "aac", "-shortest",
                                 os.path.join(root, "Shaders", "talk.mp4")], check=True)
        window = Window(self, self.display, *SIZE, "--frames", "1000000", os.path.join(root, "Shaders"),
                        cwd=os.path.join(root, "build"))
        window.wait_for(lambda: window.pixel(5, 5)[1] > 128, "half a second of sound")
        for _ in range(5):
            # Both read in one frame, so no timing of the test's own enters; the output's latency
            # (tens of milliseconds, more on a busy machine) would show as a lead of the picture.
            self.assertLessEqual(abs(window.pixel(5, 5)[0] - 128), 3)
            window.passes(3)

    def test_texture_option_plays_video_files_and_a_gif_stays_a_picture(self):
        for args, expected in [(["--texture", "clip=MEDIA/clip.mp4", "--time", "1", "--frames", "1"], 30),
                               (["--texture", "clip=MEDIA/anim.gif", "--time", "0.5", "--frames", "1"], 0)]:
            with self.subTest(args[1]):
                args = [a.replace("MEDIA", self.media) for a in args]
                shown, run, _ = self.frames({"Image.frag": SHOW % ("clip", "clip")}, *args,
                                            "--sampler", "clip=nearest")
                self.assertEqual(shown, [expected])
                self.assertNotIn("video", run.stdout)

    def test_a_reload_keeps_playing_a_good_video_when_its_replacement_fails(self):
        root = self.set_with_media(wiring('{ video = "clip.mp4", filter = "nearest" }'))
        clip = os.path.join(root, "Shaders", "clip.mp4")
        window = Window(self, self.display, *SIZE, "--watch", "--frames", "1000000", os.path.join(root, "Shaders"),
                        cwd=os.path.join(root, "build"))
        window.wait_for(lambda: frame_number(window.pixel) is not None, "a frame of the clip")
        with open(clip + "~", "wb") as broken:
            broken.write(b"not a video")
        os.rename(clip + "~", clip)
        failed = "Failed to open video %s for Image iChannel0: Invalid data found when processing input\n" % clip
        window.wait_for(lambda: failed in window.output(), "the failure")
        shown = frame_number(window.pixel)
        window.wait_for(lambda: frame_number(window.pixel) not in (None, shown), "the clip playing on")
        self.assertEqual(window.output(), BANNER + "Reloaded shaders from %s\n" % os.path.join(root, "Shaders") + failed)

    def test_the_example_plays_its_clip(self):
        root = self.project(files={})
        out = os.path.join(root, "out.png")
        run = self.run_quorlin("--size", "64x40", "--time", "1", "--output", out, EXAMPLE, display=self.display)
        self.assertEqual((run.returncode, run.stdout), (0, BANNER + "Saved %s (64x40)\n" % out))
        self.assertGreater(max(png(out)[1](32, 20)[:3]), 0)

    def test_without_ffmpeg(self):
        root = self.set_with_media(wiring('{ video = "clip.mp4" }'))
        shaders, no_path = os.path.join(root, "Shaders"), {"PATH": "/nonexistent"}
        run = self.run_quorlin("--texture", "iChannel0=%s/clip.mp4" % shaders, shaders, env=no_path)
        self.assertEqual((run.returncode, run.stdout, run.stderr), (2, "", (
            "quorlin: --texture: video '%s/clip.mp4' needs ffmpeg, which is not installed (Debian package: ffmpeg)\n"
            "Run 'quorlin --help' for usage.\n") % shaders))
        run = self.run_quorlin(*SIZE, "--frames", "1", shaders, display=self.display, env=no_path)
        self.assertEqual(run.stdout, BANNER + "Failed to open video %s/clip.mp4 for Image iChannel0: needs ffmpeg, "
                                              "which is not installed (Debian package: ffmpeg)\n" % shaders)

    def test_a_missing_file_and_a_silent_stream_are_one_line_each(self):
        root = self.set_with_media({**wiring('{ video = "missing.mp4" }', **{"1": '{ stream = "silent.fifo" }'}),
                                    "Image.frag": "uniform sampler2D iChannel0;\nuniform sampler2D iChannel1;\n"
                                                  "void main() { FragColor = vec4(0, 1, 0, 1) + texture(iChannel0, "
                                                  "vec2(0.5)) + texture(iChannel1, vec2(0.5)); }\n"})
        os.mkfifo(os.path.join(root, "Shaders", "silent.fifo"))
        out = os.path.join(root, "out.png")
        # At most 60 frames a second: the run outlasts the stream's 5 s to answer.
        run = self.run_quorlin(*SIZE, "--max-fps", "60", "--frames", "400", "--output", out,
                               os.path.join(root, "Shaders"), display=self.display)
        shaders = os.path.join(root, "Shaders")
        self.assertEqual((run.returncode, run.stdout), (0, BANNER + (
            "Failed to open video %s/missing.mp4 for Image iChannel0: No such file or directory\n"
            "Failed to open video %s/silent.fifo for Image iChannel1: nothing received within 5 s\n"
            "Saved %s (64x48)\n") % (shaders, shaders, out)))
        self.assertEqual(png(out)[1](32, 24), (0, 255, 0, 255))

    def test_a_stream_shows_its_newest_frame(self):
        root = self.project(**wiring('{ stream = "feed.fifo", filter = "nearest" }'))
        fifo = os.path.join(root, "Shaders", "feed.fifo")
        os.mkfifo(fifo)
        window = Window(self, self.display, *SIZE, "--max-fps", "4", "--frames", "1000000",
                        os.path.join(root, "Shaders"), cwd=os.path.join(root, "build"))
        # A burst of 200 frames, then the end: shown one a render they would take 50 s.
        sender = subprocess.Popen(FFMPEG + ["-f", "lavfi", "-i", "nullsrc=s=64x48:r=30", "-vf", NUMBERED,
                                            "-frames:v", "200", "-c:v", "rawvideo", "-f", "nut", fifo],
                                  preexec_fn=die_with_parent)
        self.addCleanup(sender.kill)
        ended = "Video %s for Image iChannel0 ended: the stream ended\n" % fifo
        window.wait_for(lambda: ended in window.output(), "the end of the stream")
        window.passes(2)
        self.assertEqual(frame_number(window.pixel), 199)
        self.assertEqual(window.output(), BANNER + ended)

    def test_a_udp_stream_plays_on_keeps_its_last_frame_when_it_drops_and_is_opened_again(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as free:
            free.bind(("127.0.0.1", 0))
            url = "udp://127.0.0.1:%d" % free.getsockname()[1]
        root = self.project(**wiring('{ stream = "%s", filter = "nearest" }' % url))
        window = Window(self, self.display, *SIZE, "--frames", "1000000", os.path.join(root, "Shaders"),
                        cwd=os.path.join(root, "build"))

        def send():
            """Numbered frames at their own rate from 0, until killed."""
            sender = subprocess.Popen(FFMPEG + ["-re", "-f", "lavfi", "-i", "nullsrc=s=64x48:r=30", "-vf", NUMBERED,
                                                "-c:v", "mpeg2video", "-q:v", "2", "-g", "5", "-f", "mpegts", url],
                                      preexec_fn=die_with_parent)
            self.addCleanup(sender.wait)
            self.addCleanup(sender.kill)
            return sender

        def shown_other_than(*numbers):
            seen = []
            window.wait_for(lambda: seen.append(frame_number(window.pixel)) or seen[-1] not in (None, *numbers),
                            "a frame other than %s" % (numbers,))
            return seen[-1]

        sender = send()
        shown_other_than(shown_other_than())
        sender.kill()
        sender.wait()
        ended = "Video %s for Image iChannel0 ended: nothing received for 5 s\n" % url
        window.wait_for(lambda: ended in window.output(), "the drop")
        kept = frame_number(window.pixel)
        self.assertIsNotNone(kept)
        # Opened again: the new sender's frames replace the one kept, and a failed retry in
        # between would print nothing within the minute.
        send()
        shown_other_than(kept)
        self.assertEqual(window.output(), BANNER + ended)
