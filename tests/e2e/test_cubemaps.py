"""Cube maps: six labelled faces read upright, straight and through the cube-map pass shown
as a cross; the cube-map pass feeding the image and itself; bad faces."""
import io, os, re

from harness import BANNER, Case, Window, png
from PIL import Image, ImageDraw
import test_wiring
from test_wiring import code

FACES = ("px", "nx", "py", "ny", "pz", "nz")
SIZE = ["--size", "80x60"]


def colour(face, quadrant):
    """Quadrants 0 to 3: top left, top right, bottom left, bottom right of the file."""
    return 40 * face + 20, 60 * quadrant + 30, 128


def face_file(face, size=(64, 64)):
    picture = Image.new("RGB", size)
    draw = ImageDraw.Draw(picture)
    for quadrant in range(4):
        x, y = quadrant % 2 * size[0] // 2, quadrant // 2 * size[1] // 2
        draw.rectangle([x, y, x + size[0] // 2 - 1, y + size[1] // 2 - 1], fill=colour(face, quadrant))
    draw.text((size[0] // 2 - 6, size[1] // 2 - 5), FACES[face].upper(), fill=(255, 255, 255))
    out = io.BytesIO()
    picture.save(out, "PNG")
    return out.getvalue()


LABELLED = {"face_%s.png" % name: face_file(face) for face, name in enumerate(FACES)}
WIRED = '[Image]\niChannel0 = { cube = "face_{face}.png", filter = "nearest" }\n'
# Cell k of 10 pixels: towards face k's top-left quadrant, as GL's cube-map table puts it
# (for +X, s runs from +Z to -Z and t from +Y to -Y); then the face size.
CORNERS = code("k < 6 ? texture(iChannel0, d[k]) : vec4(iChannelResolution[0].xy / 255.0, 0, 1)").replace(
    "void mainImage(out vec4 c, in vec2 p) {", "void mainImage(out vec4 c, in vec2 p) { int k = int(p.x) / 10; "
    "vec3 d[6] = vec3[6](vec3(1, .5, .5), vec3(-1, .5, -.5), vec3(-.5, 1, -.5), vec3(-.5, -1, .5), "
    "vec3(-.5, .5, 1), vec3(.5, .5, -1));")
# The cross's cells of 20 x 20 pixels at --size 80x60 (column, row from the top), by face.
CELLS = ((2, 1), (0, 1), (1, 0), (1, 2), (1, 1), (3, 1))
# Frame 0 writes each texel's column, row and face; every later frame reads its previous
# frame at rayDir and keeps w at the frame count only while that found the texel itself.
SELF = ("void mainCubemap(out vec4 c, in vec2 p, in vec3 o, in vec3 d) { vec3 a = abs(d);\n"
        "float face = a.x > a.y && a.x > a.z ? step(d.x, 0.0) : a.y > a.z ? 2.0 + step(d.y, 0.0) : "
        "4.0 + step(d.z, 0.0);\nvec4 own = vec4(floor(p), face, iFrame), last = texture(iChannel0, d);\n"
        "bool found = iFrame == 0 || all(lessThan(abs(last - own), vec4(0.25)));\n"
        "c = vec4(own.xyz, found && o == vec3(0) ? float(iFrame + 1) : -1.0); }\n")
# Green where the cube the image reads is this frame's and every texel found itself, at the
# six faces' middles and six points off them.
SELF_IMAGE = code("abs(texture(iChannel0, d[int(p.x) / 2]).w - float(iFrame + 1)) < 0.25 ? vec4(0, 1, 0, 1) : "
                  "vec4(1, 0, 0, 1)").replace("void mainImage(out vec4 c, in vec2 p) {",
    "void mainImage(out vec4 c, in vec2 p) { vec3 d[12] = vec3[12](vec3(1, 0, 0), vec3(-1, 0, 0), vec3(0, 1, 0), "
    "vec3(0, -1, 0), vec3(0, 0, 1), vec3(0, 0, -1), vec3(1, .6, -.3), vec3(-1, -.6, .3), vec3(.3, 1, .6), "
    "vec3(-.6, -1, -.3), vec3(.6, -.3, 1), vec3(-.3, .6, -1));")
# (what, the face files changed, the line after "Failed to load image DIR/")
BAD_FACES = [
    ("a face missing", {"face_ny.png": None}, "face_ny.png for iChannel0: No such file or directory"),
    ("a face of another size", {"face_pz.png": face_file(4, (32, 32))},
     "face_pz.png for iChannel0: 32x32, not the 64x64 of DIR/face_px.png"),
    ("a face not square", {"face_nx.png": face_file(1, (64, 32))}, "face_nx.png for iChannel0: not square (64x32)"),
]


class CubeMaps(Case):
    bare_set = test_wiring.Wiring.bare_set

    def render(self, files, *args):
        """The run with its last line, saying where the picture went, checked and taken off; no
        picture for a build that failed."""
        root = self.bare_set(files)
        shaders, out = os.path.join(root, "Shaders"), os.path.join(root, "out.png")
        result = self.run_quorlin(*args, "--output", out, shaders, display=self.display)
        if not os.path.exists(out):
            return result, None, shaders
        self.assertRegex(result.stdout, r"\nSaved %s \(\d+x\d+\)\n$" % re.escape(out))
        result.stdout = result.stdout[:result.stdout.rindex("Saved ")]
        return result, png(out)[1], shaders

    def test_labelled_faces_read_upright_and_the_cross_shows_them(self):
        result, pixel, _ = self.render({**LABELLED, "quorlin.toml": WIRED, "Image.frag": CORNERS}, "--size", "70x10")
        self.assertEqual((result.returncode, result.stdout), (0, BANNER))
        self.assertEqual([pixel(10 * k + 5, 5)[:3] for k in range(7)], [colour(k, 0) for k in range(6)] + [(64, 64, 0)])
        # The cube-map pass copies them; view 5 shows its six faces, each as its file looks.
        result, pixel, _ = self.render({**LABELLED, "quorlin.toml": WIRED.replace("Image", "CubeA"), "Image.frag":
                                        code("vec4(1)"), "CubeA.fs": "void mainCubemap(out vec4 c, in vec2 p, in vec3 o, "
                                        "in vec3 d) { c = texture(iChannel0, d); }"}, *SIZE, "--view", "5")
        self.assertEqual((result.returncode, result.stdout), (0, BANNER))
        for face, (column, row) in enumerate(CELLS):
            seen = [pixel(20 * column + 5 + q % 2 * 10, 20 * row + 5 + q // 2 * 10)[:3] for q in range(4)]
            self.assertEqual(seen, [colour(face, q) for q in range(4)], FACES[face])
        self.assertEqual(pixel(5, 5)[:3], (0, 0, 0), "outside the cross")

    def test_the_cube_pass_feeds_the_image_and_itself(self):
        files = {"quorlin.toml": '[CubeA]\niChannel0 = "CubeA"\n[Image]\niChannel0 = "CubeA"\n', "CubeA.fs": SELF,
                 "Image.frag": SELF_IMAGE}
        result, pixel, _ = self.render(files, "--size", "24x2", "--frames", "3")
        self.assertEqual((result.returncode, result.stdout), (0, BANNER))
        self.assertEqual([pixel(2 * k, 0)[:3] for k in range(12)], [(0, 255, 0)] * 12)
        # Stopped after two frames and gone on from the state: both cubes come back, each in its role.
        state = os.path.join(self.project(), "cube.state")
        for args in (["--state-out", state, "--frames", "2"], ["--state-in", state, "--frames", "1"]):
            result, pixel, _ = self.render(files, "--size", "24x2", *args)
            self.assertEqual((result.returncode, result.stdout), (0, BANNER), args)
        self.assertEqual([pixel(2 * k, 0)[:3] for k in range(12)], [(0, 255, 0)] * 12)

    def test_a_bad_face_reads_black_and_a_reload_keeps_the_cube(self):
        for what, changes, line in BAD_FACES:
            with self.subTest(what):
                result, pixel, shaders = self.render({**LABELLED, **changes, "quorlin.toml": WIRED, "Image.frag": CORNERS},
                                                     "--size", "70x10")
                self.assertEqual((result.returncode, result.stdout), (0, BANNER + "Failed to load image %s/%s\n" % (
                    shaders, line.replace("DIR", shaders))))
                self.assertEqual([pixel(10 * k + 5, 5)[:3] for k in range(7)], [(0, 0, 0)] * 7)
        # Code that reads the cube as a 2D picture: the driver's compile error, as any other.
        result, _, _ = self.render({**LABELLED, "quorlin.toml": WIRED, "Image.frag": code("texture(iChannel0, p)")})
        self.assertIn("ERROR::SHADER_COMPILATION_ERROR of type: FRAGMENT\n", result.stdout)
        self.assertIn("samplerCube", result.stdout)
        # Saved over a face of a running set: the line, and the cube as it was.
        root = self.bare_set({**LABELLED, "quorlin.toml": WIRED, "Image.frag": CORNERS})
        shaders = os.path.join(root, "Shaders")
        window = Window(self, self.display, "--watch", "--frames", "1000000", "--size", "70x10", shaders,
                        cwd=os.path.join(root, "build"))
        window.wait_for(lambda: window.pixel(5, 5) == colour(0, 0), "the first frame")
        with open(os.path.join(shaders, "face_ny.png"), "wb") as out:
            out.write(b"not a picture")
        window.wait_for(lambda: "face_ny.png" in window.output(), "the failure")
        window.passes()
        self.assertEqual(window.pixel(35, 5), colour(3, 0))
        self.assertEqual(window.output(), BANNER + "Reloaded shaders from {0}\nFailed to load image {0}/face_ny.png for "
                         "iChannel0: unknown image type\n".format(shaders))
