"""Channels wired by quorlin.toml in sets written without declarations: which pass reads
what, sampling per pass, the lines for what reads nothing, a bad set file, and the click
style of iMouse, through --frames/--output pictures and one real window."""
import os, re

from harness import BANNER, DIRECTORY, SHIPPED, Case, Window, png, write
from test_images import CORNERS, GREEN, RED, BLUE, bilinear, picture

SIZE = ["--size", "64x48"]
PIC = picture((2, 2), CORNERS)
EXAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "wired")


def code(colour):
    """A pass in the other tools' style: no declarations, t(channel) reads at this pixel."""
    return "vec4 t(sampler2D s, vec2 p) { return texture(s, p / iResolution.xy); }\n" \
           "void mainImage(out vec4 c, in vec2 p) { c = %s; }" % colour


# A -> B -> C -> image, each on a channel the fixed order would not give. Frame 1 (the
# second): A.r is its own 0.1 + 0.1 read on channel 2, A.g the previous frame's C.b (0.3)
# read on channel 0; B copies this frame's A from channel 3; C halves B's red, keeps its
# green and adds 0.2 to its red as blue; the image shows C from channel 1.
CHAIN = {"quorlin.toml": '[BufferA]\niChannel2 = "BufferA"\niChannel0 = "BufferC"\n[BufferB]\n'
                         'iChannel3 = "BufferA"\n[BufferC]\niChannel1 = "BufferB"\n[Image]\niChannel1 = "BufferC"\n',
         "BufferA.fs": code("vec4(t(iChannel2, p).r + 0.1, t(iChannel0, p).b, 0, 1)"),
         "BufferB.fs": code("vec4(t(iChannel3, p).rg, 0, 1)"),
         "BufferC.fs": code("vec4(t(iChannel1, p).r * 0.5, t(iChannel1, p).g, t(iChannel1, p).r + 0.2, 1)"),
         "Image.frag": code("t(iChannel1, p)")}
