"""Images as sampler inputs: which file binds, how it is decoded and sampled, what a
missing or bad one prints, and reloading, through --frames/--output pictures."""
import io, os, re, struct, zlib

from PIL import Image

from harness import BANNER, SHIPPED, Case, Window, png, write

SIZE = ["--size", "64x48"]
RED, GREEN, BLUE, YELLOW = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)
CORNERS = (RED, GREEN, BLUE, YELLOW)  # top left, top right, bottom left, bottom right of the file


def picture(size, pixels, mode="RGB", kind="PNG"):
    image = Image.new(mode, size)
    image.putdata(pixels)
    out = io.BytesIO()
    image.save(out, kind)
    return out.getvalue()


def png_header(width, height, depth):
    """A grey PNG that announces its size and ends there."""
    return b"\x89PNG\r\n\x1a\n" + struct.pack(">I4sIIBBBBBI", 13, b"IHDR", width, height, depth, 0, 0, 0, 0, 0)


def shader(colour, *uniforms):
    return "in vec2 TexCoord;\n" + "".join("uniform %s;\n" % u for u in uniforms) + \
        "void main() { FragColor = %s; }\n" % colour


def bilinear(x, y, wrap):
    """What linear filtering of CORNERS gives at window pixel (x, y from the top) of 64x48."""
    texel = {(0, 1): RED, (1, 1): GREEN, (0, 0): BLUE, (1, 0): YELLOW}
    index = (lambda i: i % 2) if wrap == "repeat" else (lambda i: min(max(i, 0), 1))
    s, t = (x + 0.5) / 64 * 2 - 0.5, (47.5 - y) / 48 * 2 - 0.5
    i, j = int(s // 1), int(t // 1)
    weights = {(i, j): (1 - s + i) * (1 - t + j), (i + 1, j): (s - i) * (1 - t + j),
               (i, j + 1): (1 - s + i) * (t - j), (i + 1, j + 1): (s - i) * (t - j)}
    return tuple(sum(w * texel[index(a), index(b)][c] for (a, b), w in weights.items()) for c in range(3))


SHOW_PIC = shader("texture(pic, TexCoord)", "sampler2D pic")
POINTS = [(0, 0), (63, 0), (0, 47), (63, 47), (32, 24)]
WIDE = picture((5, 3), [(9, 9, 9)] * 15)
NOTHING = "vec4(0, 1, 0, 1) + vec4(%s, -%s)" % (" + ".join("texture(%s, TexCoord).rgb" % s for s in "abcd"),
                                             " - ".join("texture(%s, TexCoord).a" % s for s in "abcd"))
# (what, files beside the shipped ones, arguments, expected: "lines" printed after the banner (DIR is the
# shader directory), pixels at (x, y from the top) within 2 of exact)
RUNS = [
    ("upright, nearest", {"pic.png": picture((2, 2), CORNERS), "Image.frag": SHOW_PIC}, ["--sampler", "pic=nearest"],
     {(0, 0): RED, (63, 0): GREEN, (0, 47): BLUE, (63, 47): YELLOW, (16, 12): RED}),
    *[("%s, %s" % (sampling or "default: mipmapped trilinear", wrap), {"pic.png": picture((2, 2), CORNERS),
       "Image.frag": SHOW_PIC}, ["--sampler", "pic=" + sampling] if sampling else [],
       {point: bilinear(*point, wrap) for point in POINTS})
      for sampling, wrap in [("linear", "repeat"), ("linear,clamp", "clamp"), ("clamp", "clamp"), (None, "repeat")]],
    ("an image replaces channel 1 and pass B is not run", {"iChannel1.png": picture((2, 2), CORNERS),
     "BufferB.fs": "not GLSL", "Image.frag": shader("texture(iChannel1, TexCoord)", "sampler2D iChannel1")},
     ["--sampler", "iChannel1=nearest"], {(0, 0): RED, (63, 47): YELLOW}),
    ("NAMEResolution as vec3, iChannelResolution of an unsampled channel", {"wide.png": WIDE, "Image.frag": shader(
        "vec4(wideResolution.x, wideResolution.y * 10.0 + wideResolution.z, iChannelResolution[3].x + "
        "iChannelResolution[3].z, 255) / 255.0 + 0.001 * texture(wide, TexCoord)",
        "sampler2D wide", "vec3 wideResolution", "vec3 iChannelResolution[4]")}, [], {(5, 5): (5, 31, 65)}),
    ("as vec2: an image's on channel 0, (0, 0) for none", {"Image.frag": shader(
        "vec4(iChannelResolution[0].x + iChannelResolution[2].x, iChannelResolution[0].y, noneResolution.x + "
        "noneResolution.y + 7.0, 255) / 255.0 + 0.001 * (texture(none, TexCoord) + texture(iChannel0, TexCoord))",
        "sampler2D none", "sampler2D iChannel0", "vec2 noneResolution", "vec2 iChannelResolution[4]")},
     ["--texture", "iChannel0=WIDE"], {"lines": ["No image for sampler none: give --texture none=FILE or put "
                                                 "none.png in DIR"], (5, 5): (69, 3, 7)}),
    ("16-bit PNG and PGM grey keep their low byte, alpha 1", {"g.png": picture((1, 1), [32768], "I;16"),
     "p.pgm": b"P5\n1 1\n65535\n\x80\x00", "Image.frag": shader("vec4(fract(vec2(texture(g, TexCoord).g, texture("
                                                              "p, TexCoord).b) * 255.0), texture(p, TexCoord).a, 1)",
                                                              "sampler2D g", "sampler2D p")}, [],
     {(5, 5): (128, 128, 255)}),
    ("HDR keeps values above 1", {"h.hdr": b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n" + bytes(
        [192, 32, 96, 130]), "Image.frag": shader("texture(h, TexCoord) * 0.25", "sampler2D h")}, [],
     {(5, 5): (191, 32, 96)}),
    ("GIF: the first frame; grey and alpha", {"f.gif": picture((1, 1), [(0, 0, 255)], kind="GIF"),
     "ga.png": picture((1, 1), [(100, 50)], "LA"), "Image.frag": shader(
        "vec4(texture(ga, TexCoord).ggb, 1) + vec4(0, 0, texture(ga, TexCoord).a, 0) * texture(f, TexCoord)",
        "sampler2D f", "sampler2D ga")}, [], {(5, 5): (100, 100, 150)}),
    ("missing, corrupt, too large a side, too many bytes: transparent black and a line each",
     {"b.png": b"\x89PNG\r\n\x1a\nnot a picture", "c.png": png_header(20000, 20000, 8),
      "d.png": png_header(12000, 12000, 16), "Image.frag": shader(NOTHING, *("sampler2D " + s for s in "abcd"))},
     ["--texture", "typo=WIDE", "--sampler", "typo=nearest"],
     {"lines": ["No image for sampler a: give --texture a=FILE or put a.png in DIR",
                r"Failed to load image DIR/b.png for b: [^\n]+",
                "Failed to load image DIR/c.png for c: 20000x20000 pixels exceed 16384 a side (GL_MAX_TEXTURE_SIZE)",
                "Failed to load image DIR/d.png for d: 12000x12000 pixels decode to 1152000000 bytes, above 1 GiB",
                "No program uses sampler typo"], (5, 5): GREEN}),
]


