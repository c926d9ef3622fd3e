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


def png_bytes(size, depth, kind, samples=None):
    """A PNG of colour type kind (0 grey, 4 grey and alpha, 2 RGB, 6 RGBA) from rows of samples, which
    PIL cannot write at 16 bits but for grey; without samples it announces its size and ends there."""
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
    header = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", *size, depth, kind, 0, 0, 0))
    rows = b"".join(b"\0" + struct.pack(">%d%s" % (len(row), "BH"[depth // 16]), *row) for row in samples or [])
    return header + (chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"") if samples else b"")


def shader(colour, *uniforms):
    return "in vec2 TexCoord;\n" + "".join("uniform %s;\n" % u for u in uniforms) + \
        "void main() { FragColor = %s; }\n" % colour


def columns(*values):
    """GLSL drawing values (vec4 expressions) in equal columns from the left, and the columns' centres."""
    pick = "".join("int(TexCoord.x * %d.0) == %d ? %s : " % (len(values), i, v) for i, v in enumerate(values[:-1]))
    return "(%s%s)" % (pick, values[-1]), [64 * (2 * i + 1) // (2 * len(values)) for i in range(len(values))]


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
WIDE = picture((40, 3), [(9, 9, 9)] * 120)
ORANGE, TEAL = (255, 128, 0), (51, 102, 153)
# Texels 1 and 2 of every 4 white: at the window's pixel centres, 4 texels apart, linear and nearest read
# white between them and mipmaps grey.
STRIPES = picture((256, 1), [255 * (k % 4 in (1, 2)) for k in range(256)], "L")
# twin reads fine.png too, in the bottom right, with the next word: through a sampler object.
FILTERS = shader("mix(TexCoord.x < 0.5 ? texture(fine, TexCoord) : texture(twin, TexCoord), texture(pic, TexCoord), "
                 "step(0.5, TexCoord.y))", "sampler2D pic", "sampler2D fine", "sampler2D twin")
WRAPS = {"repeat": (GREEN, BLUE), "mirror": (BLUE, GREEN), "clamp": (BLUE, BLUE)}
# pic in the bottom half, and twin, pic.png through a sampler object of the next word, upside down in the top one.
TWINS = shader("TexCoord.y < 0.5 ? texture(pic, TexCoord * 3.0 - 1.0) : texture(twin, vec2(TexCoord.x, 1.0 - "
               "TexCoord.y) * 3.0 - 1.0)", "sampler2D pic", "sampler2D twin")
UNITS = ("iChannel0", "iChannel1", "iChannel2", "iChannel3", "a", "b")
UNIT_SHADER, UNIT_X = columns(*["texelFetch(%s, ivec2(0), 0)" % name for name in UNITS])


def resolutions(kind):
    """A shader showing, as kind, a 40x3 picture's size by name and on channel 0 (times 5) and channel 3's
    render size, with z times 100; and its pixels."""
    scale, z = ("vec3(%d, %d, 100)", 100) if kind == "vec3" else ("vec2(%d, %d)", 0)
    drawn, xs = columns(*["vec4(%s * %s%s, 255) / 255.0" % (name, scale % (k, k), ", 0" * (not z)) for name, k in (
        ("wideResolution", 5), ("iChannelResolution[0]", 5), ("iChannelResolution[3]", 1))])
    return shader(drawn + " + 0.001 * (texture(wide, TexCoord) + texture(iChannel0, TexCoord))", "sampler2D wide",
                  "sampler2D iChannel0", kind + " wideResolution", kind + " iChannelResolution[4]"), \
        dict(zip([(x, 24) for x in xs], [(200, 15, z), (200, 15, z), (64, 48, z)]))


def layouts():
    """Grey, grey and alpha, RGB and RGBA at 8 and 16 bits in 2x1 pictures, and a shader showing the second
    pixel of each in a column, RGB in the top half and alpha in the bottom one: files and pixels."""
    files, names, expected = {}, [], []
    kinds = [(0, [60], (60, 60, 60, 255)), (4, [60, 200], (60, 60, 60, 200)), (2, [30, 90, 150], (30, 90, 150, 255)),
             (6, [30, 90, 150, 200], (30, 90, 150, 200))]
    for bits, (kind, samples, reads) in [(bits, k) for bits in (8, 16) for k in kinds]:
        one, name = 257 if bits == 16 else 1, "k%d_%d" % (kind, bits)  # a 16-bit v * 257 reads as v
        files[name + ".png"] = png_bytes((2, 1), bits, kind, [[250 * one] * len(samples) + [v * one for v in samples]])
        names.append(name)
        expected.append(reads)
    drawn, xs = columns(*["vec4(TexCoord.y > 0.5 ? texelFetch({0}, ivec2(1, 0), 0).rgb : texelFetch({0}, ivec2(1, 0), "
                          "0).aaa, 1)".format(name) for name in names])
    files["Image.frag"] = shader(drawn, *("sampler2D " + name for name in names))
    return files, {point: colour for x, reads in zip(xs, expected) for point, colour in [((x, 12), reads[:3]),
                                                                                          ((x, 36), reads[3:] * 3)]}


# Alpha added to the colour: the saved picture is opaque whatever the shader's alpha.
NOTHING = "vec4(0, 1, 0, 1) + vec4(%s, 0)" % " + ".join("texture(%s, TexCoord).rgb + texture(%s, TexCoord).a" % (s, s)
                                                         for s in "abcdefghi")
GOOD = png_bytes((2, 2), 8, 2, [[9] * 6] * 2)
BROKEN_DATA = GOOD[:GOOD.index(b"IDAT") + 4] + b"\xff\xff" + GOOD[GOOD.index(b"IDAT") + 6:]  # its zlib header
CUT = GOOD[:-20]  # in its pixel data
# (what, files beside the shipped ones, arguments, expected: "lines" printed after the banner; DIR in them and in
# the arguments is the shader directory, pixels at (x, y from the top) within 2 of exact)
RUNS = [
    ("upright, nearest", {"pic.png": picture((2, 2), CORNERS), "Image.frag": SHOW_PIC}, ["--sampler", "pic=nearest"],
     {(0, 0): RED, (63, 0): GREEN, (0, 47): BLUE, (63, 47): YELLOW, (16, 12): RED}),
    *[("%s, %s" % (sampling or "default: mipmapped trilinear", wrap), {"pic.png": picture((2, 2), CORNERS),
       "Image.frag": SHOW_PIC}, ["--sampler", "pic=" + sampling] if sampling else [],
       {point: bilinear(*point, wrap) for point in POINTS})
      for sampling, wrap in [("linear", "repeat"), ("linear,clamp", "clamp"), ("clamp", "clamp"), (None, "repeat")]],
    # Magnified corners tell nearest from the others, minified stripes mipmaps from the others.
    *[("filter " + (word or "by default"), {"pic.png": picture((2, 2), CORNERS), "fine.png": STRIPES,
       "Image.frag": FILTERS}, ["--texture", "twin=DIR/fine.png", *(["--sampler", "pic=" + word, "--sampler",
                                                                    "fine=" + word, "--sampler", "twin=" + other]
                                                                   if word else [])],
       {(16, 6): corner, (20, 36): (stripe,) * 3, (52, 36): (twin,) * 3})
      for word, other, corner, stripe, twin in [
          ("nearest", "linear", RED, 255, 255), ("linear", "mipmap", bilinear(16, 6, "repeat"), 255, 128),
          ("mipmap", "nearest", bilinear(16, 6, "repeat"), 128, 255),
          (None, None, bilinear(16, 6, "repeat"), 128, 128)]],
    # (16, 35) and (5, 43) sample the corners at about (-0.23, -0.22) and (-0.74, -0.72); (16, 12) and (5, 4) too.
    *[("wrap %s, and %s through a sampler object" % (wrap, other), {"pic.png": picture((2, 2), CORNERS),
       "Image.frag": TWINS}, ["--sampler", "pic=nearest," + wrap, "--texture", "twin=DIR/pic.png", "--sampler",
                              "twin=nearest," + other],
       dict(zip([(16, 35), (5, 43), (16, 12), (5, 4)], WRAPS[wrap] + WRAPS[other])))
      for wrap, other in [("repeat", "mirror"), ("mirror", "clamp"), ("clamp", "repeat")]],
    ("an image replaces channel 1 and pass B is not run", {"iChannel1.png": picture((2, 2), CORNERS),
     "BufferB.fs": "not GLSL", "Image.frag": shader("texture(iChannel1, TexCoord)", "sampler2D iChannel1")},
     ["--sampler", "iChannel1=nearest"], {(0, 0): RED, (63, 47): YELLOW}),
    ("images by name beside four channels, two of them images and two buffers, one buffer reading b",
     {"iChannel0.png": picture((1, 1), [RED]), "iChannel2.png": picture((1, 1), [BLUE]),
      "a.png": picture((1, 1), [YELLOW]), "b.png": picture((1, 1), [ORANGE]),
      "BufferB.fs": shader("texelFetch(b, ivec2(0), 0).bgra", "sampler2D b"), "BufferD.fs": shader(
          "vec4(0.2, 0.4, 0.6, 1)"), "Image.frag": shader(UNIT_SHADER, *("sampler2D " + name for name in UNITS))},
     [], {(x, 24): c for x, c in zip(UNIT_X, [RED, ORANGE[::-1], BLUE, TEAL, YELLOW, ORANGE])}),
    *[("NAMEResolution and iChannelResolution as " + kind, {"wide.png": WIDE, "Image.frag": resolutions(kind)[0]},
       ["--texture", "iChannel0=WIDE"], resolutions(kind)[1]) for kind in ("vec3", "vec2")],
    ("every layout at 8 and 16 bits expands to RGBA", layouts()[0], [], layouts()[1]),
    ("16-bit PNG and PGM grey keep their low byte, alpha 1", {"g.png": picture((1, 1), [32768], "I;16"),
     "p.pgm": b"P5\n1 1\n65535\n\x80\x00", "Image.frag": shader("vec4(fract(vec2(texture(g, TexCoord).g, texture("
                                                              "p, TexCoord).b) * 255.0), texture(p, TexCoord).a, 1)",
                                                              "sampler2D g", "sampler2D p")}, [],
     {(5, 5): (128, 128, 255)}),
    ("HDR keeps values above 1", {"h.hdr": b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n" + bytes(
        [192, 32, 96, 130]), "Image.frag": shader("texture(h, TexCoord) * 0.25", "sampler2D h")}, [],
     {(5, 5): (191, 32, 96)}),
    ("GIF: the first frame", {"f.gif": picture((1, 1), [(0, 0, 255)], kind="GIF"), "Image.frag": shader(
        "texture(f, TexCoord)", "sampler2D f")}, [], {(5, 5): BLUE}),
    ("missing, corrupt, broken after a good header, too large a side, too many bytes: transparent black and a line "
     "each", {"b.png": b"\x89PNG\r\n\x1a\nnot a picture", "c.png": png_bytes((20000, 20000), 8, 0),
              "d.png": png_bytes((12000, 12000), 16, 0), "e.png": BROKEN_DATA, "f.png": CUT,
              "g.png": png_bytes((20000, 1), 8, 0), "h.png": png_bytes((1, 20000), 8, 0),
              "i.png": png_bytes((16384, 1), 8, 0), "Image.frag": shader(NOTHING, *(
                  "sampler2D " + s for s in "abcdefghi"))},
     ["--texture", "typo=WIDE", "--sampler", "typo=nearest"],
     {"lines": ["No image for sampler a: give --texture a=FILE or put a.png in DIR",
                r"Failed to load image DIR/b.png for b: [^\n]+",
                "Failed to load image DIR/c.png for c: 20000x20000 pixels exceed 16384 a side (GL_MAX_TEXTURE_SIZE)",
                "Failed to load image DIR/d.png for d: 12000x12000 pixels decode to 1152000000 bytes, above 1 GiB",
                "Failed to load image DIR/e.png for e: bad zlib header",
                "Failed to load image DIR/f.png for f: outofdata",
                "Failed to load image DIR/g.png for g: 20000x1 pixels exceed 16384 a side (GL_MAX_TEXTURE_SIZE)",
                "Failed to load image DIR/h.png for h: 1x20000 pixels exceed 16384 a side (GL_MAX_TEXTURE_SIZE)",
                "Failed to load image DIR/i.png for i: stb_image cannot decode it",
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
                args = [a.replace("WIDE", wide).replace("DIR", shaders) for a in args]
                result = self.run_quorlin(*SIZE, *args, "--output", os.path.join(root, "out.png"), shaders,
                                          display=self.display)
                lines = [re.escape(line).replace("DIR", re.escape(shaders)) if "[^" not in line else
                         line.replace("DIR", re.escape(shaders)) for line in expected.get("lines", [])]
                self.assertEqual((result.returncode, result.stderr), (0, ""))
                saved = re.escape("Saved %s/out.png (64x48)\n" % root)
                self.assertRegex(result.stdout, "^" + re.escape(BANNER) + "".join(line + "\n" for line in lines) + saved + "$")
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
                ("pic.png", CUT, GREEN, "Failed to load image %s/pic.png for pic: outofdata" % shaders),
                ("late.png", CUT, GREEN, "Failed to load image %s/late.png for late: outofdata" % shaders),
                ("late.png", picture((1, 1), [BLUE]), (0, 255, 255), "Reloaded"),
        ]:
            count = window.output().count(marker)
            save(name, data)
            window.wait_for(lambda: window.output().count(marker) > count, marker)
            window.passes()
            self.assertEqual(window.pixel(400, 300), colour)