HALVES = code("p.x < 32.0 ? t(iChannel0, p) : t(iChannel1, p)")
# (what, files, arguments (WIDE: a 5 x 3 picture), expected: "lines" after the banner, pixels
# at (x, y from the top) within 2 of exact: 8-bit rounding and llvmpipe's filtering)
RUNS = [
    ("each pass reads what it is wired to, this frame's or the previous", CHAIN, SIZE + ["--frames", "2"],
     {(5, 5): (26, 77, 102)}),
    ("only quorlin.toml and two pass files", {"quorlin.toml": '[Image]\niChannel3 = "BufferA"\n',
     "BufferA.fs": code("vec4(0.2, 0.4, 0.6, 1)"), "Image.frag": code("t(iChannel3, p)")}, SIZE,
     {(5, 5): (51, 102, 153)}),
    ("one picture nearest in a pass, linear in another", {"pic.png": PIC, "Image.frag": HALVES,
     "quorlin.toml": '[BufferA]\niChannel0 = { file = "pic.png", filter = "nearest" }\n[Image]\niChannel0 = '
                     '"BufferA"\niChannel1 = { file = "pic.png", filter = "linear", wrap = "clamp" }\n',
     "BufferA.fs": code("t(iChannel0, p)")}, SIZE,
     {(20, 10): RED, (31, 47): BLUE, (40, 10): bilinear(40, 10, "clamp"), (60, 40): bilinear(60, 40, "clamp")}),
    ("vflip = false puts the file's first row at v = 0", {"pic.png": PIC, "Image.frag": HALVES, "quorlin.toml":
     '[Image]\niChannel0 = { file = "pic.png", filter = "nearest", vflip = false }\n'
     'iChannel1 = { file = "pic.png", filter = "nearest" }\n'}, SIZE, {(0, 0): BLUE, (63, 0): GREEN}),
    ("iFrameRate, iChannelTime and iSampleRate on the fixed clock", {"Image.frag": code(
     "vec4(iFrameRate, iChannelTime[1] * 10.0, iSampleRate / 1000.0, 255) / 255.0")},
     SIZE + ["--frames", "3", "--rate", "30", "--time", "2"], {(5, 5): (30, 21, 44)}),
    ("what reads nothing says so once; --texture fills an unwired channel; sizes per channel", {"quorlin.toml":
     '[Image]\niChannel1 = "BufferC"\n', "Image.frag": code(
        "vec4(0, 1, (iChannelResolution[3].x * 10.0 + iChannelResolution[2].x + iChannelResolution[1].y / 48.0) / "
        "255.0, 1) + t(iChannel1, p) + t(iChannel2, p) + vec4(t(iChannel3, p).r, 0, 0, 0)")},
     SIZE + ["--texture", "iChannel3=WIDE"], {"lines": ["No BufferC.fs for iChannel1 of Image: it reads a cleared "
                                                        "target", "No input for iChannel2 of Image: wire it in "
                                                        "quorlin.toml"], (5, 5): (9, 255, 51)}),
    ("a cube channel is declared samplerCube and reads black", {"quorlin.toml": '[Image]\niChannel0 = { type = '
     '"cube" }\n', "Image.frag": code("vec4(0, 1, 0, 1) + texture(iChannel0, vec3(1, 0, 0))")}, SIZE,
     {(5, 5): GREEN}),
    ("the fixed wiring: one line for a missing pass", {**SHIPPED, "BufferB.fs": None, "Image.frag": "in vec2 TexCoord;"
     "\nuniform sampler2D iChannel1;\nvoid main() { FragColor = vec4(0, 1, 0, 1) + texture(iChannel1, TexCoord); }\n"},
     SIZE, {"lines": ["No BufferB.fs for iChannel1 of Image: it reads a cleared target"], (5, 5): GREEN}),
    ("a view runs the pass it shows, through the shipped viewer", {"quorlin.toml": 'mouse = "buttons"\n',
     "Image.frag": code("vec4(1)"), "BufferB.fs": code("vec4(0.2, 0.4, 0.8, 1)")}, SIZE + ["--view", "2"],
     {(5, 5): (51, 102, 204)}),
    ("the example", {name: open(os.path.join(EXAMPLE, name), "rb").read() for name in os.listdir(EXAMPLE)},
     SIZE + ["--frames", "30"], {}),
]
# (quorlin.toml, the line on standard error)
BAD_SET_FILES = [
    ("[Imag]\n", "1:2: unknown table 'Imag': Image, BufferA, BufferB, BufferC, BufferD, CubeA"),
    ("[Image]\niChannel4 = 'BufferA'\n", "2:1: unknown key 'iChannel4': iChannel0 to iChannel3"),
    ("[Image]\niChannel0 = 'BuferA'\n", "2:13: unknown pass 'BuferA' (BufferA to BufferD, CubeA, keyboard, camera, "
     "microphone, loopback, or an image or video file)"),
    ("[Image]\niChannel0 = { file = 'a.png', filtr = 'nearest' }\n",
     "2:31: unknown key 'filtr' in iChannel0: buffer, file, cube, video, stream, audio, filter, wrap, vflip, type, "
     "loop, format, size"),
    ("[Image]\niChannel0 = { buffer = 'BufferA', filter = 'mipmap' }\n",
     "2:44: a render target has no mipmaps: choose nearest or linear"),
    ("[Image]\niChannel0 = { file = 'a.png', wrap = 'clampy' }\n", "2:38: unknown wrap 'clampy': clamp, repeat, mirror"),
    ("[Image]\niChannel0 = { file = 'a.png', vflip = 'no' }\n", "2:39: vflip wants true or false"),
    ("mouse = 1\n", "1:9: mouse wants a string"),
    ("[Image]\niChannel0 = { file = 'a.png', loop = false }\n", "2:38: loop applies to a video or audio file only"),
    ("[Image]\niChannel0 = { video = 'a.mp4', size = '8x8' }\n", "2:39: size applies to a stream only"),
    ("[Image]\niChannel0 = { video = 'a.mp4', stream = 'udp://h:1' }\n",
     "2:13: iChannel0 takes one of buffer, file, cube, video, stream, audio"),
    ("[Image]\niChannel0 = 'BufferA'\niChannel0 = 'BufferB'\n",
     "3:13: Error while parsing key-value pair: cannot redefine existing string 'iChannel0'"),
]
# Shows iMouse's four values (z and w shifted by 4096) and, from a buffer that adds one
# each frame w is positive, how many frames that was, as 24-bit integers in 8x8 cells.
CLICK_PROBE = {"quorlin.toml": '[BufferA]\niChannel0 = "BufferA"\n[Image]\niChannel0 = "BufferA"\n',
               "BufferA.fs": code("t(iChannel0, p) + vec4(iMouse.w > 0.0 ? 1.0 : 0.0)"),
               "Image.frag": "vec4 encode(float v) { uint n = uint(clamp(floor(v + 0.5), 0.0, 16777215.0));\n"
                             "return vec4(uvec3(n >> 16, n >> 8, n) & 255u, 255u) / 255.0; }\n"
                             "void mainImage(out vec4 c, in vec2 p) { float cells[5] = float[5](iMouse.x, iMouse.y, "
                             "iMouse.z + 4096.0, iMouse.w + 4096.0, texelFetch(iChannel0, ivec2(0), 0).r);\n"
                             "c = p.y < 8.0 && p.x < 40.0 ? encode(cells[int(p.x) / 8]) : vec4(0, 0, 0, 1); }\n"}


