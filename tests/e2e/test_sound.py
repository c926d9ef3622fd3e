"""Sound: a channel's texture read back through pictures of it (spectrum bins, waveform, a split
render against a single one); the sound pass written to WAV; recordings that carry the sound in step
with the pictures; playback and capture through a real sound server with a null sink; and the lines
for what fails."""
import math, os, shutil, struct, subprocess, tempfile, time, wave
from unittest import mock

from harness import BANNER, DEADLINE, Case, Window, die_with_parent, png
from test_recording import ffprobe

RATE = 44100
SAVED = "Saved t.png (512x2)\n"  # after a 512 x 2 picture of the texture
QUIET = "void main() { FragColor = vec4(0.0, 0.0, 0.0, 1.0); }\n"
# Left tells the time (t / 16), right is 440 Hz at half scale.
TONE = "vec2 mainSound(int samp, float time) { return vec2(time / 16.0, 0.5 * sin(6.2831853 * 440.0 * time)); }\n"
# 1 kHz from sample 88200 (2.000 s) on.
BEEP = "vec2 mainSound(int s, float t) { return vec2(s >= 88200 ? 0.5 * sin(6.2831853 * 1000.0 * t) : 0.0); }\n"
# A 512 x 2 picture of channel 0's texture, texel for texel: red the texel, green iChannelTime / 4,
# blue the resolution's (x / 1024 + y / 8); the top row (the waveform) of the file is the texture's row 1.
TEXTURE = """void mainImage(out vec4 o, in vec2 f) {
    o = vec4(texture(iChannel0, f / iResolution.xy).r, iChannelTime[0] / 4.0,
             iChannelResolution[0].x / 1024.0 + iChannelResolution[0].y / 8.0, 1.0); }
"""
# White while the spectrum at 1 kHz (bin 46) is loud.
LOUD = "void mainImage(out vec4 o, in vec2 f) { o = vec4(vec3(step(0.5, texture(iChannel0, vec2(46.5 / 512.0, 0.25)).r)), 1.0); }\n"


def write_wav(path, seconds, value):
    """16-bit stereo at 44100 Hz; value(n) gives sample n, from -1 to 1."""
    with wave.open(path, "wb") as w:
        w.setparams((2, 2, RATE, 0, "NONE", None))
        w.writeframes(b"".join(struct.pack("<2h", *[round(32767 * value(n))] * 2) for n in range(int(seconds * RATE))))


def texels(path):
    """(spectrum, waveform, green, blue) of a TEXTURE picture."""
    _, pixel = png(path)
    return [pixel(x, 1)[0] for x in range(512)], [pixel(x, 0)[0] for x in range(512)], *pixel(0, 0)[1:3]


def sine(n, hz=1000.0, level=0.5):
    return level * math.sin(2 * math.pi * hz * n / RATE)


def sound_server(case):
    """A private PulseAudio with a null sink, stopped by the case's cleanup; returns its PULSE_SERVER."""
    home = tempfile.mkdtemp(prefix="quorlin-pulse-")
    case.addCleanup(shutil.rmtree, home, True)
    server = subprocess.Popen(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--disable-shm=yes", "-L", "module-null-sink sink_name=quorlin rate=44100 channels=2",
                               "-L", "module-native-protocol-unix socket=%s/native auth-anonymous=1" % home],
                              env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
    case.addCleanup(lambda: (server.kill(), server.wait()))
    address = "unix:%s/native" % home
    end = time.monotonic() + DEADLINE
    while subprocess.run(["pactl", "info"], env=dict(os.environ, PULSE_SERVER=address),
                         capture_output=True).returncode != 0:
        case.assertLess(time.monotonic(), end, "no sound server in time")
        time.sleep(0.05)
    return address, server


