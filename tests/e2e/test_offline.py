"""With no display server at all: frames streamed into a pipe, a feedback set's render
stopped and continued from its state, and a render split over GNU parallel's workers."""
import os, pathlib, re, subprocess

from harness import BANNER, DEADLINE, QUORLIN, SHADERS, Case, environment

EXAMPLES = os.path.join(os.path.dirname(SHADERS), "examples")
# Red counts frames, green runs up the picture, blue is fixed: each an exact byte.
FRAMES = "in vec2 TexCoord;\nuniform int iFrame;\nvoid main() { FragColor = vec4(float(iFrame) * 0.2, TexCoord.y, " \
         "0.75, 1.0); }\n"
HEADER = b"YUV4MPEG2 W33 H16 F30:1 Ip A1:1 C444 XCOLORRANGE=LIMITED XCOLORMATRIX=BT709\n"
HINT = "\nRun 'quorlin --help' for usage.\n"


def bt709(red, green, blue):
    """Limited-range Y', Cb, Cr of 8-bit RGB."""
    luma = 0.2126 * red + 0.7152 * green + 0.0722 * blue
    return 16 + 219 * luma / 255, 128 + 224 * (blue - luma) / (1.8556 * 255), 128 + 224 * (red - luma) / (1.5748 * 255)


class Offline(Case):
    headless = True

    def test_a_stream_carries_every_frame_in_bt709_until_its_reader_closes(self):
        shaders = os.path.join(self.project(**{"Image.frag": FRAMES}), "Shaders")
        result = subprocess.run([QUORLIN, shaders, "--size", "33x16", "--rate", "30", "--frames", "3", "--output",
                                 "-"], env=environment(), capture_output=True, timeout=DEADLINE)
        self.assertEqual((result.returncode, result.stderr, result.stdout[:len(HEADER)]), (0, BANNER.encode(), HEADER))
        plane = 33 * 16
        frames = result.stdout[len(HEADER):].split(b"FRAME\n")
        self.assertEqual([len(frame) for frame in frames], [0] + [3 * plane] * 3)
        for number, frame in enumerate(frames[1:]):
            for (x, y), green in [((0, 0), 247), ((32, 15), 8), ((20, 5), 167)]:  # y from the top
                found = [frame[n * plane + y * 33 + x] for n in range(3)]
                wanted = bt709(51 * number, green, 191)
                self.assertLessEqual(max(abs(a - b) for a, b in zip(found, wanted)), 1, (number, x, y, found))
        endless = subprocess.Popen([QUORLIN, shaders, "--size", "33x16", "--rate", "30", "--output", "-"], env=environment(),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(lambda: (endless.kill(), endless.wait(), endless.stderr.close()))
        self.assertEqual(endless.stdout.read(len(HEADER) + 2 * (6 + 3 * plane))[:len(HEADER)], HEADER)
        endless.stdout.close()
        self.assertEqual((endless.wait(DEADLINE), endless.stderr.read()), (0, BANNER.encode()))

    def test_a_feedback_render_continues_from_its_state_bit_for_bit(self):
        root = self.project()
        run = lambda *args, set="trails": self.run_quorlin(
            os.path.join(EXAMPLES, set), *[] if "--size" in args else ["--size", "64x48"], *args, cwd=root)
        read = lambda name: pathlib.Path(root, name).read_bytes()
        # The wired set's targets come from quorlin.toml: one read by its own pass, one by another.
        for set in ("wired", "trails"):
            for args in (["--frames", "40", "--state-out", "whole.state", "--output", "whole.png"],
                         ["--frames", "20", "--state-out", "half.state"],
                         ["--frames", "20", "--state-in", "half.state", "--state-out", "rest.state", "--output",
                          "rest.png"],
                         ["--frames", "20", "--start-frame", "20", "--output", "fresh.png"]):
                self.assertEqual(run(*args, set=set).returncode, 0, (set, args))
            self.assertEqual((read("rest.state"), read("rest.png")), (read("whole.state"), read("whole.png")), set)
            self.assertNotEqual(read("fresh.png"), read("whole.png"), set + ": the targets made no difference")
        with open(os.path.join(root, "short.state"), "wb") as out:
            out.write(read("half.state")[:-1])
        for args, set, stdout, line in [
                (["--time", "1"], "trails", "", "--time 1 does not agree with half.state, whose clock starts at 0"),
                (["--start-frame", "19"], "trails", "", "--start-frame 19 does not agree with half.state, which goes "
                                                        "on at frame 20"),
                (["--size", "64x40"], "trails", "", "half.state: holds 64x48 render targets; this run renders 64x40"),
                (["--state-in", "whole.png"], "trails", "", "whole.png: is not a Quorlin state file"),
                ([], "bloom", BANNER, "half.state: holds the targets of passes A; this set runs passes A, B, C"),
                (["--state-in", "short.state"], "trails", BANNER, "short.state: is cut short")]:
            with self.subTest(line):
                state = [] if "--state-in" in args else ["--state-in", "half.state"]
                result = run("--frames", "1", *state, *args, set=set)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (2, stdout, "quorlin: " + line + HINT))

    def test_gnu_parallel_splits_a_render_over_two_workers(self):
        root = self.project()
        command = lambda output, *args: [QUORLIN, os.path.join(EXAMPLES, "bloom"), "--size", "64x48", *args,
                                         "--output", output]
        for folder in ("whole", "parts"):
            os.mkdir(os.path.join(root, folder))
        self.assertEqual(subprocess.run(command("whole/%02d.png", "--frames", "8"), cwd=root, env=environment(),
                                        capture_output=True).returncode, 0)
        for output in ("parts/%02d.png", "part{}.mp4"):
            split = subprocess.run(["parallel", "--will-cite", "-j2", *command(output, "--start-frame", "$(({} * 2))",
                                   "--frames", "2")], input="0\n1\n2\n3\n", text=True, cwd=root, env=environment(),
                                   capture_output=True, timeout=DEADLINE)
            self.assertEqual(split.returncode, 0, split.stderr)
        frames = lambda folder: {name: pathlib.Path(root, folder, name).read_bytes()
                                 for name in os.listdir(os.path.join(root, folder))}
        self.assertEqual(frames("parts"), frames("whole"))
        pathlib.Path(root, "parts.txt").write_text("".join("file 'part%d.mp4'\n" % n for n in range(4)))
        subprocess.run(["ffmpeg", "-v", "error", "-f", "concat", "-i", "parts.txt", "-c", "copy", "whole.mp4"],
                       cwd=root, check=True)
        counted = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames",
                                  "-of", "csv=p=0", "whole.mp4"], cwd=root, capture_output=True, text=True)
        self.assertEqual(counted.stdout.strip(), "8")