class Images(Case):
    headless = True

    def test_runs(self):
        for what, files, args, expected in RUNS:
            with self.subTest(what):
                root = self.project(**{name: "" for name in files})
                shaders, wide = os.path.join(root, "Shaders"), os.path.join(root, "wide.png")
                for name, content in {**files, "../wide.png": WIDE}.items():
                    with open(os.path.join(shaders, name), "wb" if isinstance(content, bytes) else "w") as out:
                        out.write(content)
                result = self.run_quorlin(*SIZE, *[a.replace("WIDE", wide) for a in args], "--output",
                                          os.path.join(root, "out.png"), shaders, display=self.display)
                lines = [re.escape(line).replace("DIR", re.escape(shaders)) if "[^" not in line else
                         line.replace("DIR", re.escape(shaders)) for line in expected.get("lines", [])]
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                self.assertRegex(result.stdout, "^" + re.escape(BANNER) + "".join(line + "\n" for line in lines) + "$")
                pixel = png(os.path.join(root, "out.png"))[1]
                for point, colour in expected.items():
                    if point != "lines":
                        self.assertLessEqual(max(abs(a - b) for a, b in zip(pixel(*point), colour + (255,))), 2,
                                             (point, pixel(*point), colour))


class Reload(Case):

    def test_saving_an_image_again_reloads_it(self):
        root = self.project(**{"Image.frag": shader("texture(pic, TexCoord) + texture(late, TexCoord)",
                                                    "sampler2D pic", "sampler2D late")})
        shaders = os.path.join(root, "Shaders")

        def save(name, data):
            with open(os.path.join(shaders, name + "~"), "wb") as out:
                out.write(data)
            os.rename(os.path.join(shaders, name + "~"), os.path.join(shaders, name))

        save("pic.png", picture((1, 1), [RED]))
        window = Window(self, self.display, "--watch", "--frames", "1000000", shaders, cwd=os.path.join(root, "build"))
        window.passes()  # the first damage may be the window's mapping, before the watch starts
        for name, data, colour, marker in [
                ("pic.png", picture((1, 1), [GREEN]), GREEN, "Reloaded"),
                ("pic.png", b"corrupt", GREEN, "Failed to load image %s/pic.png for pic: " % shaders),
                ("late.png", picture((1, 1), [BLUE]), (0, 255, 255), "Reloaded"),
        ]:
            count = window.output().count(marker)
            save(name, data)
            window.wait_for(lambda: window.output().count(marker) > count, marker)
            window.passes()
            self.assertEqual(window.pixel(400, 300), colour)
