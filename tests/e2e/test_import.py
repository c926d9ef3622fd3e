"""--import: a set written from the JSON export of a shader (passes, wiring, media, a line for
each thing left out), and exports or directories that are refused without leaving anything."""
import json, os, pathlib, shutil, tempfile, tomllib

from harness import QUORLIN, Case, png
from test_everyday import small_files_only

IMAGE = "void mainImage(out vec4 c, in vec2 p) { c = texture(iChannel2, p / iResolution.xy); }"
BUFFER = "void mainImage(out vec4 c, in vec2 p) { c = vec4(%s); }"
CUBE = "void mainCubemap(out vec4 c, in vec2 p, in vec3 o, in vec3 d) { c = vec4(d, 1); }"
SOUND = "vec2 mainSound(int s, float t) { return vec2(0); }"
LOOSE = {"ver": "0.1", "published": 3, "srgb": "false", "internal": "byte"}  # keys that mean nothing here
SAMPLED = {"filter": "nearest", "wrap": "clamp", "vflip": "true", **LOOSE}


def buffer_input(id, channel, number, **sampler):
    return {"id": id, "channel": channel, "type": "buffer", "src": "/media/previz/buffer0%d.png" % number,
            "sampler": sampler}


# Passes out of order. A buffer is found by the id its pass's outputs carry, a string (B) or a
# number (A), before its placeholder picture (buffer02.png, C): D by that alone.
EXPORT = {"Shader": {**LOOSE, "info": {"name": "Wired", "username": "me", "description": "Two\r\nlines\x01"},
                     "renderpass": [
    {"name": "Image", "type": "image", "code": IMAGE, "outputs": [{"id": 37, "channel": 0}], "inputs": [
        buffer_input("XsXGR8", 2, 2, **SAMPLED),
        {"id": 30, "channel": 0, "ctype": "texture", "src": "/media/a/wood.png",
         "sampler": {"filter": "linear", "wrap": "mirror", "vflip": False, **LOOSE}},
        {"id": "31", "channel": 1, "ctype": "texture", "filepath": "C:\\shaders\\stone.jpg",
         "sampler": {"filter": "mipmap", "wrap": "spiral", "vflip": True}},
        {"id": 32, "channel": 3, "ctype": "texture", "src": "/media/a/lost.png"}]},
    {"name": "Common", "type": "common", "code": "float shared;", **LOOSE},
    {"name": "Buf B", "type": "buffer", "code": "", "filename": "b.glsl", "outputs": [{"id": "XsXGR8"}],
     "inputs": [buffer_input("XsXGR8", 0, 1, filter="mipmap"), buffer_input(257, 1, 2, filter="linear", wrap="clamp"),
                {"id": 5, "channel": 2, "type": "keyboard", "src": "/presets/tex00.jpg"},
                {"id": 6, "channel": "3", "type": "cubemap", "src": "/media/a/cube.png", "sampler": {"filter": "linear"}}]},
    {"name": "Buffer A", "type": "buffer", "code": BUFFER % "0.5", "outputs": [{"id": 257, "channel": 0}],
     "inputs": [buffer_input("gone", 0, 3), {"id": 7, "channel": 4, "type": "texture", "src": "a.png"},
                {"id": 8, "channel": 1, "type": "cubemap", "src": "/media/previz/cubemap00.png",
                 "sampler": {"filter": "mipmap", "vflip": "false"}},
                {"id": 9, "channel": 2, "type": "cubemap", "src": "/media/a/sky.jpg"},
                {"id": 10, "channel": 3, "ctype": "webcam", "src": "/presets/webcam.png"}]},
    {"name": "Buf D", "type": "buffer", "code": BUFFER % "0.75", "outputs": [{"id": 300, "channel": 0}], "inputs": [
                # A video's own defaults (linear, clamp, upright) are left out; repeat is not one of them.
                {"id": 14, "channel": 0, "ctype": "video", "src": "/media/a/clip.webm",
                 "sampler": {"filter": "linear", "wrap": "repeat", "vflip": "true"}},
                # Sound samples linear and clamped unless told, and has no vflip and no mipmaps.
                {"id": 11, "channel": 1, "ctype": "music", "src": "/media/a/beat.ogg",
                 "sampler": {"filter": "mipmap", "wrap": "repeat", "vflip": "false"}},
                {"id": 12, "channel": 2, "ctype": "music", "src": "/media/a/beat.ogg",
                 "sampler": {"filter": "nearest", "wrap": "clamp", "vflip": "true"}},
                {"id": 13, "channel": 3, "ctype": "mic", "sampler": {"filter": "linear"}}]},
    {"name": "Buffer E", "type": "buffer", "code": BUFFER % "1"},
    {"name": "Buffer C", "type": "buffer", "code": ""},
    {"name": "Cube A", "type": "cubemap", "code": CUBE, "inputs": [buffer_input(257, 0, 0)]},
    {"name": "Sound", "type": "sound", "code": SOUND}]}}