class Wiring(Case):

    def bare_set(self, files):
        root = self.project(files={})
        for name, content in files.items():
            path = os.path.join(root, "Shaders", name)
            if isinstance(content, bytes):
                with open(path, "wb") as out:
                    out.write(content)
            else:
                write(path, content)
        return root

    def test_runs(self):
        for what, files, args, expected in RUNS:
            with self.subTest(what):
                root = self.bare_set(files)
                with open(os.path.join(root, "wide.png"), "wb") as out:
                    out.write(picture((5, 3), [(9, 9, 9)] * 15))
                result = self.run_quorlin(*[a.replace("WIDE", os.path.join(root, "wide.png")) for a in args], "--output",
                                          os.path.join(root, "out.png"), os.path.join(root, "Shaders"))
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                lines = expected.get("lines", []) + ["Saved %s/out.png (64x48)" % root]
                self.assertEqual(result.stdout, BANNER + "".join(line + "\n" for line in lines))
                pixel = png(os.path.join(root, "out.png"))[1]
                self.assertNotEqual(pixel(32, 24), (0, 0, 0, 255), "a black picture")
                for point, colour in expected.items():
                    if point != "lines":
                        self.assertLessEqual(max(abs(a - b) for a, b in zip(pixel(*point), colour + (255,))), 2,
                                             (point, pixel(*point), colour))

    def test_a_bad_set_file_is_refused_before_any_window(self):
        for text, line in BAD_SET_FILES:
            with self.subTest(text):
                root = self.bare_set({"quorlin.toml": text, "Image.frag": code("vec4(1)")})
                result = self.run_quorlin(os.path.join(root, "Shaders"))  # no display: no window is tried
                self.assertEqual((result.returncode, result.stdout, result.stderr),
                                 (2, "", "quorlin: quorlin.toml:%s\n" % line))

    def test_a_bad_save_keeps_the_wiring_and_subfolders_are_watched(self):
        root = self.bare_set({"quorlin.toml": '[Image]\niChannel0 = "red.png"\n', "red.png": picture((1, 1), [RED]),
                              "sub": DIRECTORY, "sub/pic.png": picture((1, 1), [GREEN]),
                              "Image.frag": code("t(iChannel0, p)")})
        shaders = os.path.join(root, "Shaders")
        window = Window(self, self.display, "--watch", "--frames", "1000000", shaders, cwd=os.path.join(root, "build"))
        window.wait_for(lambda: window.pixel(400, 300) == RED, "the first frame")

        def save(name, content, marker, colour):
            count = window.output().count(marker)
            with open(os.path.join(shaders, name + "~"), "wb") as out:
                out.write(content)
            os.rename(os.path.join(shaders, name + "~"), os.path.join(shaders, name))
            window.wait_for(lambda: window.output().count(marker) > count, marker)
            window.wait_for(lambda: window.pixel(400, 300) == colour, "the colour after %s" % name)

        save("quorlin.toml", b"[Image]\niChannel0 = 'sub/pic.png'\nfilter = 'x'\n",
             "quorlin: quorlin.toml:3:1: unknown key 'filter': iChannel0 to iChannel3\n", RED)
        save("quorlin.toml", b"[Image]\niChannel0 = 'sub/pic.png'\n", "Reloaded", GREEN)
        save("sub/pic.png", picture((1, 1), [BLUE]), "Reloaded", BLUE)

    def test_click_style_mouse_on_a_real_window(self):
        root = self.bare_set(CLICK_PROBE)
        window = Window(self, self.display, "--frames", "1000000", os.path.join(root, "Shaders"),
                        cwd=os.path.join(root, "build"))
        cells = lambda: [(lambda r, g, b: r << 16 | g << 8 | b)(*window.pixel(8 * i + 4, -4)) for i in range(5)]
        wid = str(window.window.id)
        for action, seen in [((), [0, 0, 4096, 4096, 0]),  # nothing before the first press
                             (("mousemove", "--window", wid, "100", "200"), [0, 0, 4096, 4096, 0]),
                             (("mousedown", "1"), [100, 400, 4196, 4096 - 400, 1]),  # w positive for one frame
                             (("mousemove", "--window", wid, "300", "250"), [300, 350, 4196, 4096 - 400, 1]),
                             (("mouseup", "1"), [300, 350, 4096 - 100, 4096 - 400, 1])]:
            with self.subTest(action=action):
                if action:
                    window.xdotool(*action)
                window.wait_for(lambda: cells() == seen, "iMouse %s, have %s" % (seen, cells()))
