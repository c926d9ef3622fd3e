"""Sound: the sound pass written to WAV and carried by recordings in step with the pictures; playback
through a real sound server with a null sink, recorded from its monitor; and the lines for what fails."""
import os, shutil, struct, subprocess, tempfile, time, wave

from harness import BANNER, DEADLINE, Case, die_with_parent
from test_recording import ffprobe

RATE = 44100
QUIET = "void main() { FragColor = vec4(0.0, 0.0, 0.0, 1.0); }\n"
# Left tells the time (t / 16), right is 440 Hz at half scale.
TONE = "vec2 mainSound(int samp, float time) { return vec2(time / 16.0, 0.5 * sin(6.2831853 * 440.0 * time)); }\n"
# 1 kHz from sample 88200 (2.000 s) on.
BEEP = "vec2 mainSound(int s, float t) { return vec2(s >= 88200 ? 0.5 * sin(6.2831853 * 1000.0 * t) : 0.0); }\n"


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

    def test_a_window_plays_the_sound_pass_and_says_when_it_cannot(self):
        address = os.environ.get("PULSE_SERVER") or sound_server(self)[0]
        root = self.project(**{"Image.frag": QUIET, "Sound.fs": TONE})
        recording = os.path.join(root, "heard.raw")
        with open(recording, "wb") as out:
            parec = subprocess.Popen(["parec", "--latency-msec=20", "--format=float32le", "--rate=44100",
                                      "--channels=2", "-d", "@DEFAULT_MONITOR@"], stdout=out,
                                     env=dict(os.environ, PULSE_SERVER=address), preexec_fn=die_with_parent)
            try:
                result = self.run_in(root, "--frames", "60", "--max-fps", "20", env={"PULSE_SERVER": address})
            finally:
                parec.kill()
                parec.wait()
        self.assertEqual((result.returncode, result.stdout), (0, BANNER))
        with open(recording, "rb") as heard:
            right = struct.unpack("<%df" % (os.path.getsize(recording) // 4), heard.read())[1::2]
        start = onset(right, 0.4)
        self.assertEqual(crossings(right[start:start + RATE // 2]), 220)  # 440 Hz for half a second
        result = self.run_in(root, "--frames", "3", env={"PULSE_SERVER": "unix:" + os.path.join(root, "none")})
        self.assertEqual((result.returncode, result.stdout), (0, BANNER + "No sound output: Connection refused\n"))