PRINTED = """shader.json holds 2 shaders; imported the first, "Wired"
Pass "Buffer E" is none of Image, Buffer A to D, Common, Cube A, Sound: not imported
Pass "Buffer C" has no code: not imported
Image iChannel1: wrap "spiral" is none of clamp, repeat, mirror; left at the default
Missing media lost.png for Image iChannel3: put it beside shader.json
BufferB iChannel0 reads BufferB with mipmaps, which render targets lack: written as linear
BufferA: an input on channel "4" is not imported: channels are 0 to 3
BufferA iChannel1 reads CubeA with mipmaps, which render targets lack: written as linear
Missing media sky_3.jpg for BufferA iChannel2: put it beside shader.json
BufferD iChannel1 reads music with mipmaps, which a sound texture lacks: written as linear
Created 'new set' from shader.json; run: %s --watch 'new set'
""" % QUORLIN  # no quorlin on the test's PATH: the line names this one
WIRING = {"mouse": "click",
          "Image": {"iChannel2": {"buffer": "BufferB", "filter": "nearest", "wrap": "clamp"},
                    "iChannel0": {"file": "wood.png", "filter": "linear", "wrap": "mirror", "vflip": False},
                    "iChannel1": {"file": "stone.jpg"}},
          "BufferB": {"iChannel0": "BufferB", "iChannel1": {"buffer": "BufferA", "wrap": "clamp"},
                      "iChannel2": "keyboard", "iChannel3": {"cube": "cube_{face}.png", "filter": "linear"}},
          "BufferA": {"iChannel0": "BufferD", "iChannel1": "CubeA", "iChannel2": {"type": "cube"}, "iChannel3": "camera"},
          "BufferD": {"iChannel0": {"video": "clip.webm", "wrap": "repeat"}, "iChannel1": {"audio": "beat.ogg", "wrap": "repeat"},
                      "iChannel2": {"audio": "beat.ogg", "filter": "nearest"}, "iChannel3": "microphone"},
          "CubeA": {"iChannel0": "BufferA"}}
# A cube map's six faces: the first as its src names it, the others numbered; one in --media.
FACES = {"cube.png": b"px", "cube_1.png": b"nx", "sub/cube_2.png": b"py", "cube_3.png": b"ny", "cube_4.png": b"pz",
         "cube_5.png": b"nz", **{"sky%s.jpg" % n: b"sky" for n in ("", "_1", "_2", "_4", "_5")}}


class Import(Case):
    headless = True

    def folder(self, files):
        root = tempfile.mkdtemp(prefix="quorlin-import-")
        self.addCleanup(shutil.rmtree, root, True)
        for name, content in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
            pathlib.Path(root, name).write_bytes(content if isinstance(content, bytes) else content.encode())
        return root

    def test_an_export_becomes_a_set_with_a_line_for_what_is_left_out(self):
        media = {"wood.png": b"\x89PNG wood", "clip.webm": b"\x1aE\xdf\xa3 clip", "sub/stone.jpg": b"\xff\xd8 stone",
                 "b.glsl": BUFFER % "0.25", "beat.ogg": b"OggS beat"}
        root = self.folder({**media, **FACES, "shader.json": json.dumps([EXPORT, EXPORT])})
        result = self.run_quorlin("--import", "shader.json", "new set", "--media", "sub", cwd=root)
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, PRINTED, ""))
        made = pathlib.Path(root, "new set")
        faces = ["cube_%s.png" % face for face in ("nx", "ny", "nz", "px", "py", "pz")]
        self.assertEqual(sorted(path.name for path in made.iterdir()), ["BufferA.fs", "BufferB.fs", "BufferD.fs",
                         "CubeA.fs", "Image.frag", "Sound.fs", "beat.ogg", "clip.webm", "common.incl", *faces,
                         "quorlin.toml", "stone.jpg", "wood.png"])
        self.assertEqual([(made / ("cube_%s.png" % face)).read_bytes() for face in ("px", "nx", "py", "ny", "pz", "nz")],
                         [b"px", b"nx", b"py", b"ny", b"pz", b"nz"])
        for name, content in [("Image.frag", IMAGE), ("BufferA.fs", BUFFER % "0.5"), ("BufferB.fs", media["b.glsl"]),
                              ("common.incl", "float shared;"), ("CubeA.fs", CUBE), ("Sound.fs", SOUND),
                              ("BufferD.fs", BUFFER % "0.75")]:
            self.assertEqual((made / name).read_text(), content, name)
        self.assertEqual(((made / "wood.png").read_bytes(), (made / "stone.jpg").read_bytes()),
                         (media["wood.png"], media["sub/stone.jpg"]))
        toml = (made / "quorlin.toml").read_text()
        self.assertTrue(toml.startswith("# Wired\n# by me\n#\n# Two\n# lines\n\n"), toml)
        self.assertEqual(tomllib.loads(toml), WIRING)
        # The set runs as written: the image reads Buffer B's 0.25 on channel 2, as the export wired it.
        self.run_quorlin("--size", "16x8", "--output", "out.png", "new set", cwd=root)
        self.assertEqual(png(os.path.join(root, "out.png"))[1](8, 4)[:3], (64, 64, 64))

    def test_refused_exports_and_directories_leave_nothing(self):
        image = [{"name": "Image", "type": "image", "code": IMAGE * 40}]
        for export, dir, status, stderr, options in [
                ("nope", "set", 2, "shader.json: parse error at line 1, column 2: syntax error while parsing value - "
                 "invalid literal; last read: 'no'", {}),
                ([{"Shader": {"info": {}}}], "set", 2, 'shader.json: no "Shader" with a "renderpass" list', {}),
                ({"Shader": {"renderpass": [{"name": "Buf A", "code": "x"}]}}, "set", 2,
                 "shader.json: no image pass with code", {}),
                ({"Shader": {"renderpass": image}}, "full", 2, "--import: 'full' is not empty", {}),
                ({"Shader": {"renderpass": image}}, "a/set", 1, "cannot write 'a/set/Image.frag': File too large",
                 {"preexec_fn": small_files_only})]:
            with self.subTest(stderr):
                root = self.folder({"shader.json": export if isinstance(export, str) else json.dumps(export),
                                    "full/mine": "mine"})
                result = self.run_quorlin("--import", "shader.json", dir, cwd=root, **options)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (status, "", "quorlin: %s\n" % stderr))
                self.assertEqual(sorted(os.listdir(root)), ["full", "shader.json"])
                self.assertEqual(os.listdir(os.path.join(root, "full")), ["mine"])