def audio(path):
    """A file's sound as mono floats at 44100 Hz, and where it starts against the pictures (s)."""
    first = {}
    for stream in ("a:0", "v:0"):
        out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", stream, "-show_entries", "frame=pts_time",
                              "-read_intervals", "%+#5", "-of", "default=nw=1:nk=1", path], capture_output=True, text=True)
        first[stream] = float(out.stdout.split()[0])
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-ac", "1", "-ar", str(RATE), "-f",
                          "f32le", "-"], capture_output=True, check=True).stdout
    return struct.unpack("<%df" % (len(raw) // 4), raw), first["a:0"] - first["v:0"]


def onset(samples, level=0.25):
    return next(i for i, value in enumerate(samples) if abs(value) > level)


def crossings(samples):
    return sum(1 for a, b in zip(samples, samples[1:]) if a < 0 <= b)


class Sound(Case):

    def run_in(self, root, *args, **options):
        return self.run_quorlin(*args, os.path.join(root, "Shaders"), display=self.display, cwd=root, **options)

    def sound_set(self, image, channel, seconds=3.0, value=sine):
        """A set whose image reads channel (a quorlin.toml value) on iChannel0, with sound.wav beside it."""
        root = self.project(files={}, **{"Image.frag": image, "quorlin.toml": "[Image]\niChannel0 = %s\n" % channel})
        write_wav(os.path.join(root, "Shaders", "sound.wav"), seconds, value)
        return root

    def test_a_sine_file_shows_its_bin_and_its_shape_looped_or_not(self):
        # (the channel, the time, the position in the file: None once it has stopped)
        for channel, at, position in [('{ audio = "sound.wav" }', 1.0, 1.0), ('{ audio = "sound.wav" }', 4.0, 1.0),
                                      ('{ audio = "sound.wav", loop = false }', 4.0, None)]:
            with self.subTest(channel=channel, at=at):
                root = self.sound_set(TEXTURE, channel)
                result = self.run_in(root, "--size", "512x2", "--time", str(at), "--output", "t.png")
                self.assertEqual((result.returncode, result.stdout), (0, BANNER + SAVED))
                spectrum, waveform, seconds, size = texels(os.path.join(root, "t.png"))
                self.assertEqual((seconds, size), (round(255 * (position or 3.0) / 4), 191))
                if position is None:  # silence: spectrum 0, waveform at its middle
                    self.assertEqual((set(spectrum), set(waveform)), ({0}, {128}))
                    continue
                # 1000 Hz is bin 1000 x 2048 / 44100 = 46.4; what leaks beyond six bins is below -100 dB.
                self.assertEqual((spectrum.index(max(spectrum)), spectrum[:40].count(0), spectrum[53:].count(0)),
                                 (46, 40, 459))
                # The 512 newest samples before 1 s of the file, by 128 (1 + x); 1 for 16-bit rounding.
                expected = [math.floor(128 * (1 + round(32767 * sine(RATE - 512 + i)) / 32767)) for i in range(512)]
                self.assertLessEqual(max(abs(a - b) for a, b in zip(waveform, expected)), 1)

    def test_a_render_split_in_two_equals_a_single_run(self):
        # A tone that swells and fades over noise, so the smoothing carries much from frame to frame.
        noise = [math.sin(n * 12.9898) * 43758.5453 % 1.0 - 0.5 for n in range(RATE)]
        root = self.sound_set(TEXTURE, '{ audio = "sound.wav" }', 2.0,
                              lambda n: 0.4 * sine(n, 700) * (1 + math.sin(n / 2000)) / 2 + 0.05 * noise[n % RATE])
        for name in ("whole", "part"):
            os.mkdir(os.path.join(root, name))
        self.run_in(root, "--size", "512x2", "--rate", "30", "--frames", "50", "--output", "whole/%02d.png")
        self.run_in(root, "--size", "512x2", "--rate", "30", "--start-frame", "40", "--frames", "10",
                    "--output", "part/%02d.png")
        for frame in (40, 49):
            whole, part = (texels(os.path.join(root, name, "%02d.png" % frame)) for name in ("whole", "part"))
            self.assertLessEqual(max(abs(a - b) for a, b in zip(whole[0] + whole[1], part[0] + part[1])), 1, frame)
            self.assertGreater(len(whole[0]) - whole[0].count(0), 400)  # the noise reaches every bin

    def test_a_recording_carries_the_file_and_turns_white_with_its_beep(self):
        root = self.sound_set(LOUD, '{ audio = "sound.wav" }', 3.0, lambda n: sine(n) if n >= 2 * RATE else 0.0)
        result = self.run_in(root, "--size", "16x16", "--frames", "180", "--output", "beep.mp4")
        self.assertEqual(result.returncode, 0, result.stdout)
        path = os.path.join(root, "beep.mp4")
        frames = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-f", "rawvideo", "-pix_fmt",
                                 "gray", "-"], capture_output=True, check=True).stdout
        white = [frames[256 * k + 136] > 128 for k in range(180)]
        # Frame k's window ends at sample 735 k: frame 121 is the first to hold sample 88200.
        self.assertEqual(white.index(True), 121)
        samples, offset = audio(path)
        self.assertLess(abs(offset + onset(samples) / RATE - 2.0), 0.001)
        self.assertEqual(subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                         "stream=duration", "-of", "csv=p=0", path],
                                        capture_output=True, text=True).stdout, "3.000000\n")

    def test_loopback_and_the_microphone_hear_a_tone_the_test_plays(self):
        address = os.environ.get("PULSE_SERVER") or sound_server(self)[0]
        # Quiet enough (-47 dB at its bin) that the smoothed spectrum stays below the top of the range.
        root = self.sound_set(TEXTURE, '"loopback"', 20.0, lambda n: sine(n, level=0.02))
        tone = os.path.join(root, "Shaders", "sound.wav")
        for channel in ('"loopback"', '"microphone"'):  # the null sink's monitor is the only input too
            with self.subTest(channel):
                with open(os.path.join(root, "Shaders", "quorlin.toml"), "w") as toml:
                    toml.write("[Image]\niChannel0 = %s\n" % channel)
                # Played anew for each run, whose last of 40 frames at 20 a second comes after the tone has
                # begun and, but for a start-up of 18 s, before it ends.
                player = subprocess.Popen(["paplay", tone], env=dict(os.environ, PULSE_SERVER=address),
                                          preexec_fn=die_with_parent)
                self.addCleanup(lambda player=player: (player.kill(), player.wait()))
                result = self.run_in(root, "--size", "512x2", "--frames", "40", "--max-fps", "20",
                                     "--output", "t.png", env={"PULSE_SERVER": address})
                player.kill()  # two at once might cancel out
                player.wait()
                self.assertEqual((result.returncode, result.stdout), (0, BANNER + SAVED))
                spectrum, waveform, seconds, size = texels(os.path.join(root, "t.png"))
                self.assertEqual((spectrum.index(max(spectrum)), size), (46, 191))
                self.assertGreater(max(waveform) - min(waveform), 3)  # 128 (1 +- 0.02)
                self.assertGreater(seconds, 0)  # seconds captured
        result = self.run_in(root, "--size", "512x2", "--output", "t.png", env={"PULSE_SERVER": "unix:/nonexistent"})
        self.assertEqual(result.stdout, BANNER + "Failed to open microphone for Image iChannel0: Connection refused\n" + SAVED)
        self.assertEqual(set(texels(os.path.join(root, "t.png"))[1]), {128})

    def test_a_bad_sound_file_is_one_line_and_reads_silence(self):
        root = self.sound_set(TEXTURE, '{ audio = "gone.mp3" }\niChannel1 = { audio = "Image.frag" }')
        result = self.run_in(root, "--size", "512x2", "--output", "t.png")
        shaders = os.path.join(root, "Shaders")
        self.assertEqual((result.returncode, result.stdout), (0, BANNER +
                         "Failed to load sound %s/gone.mp3 for Image iChannel0: No such file or directory\n"
                         "Failed to load sound %s/Image.frag for Image iChannel1: Invalid data found when processing "
                         "input\n" % (shaders, shaders) + SAVED))
        spectrum, waveform, _, size = texels(os.path.join(root, "t.png"))
        self.assertEqual((set(spectrum), set(waveform), size), ({0}, {128}, 191))

    def test_a_sound_file_saved_again_is_heard_and_a_broken_one_keeps_the_old(self):
        root = self.sound_set(LOUD, '{ audio = "sound.wav" }')
        shaders = os.path.join(root, "Shaders")
        window = Window(self, self.display, "--watch", "--frames", "1000000", shaders, cwd=os.path.join(root, "build"))
        window.wait_for(lambda: window.pixel(400, 300) == (255, 255, 255), "the loud picture")
        for data, colour, marker in [(b"RIFF broken", (255, 255, 255), "Failed to load sound %s/sound.wav for Image "
                                      "iChannel0: Invalid data found when processing input" % shaders),
                                     (None, (0, 0, 0), "Reloaded")]:
            count = window.output().count(marker)
            if data:
                with open(os.path.join(shaders, "sound.wav~"), "wb") as out:
                    out.write(data)
            else:  # silence
                write_wav(os.path.join(shaders, "sound.wav~"), 1.0, lambda n: 0.0)
            os.rename(os.path.join(shaders, "sound.wav~"), os.path.join(shaders, "sound.wav"))
            window.wait_for(lambda: window.output().count(marker) > count, marker)
            # Silence takes frames to reach the picture, through the smoothing: from the tone's -20 dB to
            # below -65 dB, the middle of the range, 0.8^n must fall under 1/178, so 24 frames.
            window.wait_for(lambda: window.pixel(400, 300) == colour, "%s after %s" % (colour, marker))
            window.passes(40)
            self.assertEqual(window.pixel(400, 300), colour, marker)

    def test_the_sound_pass_writes_a_wav_file(self):
        for args, frames, start in [([], 441000, 0.0), (["--frames", "90", "--rate", "30"], 132300, 0.0),
                                    (["--start-frame", "30", "--rate", "30", "--frames", "30"], RATE, 1.0),
                                    (["--time", "2.5", "--frames", "3", "--rate", "2"], 66150, 2.5)]:
            with self.subTest(args=args):
                root = self.project(**{"Image.frag": QUIET, "Sound.fs": TONE})
                result = self.run_in(root, "--output", "s.wav", *args)
                self.assertEqual((result.returncode, result.stdout), (0, BANNER + "Saved s.wav (%d samples, 44100 Hz, "
                                                                      "stereo)\n" % frames))
                with wave.open(os.path.join(root, "s.wav")) as w:
                    self.assertEqual(w.getparams()[:4], (2, 2, RATE, frames))
                    samples = struct.unpack("<%dh" % (2 * frames), w.readframes(frames))
                left, right = samples[0::2], samples[1::2]
                # The first sample is the start frame's time, 16-bit full scale being 32767.
                self.assertEqual((left[0], left[-1]), (round(32767 * start / 16),
                                                       round(32767 * (start + (frames - 1) / RATE) / 16)))
                self.assertLessEqual(abs(crossings(right[:RATE]) - 440 * min(frames, RATE) / RATE), 1)
                self.assertLessEqual(abs(max(right) - 16384), 1)  # half scale; the peak falls between samples
        root = self.project(**{"Image.frag": QUIET, "Sound.fs": "vec2 mainSound(int s, float t) { retrun vec2(0.0); }"})
        result = self.run_in(root, "--output", "s.wav", "--frames", "1")
        self.assertIn("ERROR::SHADER_COMPILATION_ERROR of type: FRAGMENT", result.stdout)
        with wave.open(os.path.join(root, "s.wav")) as w:  # silence
            self.assertEqual((result.returncode, set(w.readframes(w.getnframes()))), (0, {0}))
        examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
        # The shipped ones run as they are: beat plays its file, so a server must answer.
        address = os.environ.get("PULSE_SERVER") or sound_server(self)[0]
        for example, output in [("synth", "e.wav"), ("beat", "e.png")]:
            result = self.run_quorlin(os.path.join(examples, example), "--size", "64x40", "--frames", "6", "--output",
                                      os.path.join(root, output), display=self.display, env={"PULSE_SERVER": address})
            self.assertEqual((result.returncode, result.stdout.count("\n")), (0, 2), result.stdout)
        root = self.project(**{"Image.frag": QUIET})
        result = self.run_in(root, "--output", "s.wav")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (2, "", "quorlin: --output: 's.wav' is the "
                         "sound of a Sound.fs, and %s/Shaders has none\nRun 'quorlin --help' for usage.\n" % root))

    def test_recordings_carry_the_sound_in_step_with_the_pictures(self):
        root = self.project(**{"Image.frag": QUIET, "Sound.fs": BEEP})
        # (file, arguments, audio codec, when the beep starts in the file, its length)
        for name, args, codec, beep, length in [("a.mp4", ["--frames", "180"], "aac", 2.0, "3.000000"),
                                                ("b.mov", ["--frames", "40", "--start-frame", "40", "--rate", "25"],
                                                 "aac", 0.4, "1.600000"),
                                                ("c.webm", ["--frames", "150", "--rate", "50"], "opus", 2.0, None)]:
            with self.subTest(name):
                result = self.run_in(root, "--size", "32x24", "--output", name, *args)
                self.assertEqual(result.returncode, 0, result.stdout)
                path = os.path.join(root, name)
                streams = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name,duration",
                                          "-of", "csv=p=0", path], capture_output=True, text=True).stdout.split()
                self.assertEqual(streams[1].split(",")[0], codec)
                if length:  # the audio track ends with the last frame
                    self.assertEqual([s.split(",")[1] for s in streams], [length] * 2)
                samples, offset = audio(path)
                # Within 1 ms; the detection itself takes 3 samples at 1 kHz.
                self.assertLess(abs(offset + onset(samples) / RATE - beep), 0.001)
        result = self.run_in(root, "--size", "32x24", "--output", "d.gif", "--frames", "3")
        self.assertEqual(ffprobe(os.path.join(root, "d.gif"))[0], "gif")  # and nothing else: a GIF stays silent

    def test_a_window_plays_the_sound_pass_and_a_file_and_says_when_it_cannot(self):
        address = os.environ.get("PULSE_SERVER") or sound_server(self)[0]
        root = self.project(**{"Image.frag": QUIET, "Sound.fs": TONE})
        played = self.sound_set(TEXTURE, '{ audio = "sound.wav" }', 4.0, lambda n: sine(n, 440))
        for where in (root, played):
            recording = os.path.join(where, "heard.raw")
            with open(recording, "wb") as out:
                parec = subprocess.Popen(["parec", "--latency-msec=20", "--format=float32le", "--rate=44100",
                                          "--channels=2", "-d", "@DEFAULT_MONITOR@"], stdout=out,
                                         env=dict(os.environ, PULSE_SERVER=address), preexec_fn=die_with_parent)
                try:
                    result = self.run_in(where, "--frames", "60", "--max-fps", "20", env={"PULSE_SERVER": address})
                finally:
                    parec.kill()
                    parec.wait()
            self.assertEqual((result.returncode, result.stdout), (0, BANNER))
            with open(recording, "rb") as heard:
                right = struct.unpack("<%df" % (os.path.getsize(recording) // 4), heard.read())[1::2]
            # 440 Hz: a rising zero crossing every 100.2 samples, for half a second at least (a busy machine may
            # let the output run dry now and then, which leaves gaps, not another pitch).
            rising = [i for i in range(1, len(right)) if right[i - 1] < 0 <= right[i] and max(right[i:i + 50]) > 0.4]
            self.assertGreater(sum(1 for a, b in zip(rising, rising[1:]) if abs(b - a - RATE / 440) < 1), 220, where)
        result = self.run_in(root, "--frames", "3", env={"PULSE_SERVER": "unix:" + os.path.join(root, "none")})
        self.assertEqual((result.returncode, result.stdout), (0, BANNER + "No sound output: Connection refused\n"))

    def test_space_pauses_what_is_heard_and_a_server_that_goes_costs_one_line(self):
        address, server = sound_server(self)  # its own: it is stopped half way
        self.enterContext(mock.patch.dict(os.environ, PULSE_SERVER=address))
        moving = "void main() { FragColor = vec4(fract(iTime), 0.0, 0.0, 1.0); }\n"
        root = self.project(**{"Image.frag": moving, "Sound.fs": TONE})
        recording = os.path.join(root, "heard.raw")
        with open(recording, "wb") as out:
            parec = subprocess.Popen(["parec", "--latency-msec=20", "--format=float32le", "--rate=44100",
                                      "--channels=2", "-d", "@DEFAULT_MONITOR@"], stdout=out,
                                     stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
        self.addCleanup(lambda: (parec.kill(), parec.wait()))

        def newest(seconds):  # the right channel's newest samples, as loud as they get
            with open(recording, "rb") as heard:
                heard.seek(max(0, os.path.getsize(recording) // 8 - int(seconds * RATE)) * 8)
                data = heard.read()
            return max(map(abs, struct.unpack("<%df" % (len(data) // 4), data)[1::2]), default=0.0)

        window = Window(self, self.display, cwd=os.path.join(root, "build"))
        for press, heard in [("start", lambda: newest(0.1) > 0.4), ("pause", lambda: newest(0.3) < 0.01),
                             ("resume", lambda: newest(0.1) > 0.4)]:
            window.tap("space")
            window.poll(heard, "sound after the %s" % press)
        server.kill()
        window.poll(lambda: "Lost the sound server: " in window.output(), "the line for the lost server")
        self.assertTrue(window.rendering())
        self.assertEqual(window.output().count("\n"), 2, window.output())
