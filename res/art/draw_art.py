#!/usr/bin/python3
"""Draws the uninstaller's artwork into this folder (see README.md).

    /usr/bin/python3 res/art/draw_art.py [--preview OUT.png]

Same bytes on every run with the same Pillow and fonts.
"""
import hashlib
import io
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))


def load_font(names, px):
    """First of `names` found under /usr/share/fonts, or None."""
    for root, _, files in sorted(os.walk("/usr/share/fonts")):
        for n in names:
            if n in files:
                return ImageFont.truetype(os.path.join(root, n), px)
    return None


def rgb(h):
    return tuple(int(h[i:i + 2], 16) for i in (1, 3, 5))


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def vgradient(size, top, bottom, y0, y1):
    """RGBA image of `size`, `top` above row y0, `bottom` below y1, blended between."""
    col = Image.new("RGBA", (1, size[1]))
    for y in range(size[1]):
        col.putpixel((0, y), mix(top, bottom, min(1, max(0, (y - y0) / (y1 - y0)))) + (255,))
    return col.resize(size, Image.NEAREST)


def new_mask(size):
    return Image.new("L", size, 0)


def paint(base, mask, fill, opacity=1.0):
    """Composites `fill` (a colour or an RGBA image) onto `base` through `mask`."""
    if opacity != 1.0:
        mask = mask.point(lambda v: round(v * opacity))
    layer = fill.copy() if isinstance(fill, Image.Image) else Image.new("RGBA", base.size, fill)
    layer.putalpha(mask)
    base.alpha_composite(layer)


def dilate(mask, px):
    return mask.filter(ImageFilter.MaxFilter(2 * px + 1)) if px > 0 else mask


def rounded(mask, radius):
    """Rounds the corners of a hard-edged mask."""
    return mask.filter(ImageFilter.GaussianBlur(radius)).point(lambda v: 255 if v >= 128 else 0)


def shadow(base, mask, dx, dy, blur, colour, opacity):
    sh = new_mask(base.size)
    sh.paste(mask, (dx, dy))
    paint(base, sh.filter(ImageFilter.GaussianBlur(blur)), colour, opacity)


def bezier(p, t):
    u = 1 - t
    k = (u ** 3, 3 * u * u * t, 3 * u * t * t, t ** 3)
    return (sum(c * q[0] for c, q in zip(k, p)), sum(c * q[1] for c, q in zip(k, p)))


def arc_arrow(cx, cy, r, width, a0, a1, head, steps=64):
    """Polygon of a circular band from angle a0 to a1 (degrees, clockwise on
    screen, a1 > a0) ending in an arrowhead `head` long."""
    outer, inner = [], []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        outer.append((cx + (r + width / 2) * math.cos(a), cy + (r + width / 2) * math.sin(a)))
        inner.append((cx + (r - width / 2) * math.cos(a), cy + (r - width / 2) * math.sin(a)))
    a = math.radians(a1)
    ca, sa = math.cos(a), math.sin(a)
    bx, by, reach = cx + r * ca, cy + r * sa, width * 1.55
    return outer + [(bx + ca * reach, by + sa * reach), (bx - sa * head, by + ca * head),
                    (bx - ca * reach, by - sa * reach)] + inner[::-1]


def from_pixels(rows, colours):
    """RGBA image from a character map; a colour may be a function of the row."""
    img = Image.new("RGBA", (len(rows[0]), len(rows)), (0, 0, 0, 0))
    for y, line in enumerate(rows):
        for x, ch in enumerate(line):
            if ch != ".":
                c = colours[ch](y) if callable(colours[ch]) else colours[ch]
                img.putpixel((x, y), c if len(c) == 4 else c + (255,))
    return img


# ---------------------------------------------------------------- logo

LOGO_W, LOGO_H = 529, 250
S = 4  # supersampling factor


def draw_emblem(img):
    """Blue disc with a play triangle, crossed by a quill."""
    size = img.size
    cx, cy, R = 100 * S, 128 * S, 56 * S
    disc = lambda r: (cx - r, cy - r, cx + r, cy + r)

    m = new_mask(size)
    ImageDraw.Draw(m).ellipse(disc(R), 255)
    shadow(img, m, 2 * S, 4 * S, 2 * S, rgb("#1d3f6b"), 0.28)
    for r, fill in ((R + S, rgb("#7fa6d3")), (R, rgb("#fbfdff")), (R - 5 * S, None)):
        m = new_mask(size)
        ImageDraw.Draw(m).ellipse(disc(r), 255)
        paint(img, m, fill or vgradient(size, rgb("#4d9be3"), rgb("#173f80"), cy - r, cy + r))
    m = new_mask(size)  # gloss
    ImageDraw.Draw(m).ellipse((cx - 43 * S, cy - 48 * S, cx + 43 * S, cy + 6 * S), 255)
    paint(img, m, rgb("#ffffff"), 0.10)

    m = new_mask(size)
    ImageDraw.Draw(m).polygon([(cx - 8 * S, cy - 24 * S), (cx - 8 * S, cy + 24 * S), (cx + 32 * S, cy)], 255)
    m = rounded(m, 3 * S)
    shadow(img, m, S, 2 * S, 2 * S, rgb("#0b2348"), 0.35)
    paint(img, m, rgb("#ffffff"))

    # quill: nib at the lower left, plume leaving the disc at the upper right;
    # `wide` is the vane on the upper-left side, `narrow` the other one
    ctrl = ((cx - 40 * S, cy + 50 * S), (cx - 30 * S, cy + 16 * S),
            (cx - 2 * S, cy - 46 * S), (cx + 46 * S, cy - 80 * S))
    n = 160
    wide, narrow, spine = [], [], []
    for i in range(n + 1):
        t = i / n
        x, y = bezier(ctrl, t)
        xa, ya = bezier(ctrl, min(1, t + 0.01))
        xb, yb = bezier(ctrl, max(0, t - 0.01))
        ln = math.hypot(xa - xb, ya - yb)
        nx, ny = (ya - yb) / ln, (xb - xa) / ln
        shaft = 1.3 * S
        if t < 0.26:
            ww = wn = shaft * (0.4 + t / 0.26 * 0.6)
        else:
            u = (t - 0.26) / 0.74
            body = math.sin(math.pi * u ** 0.75)
            ww, wn = shaft + 15 * S * body, shaft + 9 * S * body
            if -0.05 < u - 0.5 < 0.012:  # small splits in the vanes
                ww *= 1 - 0.4 * (u - 0.45) / 0.062
            if -0.05 < u - 0.66 < 0.012:
                wn *= 1 - 0.45 * (u - 0.61) / 0.062
        wide.append((x + nx * ww, y + ny * ww))
        narrow.append((x - nx * wn, y - ny * wn))
        spine.append((x, y))
    feather = new_mask(size)
    ImageDraw.Draw(feather).polygon(wide + narrow[::-1], 255)
    paint(img, dilate(feather, S), rgb("#8a4706"))
    paint(img, feather, vgradient(size, rgb("#ffd27a"), rgb("#ee8a1c"), cy - 74 * S, cy + 30 * S))
    m = new_mask(size)
    half = [(sx + (wx - sx) * 0.55, sy + (wy - sy) * 0.55) for (sx, sy), (wx, wy) in zip(spine, wide)]
    ImageDraw.Draw(m).polygon(spine + half[::-1], 255)
    paint(img, m, rgb("#ffe6ad"), 0.45)
    ImageDraw.Draw(img).line(spine[n // 5:n * 97 // 100], fill=rgb("#a55708"), width=int(1.4 * S))
    m = new_mask(size)  # metal nib
    k = n * 12 // 100
    grow = lambda side: [(x + (ex - x) * 3.2, y + (ey - y) * 3.2) for (x, y), (ex, ey) in zip(spine[:k], side)]
    ImageDraw.Draw(m).polygon(grow(wide) + grow(narrow)[::-1], 255)
    paint(img, dilate(m, S // 2), rgb("#0e2747"))
    paint(img, m, rgb("#3b5f88"))


def draw_logo():
    size = W, H = LOGO_W * S, LOGO_H * S
    img = vgradient(size, rgb("#e4eef9"), rgb("#c9dcf1"), 0, 208 * S)
    d = ImageDraw.Draw(img)

    for k, (amp, y0, ph, col, op) in enumerate(((7, 178, 0.0, "#ffffff", 0.6), (8, 190, 1.3, "#b6cfeb", 0.8))):
        m = new_mask(size)
        pts = [(x * S, (y0 + amp * math.sin(x / 70 + ph)) * S) for x in range(-4, LOGO_W + 5, 2)]
        ImageDraw.Draw(m).line(pts, 255, width=int((2.2 - 0.4 * k) * S), joint="curve")
        paint(img, m, rgb(col), op)

    # lighter panel behind the language list (x 418.., y ..130)
    m = new_mask(size)
    ImageDraw.Draw(m).rounded_rectangle((418 * S, -9 * S, W + 9 * S, 130 * S), 9 * S, 255)
    shadow(img, m, -S, 2 * S, 3 * S, rgb("#46709e"), 0.22)
    paint(img, dilate(m, S), rgb("#aec7e3"))
    paint(img, m, vgradient(size, rgb("#fbfdff"), rgb("#eef4fb"), 0, 130 * S))

    # plain strip for the folder and version rows
    d.rectangle((0, 208 * S, W, H), fill=rgb("#f2f6fb"))
    d.rectangle((0, 208 * S, W, 209 * S - 1), fill=rgb("#a9c2de"))
    d.rectangle((0, 209 * S, W, 210 * S - 1), fill=rgb("#ffffff"))

    draw_emblem(img)

    x0, base_y = 176 * S, 132 * S
    big = load_font(("DejaVuSans-Bold.ttf", "DejaVuSansCondensed-Bold.ttf"), 60 * S)
    small = load_font(("DejaVuSans.ttf", "DejaVuSansCondensed.ttf"), 12 * S)
    name = Image.new("RGBA", size, (0, 0, 0, 0))
    nd = ImageDraw.Draw(name)
    if big is not None:
        while big.getlength("Quillmoor") > 226 * S:
            big = ImageFont.truetype(big.path, big.size - S // 2)
        nd.text((x0, base_y), "Quill", font=big, fill=rgb("#163c6e"), anchor="ls")
        nd.text((x0 + big.getlength("Quill"), base_y), "moor", font=big, fill=rgb("#2a78c8"), anchor="ls")
        right = x0 + big.getlength("Quillmoor")
    else:  # no TrueType font here: the built-in bitmap font, enlarged
        t = Image.new("L", (56, 12), 0)
        ImageDraw.Draw(t).text((1, 0), "Quillmoor", font=ImageFont.load_default(), fill=255)
        t = t.resize((56 * 4 * S, 12 * 4 * S), Image.NEAREST)
        name.paste(rgb("#163c6e"), (x0, base_y - 40 * S), t)
        right = x0 + 56 * 4 * S
    halo = Image.new("RGBA", size, (0, 0, 0, 0))
    halo.paste((255, 255, 255, 255), (0, S), name.getchannel("A"))
    img.alpha_composite(halo)
    img.alpha_composite(name)
    if small is not None:
        tag, gap, rule_y = "MEDIA PLAYER", 3.2 * S, base_y + 12 * S
        widths = [small.getlength(c) for c in tag]
        tx = right - sum(widths) - gap * (len(tag) - 1)
        d.rectangle((x0 + 2 * S, rule_y, tx - 8 * S, rule_y + S + S // 2), fill=rgb("#7aa3d1"))
        for c, cw in zip(tag, widths):
            d.text((tx, rule_y + 4 * S), c, font=small, fill=rgb("#3e6796"), anchor="lm")
            tx += cw + gap

    return img.resize((LOGO_W, LOGO_H), Image.BOX).convert("RGB")


def palette_form(img):
    """256-colour median-cut form of an opaque image: less than half the PNG
    bytes of the true-colour form, mean channel error about 0.3."""
    return img.quantize(256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


# ---------------------------------------------------------------- notice icon

NOTICE = (
    "................",
    "..aOOOOOOOOOOa..",
    ".aO##########Oa.",
    ".O#####WW#####O.",
    ".O#####WW#####O.",
    ".O#####WW#####O.",
    ".O#####WW#####O.",
    ".O############O.",
    ".O#####WW#####O.",
    ".O#####WW#####O.",
    ".aO##########Oa.",
    "..aO###OOOOOOa..",
    "...O##O.........",
    "..O##O..........",
    "..OOa...........",
    "................",
)


def draw_notice():
    return from_pixels(NOTICE, {
        "O": rgb("#ad4f08"), "a": rgb("#ad4f08") + (110,), "W": rgb("#ffffff"),
        "#": lambda y: mix(rgb("#ffce6e"), rgb("#f0780c"), min(1, max(0, (y - 2) / 10)))})


# ---------------------------------------------------------------- flags

FLAG_W, FLAG_H, FLAG_COUNT = 16, 11, 248
REAL_FLAGS = {190: "ru", 228: "ua", 231: "us", 133: "nl", 177: "pl"}
BANDS = {  # colour, rows
    "ru": (("#ffffff", 4), ("#1c47b4", 3), ("#d8262c", 4)),
    "nl": (("#c0212f", 4), ("#ffffff", 3), ("#21468b", 4)),
    "ua": (("#1f63c6", 6), ("#ffd21f", 5)),
    "pl": (("#ffffff", 6), ("#dc1f3c", 5)),
    "us": tuple(("#c8202f" if y % 2 == 0 else "#ffffff", 1) for y in range(FLAG_H)),
    None: (("#dfe2e7", 6), ("#cdd1d8", 5)),  # neutral placeholder
}


def flag_cell(kind):
    c = Image.new("RGB", (FLAG_W, FLAG_H))
    d = ImageDraw.Draw(c)
    y = 0
    for col, rows in BANDS[kind]:
        d.rectangle((0, y, FLAG_W - 1, y + rows - 1), fill=rgb(col))
        y += rows
    if kind == "us":
        d.rectangle((0, 0, 6, 5), fill=rgb("#2b3d86"))
        for y in range(1, 5):
            for x in range(1 + (y + 1) % 2, 7, 2):
                c.putpixel((x, y), rgb("#c9d3ef"))
    # darker one-pixel edge so the flag reads on light backgrounds, sheen below the top edge
    px = c.load()
    for y in range(FLAG_H):
        for x in range(FLAG_W):
            if x in (0, FLAG_W - 1) or y in (0, FLAG_H - 1):
                px[x, y] = tuple(round(v * 0.68) for v in px[x, y])
            elif y == 1:
                px[x, y] = mix(px[x, y], (255, 255, 255), 0.18)
    return c


def draw_flags():
    """The image list's strip: every cell opaque (alpha 255), stored as RGBA PNG."""
    strip = Image.new("RGBA", (FLAG_W * FLAG_COUNT, FLAG_H))
    for i in range(FLAG_COUNT):
        strip.paste(flag_cell(REAL_FLAGS.get(i)).convert("RGBA"), (i * FLAG_W, 0))
    return strip


# ---------------------------------------------------------------- main icon

ICON16 = (
    "......OOOO......",
    ".....O....O.....",
    ".OOOOOOOOOOOOOO.",
    ".OLLLLLLLLLLLLO.",
    ".OOOOOOOOOOOOOO.",
    "..ObbbbbbbbbbO..",
    "..ObbbGGGGbbbO..",
    "..ObbGGbbGGbbO..",
    "..ObGGbbGGGGbO..",
    "..ObbbbbbGGbbO..",
    "..ObbGGbbbbbbO..",
    "..ObGGGGbbGGbO..",
    "...ObGGbbGGbO...",
    "...ObbGGGGbbO...",
    "...ObbbbbbbbO...",
    "....OOOOOOOO....",
)


def draw_icon(size):
    """Light-blue waste bin with two green circling arrows; 16 px is hand-placed."""
    if size == 16:
        body = lambda y: mix(rgb("#d6eefe"), rgb("#86c5f0"), (y - 5) / 9)
        return from_pixels(ICON16, {"O": rgb("#22639e"), "L": rgb("#c4e6fc"), "b": body, "G": rgb("#1f8c2b")})
    W = size * 8
    u = W / 48  # the design grid is 48 units
    line = round(max(1, 48 / size * 0.9) * u)  # about one output pixel
    img = Image.new("RGBA", (W, W), (0, 0, 0, 0))
    blue = rgb("#22639e")

    body = new_mask((W, W))
    ImageDraw.Draw(body).polygon([(9 * u, 15.5 * u), (39 * u, 15.5 * u), (35.5 * u, 45.5 * u), (12.5 * u, 45.5 * u)], 255)
    body = rounded(body, 2.2 * u)
    paint(img, dilate(body, line), blue)
    paint(img, body, vgradient((W, W), rgb("#d4ecfd"), rgb("#7cc0ef"), 15.5 * u, 45.5 * u))
    for x_top, x_bot in ((16.5, 17.8), (24, 24), (31.5, 30.2)):  # ribs
        m = new_mask((W, W))
        ImageDraw.Draw(m).line([(x_top * u, 19 * u), (x_bot * u, 42 * u)], 255, width=round(1.6 * u))
        paint(img, m, rgb("#5aa6de"), 0.55)

    handle = new_mask((W, W))
    hd = ImageDraw.Draw(handle)
    hd.rounded_rectangle((18 * u, 4 * u, 30 * u, 11 * u), 2.6 * u, 255)
    hd.rounded_rectangle((21 * u, 6.6 * u, 27 * u, 11 * u), 1 * u, 0)
    paint(img, dilate(handle, line), blue)
    paint(img, handle, rgb("#9fd3f6"))
    lid = new_mask((W, W))
    ImageDraw.Draw(lid).rounded_rectangle((5.5 * u, 9.5 * u, 42.5 * u, 15.5 * u), 2.4 * u, 255)
    paint(img, dilate(lid, line), blue)
    paint(img, lid, vgradient((W, W), rgb("#e6f5ff"), rgb("#8ccaf2"), 9.5 * u, 15.5 * u))

    cx, cy = 24 * u, 31 * u
    r, width, head = (8.6 * u, 3.6 * u, 5.2 * u) if size > 32 else (10 * u, 3.9 * u, 5.6 * u)
    arrows = new_mask((W, W))
    ad = ImageDraw.Draw(arrows)
    ad.polygon(arc_arrow(cx, cy, r, width, 200, 330, head), 255)
    ad.polygon(arc_arrow(cx, cy, r, width, 20, 150, head), 255)
    paint(img, dilate(arrows, line if size > 32 else round(line * 0.7)), rgb("#145a1e" if size > 32 else "#1d6e27"))
    paint(img, arrows, vgradient((W, W), rgb("#7fdc62"), rgb("#2c9a36"), cy - r, cy + r))
    return img.resize((size, size), Image.BOX)


def to_palette(rgba):
    """256-colour form: (palette, indices, opaque flags). Index 0 is black and
    marks transparent pixels; the rest is a median-cut palette of the opaque ones."""
    px = list(rgba.getdata())
    opaque = [p[3] >= 128 for p in px]
    first = next(p[:3] for p, o in zip(px, opaque) if o)
    solid = Image.new("RGB", rgba.size)
    solid.putdata([p[:3] if o else first for p, o in zip(px, opaque)])
    q = solid.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    pal = (q.getpalette()[:765] + [0] * 765)[:765]
    palette = [(0, 0, 0)] + [tuple(pal[i:i + 3]) for i in range(0, 765, 3)]
    return palette, [i + 1 if o else 0 for i, o in zip(q.getdata(), opaque)], opaque


def icon_dib(rgba, bpp):
    """BITMAPINFOHEADER (double height), palette, XOR bits and AND mask, bottom-up."""
    w, h = rgba.size
    if bpp == 32:
        px = list(rgba.getdata())
        opaque = [p[3] >= 128 for p in px]
        pal = b""
        xor = b"".join(bytes((b, g, r, a)) if a else bytes(4) for r, g, b, a in px)
        rows = [xor[y * w * 4:(y + 1) * w * 4] for y in range(h)]
    else:
        palette, idx, opaque = to_palette(rgba)
        pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        rows = [bytes(idx[y * w:(y + 1) * w]) + bytes(-w % 4) for y in range(h)]
    and_stride = (w + 31) // 32 * 4
    mask = []
    for y in range(h):
        row = bytearray(and_stride)
        for x in range(w):
            if not opaque[y * w + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask.append(bytes(row))
    bits = b"".join(rows[::-1]) + b"".join(mask[::-1])
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(bits), 0, 0, 256 if bpp == 8 else 0, 0)
    return info + pal + bits


PNG_ICON_MIN = 32  # 32-bit images this wide and wider are stored as PNG (read by Vista and later)


def png_bytes(img):
    out = io.BytesIO()
    img.save(out, "PNG", optimize=True)
    return out.getvalue()


def ico_bytes(images):
    """A whole .ico from (rgba, bpp) pairs."""
    head, blobs = [struct.pack("<HHH", 0, 1, len(images))], []
    offset = 6 + 16 * len(images)
    for rgba, bpp in images:
        dib = png_bytes(rgba) if bpp == 32 and rgba.width >= PNG_ICON_MIN else icon_dib(rgba, bpp)
        head.append(struct.pack("<BBBBHHII", rgba.width % 256, rgba.height % 256, 0, 0, 1, bpp, len(dib), offset))
        blobs.append(dib)
        offset += len(dib)
    return b"".join(head + blobs)


def check_ico(data, sources):
    """Parses the .ico back, decodes every image and compares it with its source."""
    assert struct.unpack_from("<HHH", data) == (0, 1, len(sources)), "bad ICONDIR"
    lines = []
    for i, (src, src_bpp) in enumerate(sources):
        w, h, colours, _, planes, bpp, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if data[off:off + 8] == b"\x89PNG\r\n\x1a\n":
            with Image.open(io.BytesIO(data[off:off + size])) as im:
                assert im.mode == "RGBA" and im.size == (w, h) == src.size and bpp == src_bpp == 32
                assert im.tobytes() == src.tobytes()
            lines.append("  %2dx%-2d %2d bpp %5d bytes, PNG, exact" % (w, h, bpp, size))
            continue
        hdr = struct.unpack_from("<IiiHHI", data, off)
        assert hdr == (40, w, 2 * h, 1, bpp, 0) and (planes, colours) == (1, 0)
        assert src.size == (w, h) and src_bpp == bpp and off + size <= len(data)
        p = off + 40 + (1024 if bpp == 8 else 0)
        stride, and_stride = (w * bpp + 31) // 32 * 4, (w + 31) // 32 * 4
        assert p - off + (stride + and_stride) * h == size
        worst = 0
        for y in range(h):
            row, mrow = p + (h - 1 - y) * stride, p + stride * h + (h - 1 - y) * and_stride
            for x in range(w):
                clear = data[mrow + x // 8] & (0x80 >> (x % 8))
                sr, sg, sb, sa = src.getpixel((x, y))
                assert bool(clear) == (sa < 128)
                if bpp == 32:
                    b, g, r, a = data[row + 4 * x:row + 4 * x + 4]
                    assert a == sa
                elif not clear:
                    b, g, r, a = data[off + 40 + 4 * data[row + x]:][:4]
                if not clear:
                    worst = max(worst, abs(r - sr), abs(g - sg), abs(b - sb))
        lines.append("  %2dx%-2d %2d bpp %5d bytes, largest colour error %d" % (w, h, bpp, size, worst))
    return lines


# ---------------------------------------------------------------- preview


def preview(path, logo, notice, flags, icons):
    """Mock-up of the panel with its labels, flags and icons enlarged (not shipped)."""
    out = Image.new("RGB", (1150, 560), (236, 236, 236))
    mock = logo.convert("RGBA")
    font = load_font(("DejaVuSans-Bold.ttf",), 11) or ImageFont.load_default()
    d = ImageDraw.Draw(mock)
    mock.alpha_composite(notice, (11, 16))
    d.text((36, 17), "www.quillmoor.example", font=font, fill=(0, 0, 0))
    cells = [flags.crop((i * 16, 0, i * 16 + 16, 11)) for i in (190, 228, 231, 133, 177, 0)]
    for row, name in enumerate(("Русский", "Український", "English", "Nederlands", "Polski")):
        mock.paste(cells[row], (428, 18 + 22 * row))
        d.text((450, 18 + 21 * row + (row > 0)), name, font=font, fill=(0, 0, 0))
    d.text((8, 215), "Folder:", font=font, fill=(0, 0, 0))
    d.text((8, 231), "C:\\Program Files\\Quillmoor", font=font, fill=(0, 128, 128))
    d.text((523, 231), "1.0.0.0", font=font, fill=(0, 128, 128), anchor="ra")
    out.paste(logo, (10, 10))
    out.paste(mock.convert("RGB"), (560, 10))
    big = notice.resize((128, 128), Image.NEAREST)
    out.paste(big, (10, 275), big)
    out.paste(notice, (150, 275), notice)
    for j, cell in enumerate(cells):
        out.paste(cell.resize((64, 44), Image.NEAREST), (200 + j * 74, 275))
        out.paste(cell, (200 + j * 74, 325))
    for j, img in enumerate(icons):  # 256-colour images left, 32-bit right
        x = 10 + (j % 3) * 190 + (j // 3) * 560
        big = img.resize((128, 128), Image.NEAREST)
        out.paste(big, (x, 420), big)
        dark = Image.new("RGB", img.size, (45, 45, 48))
        dark.paste(img, (0, 0), img)
        out.paste(img, (x + 132, 420), img)
        out.paste(dark, (x + 132, 476))
    out.save(path)


# ---------------------------------------------------------------- main


def main(argv):
    at = lambda name: os.path.join(HERE, name)
    logo = draw_logo()
    palette_form(logo).save(at("logo.png"), optimize=True)
    notice = draw_notice()
    notice.save(at("notice.png"), optimize=True)
    draw_flags().save(at("flags.png"), optimize=True)
    images = [(draw_icon(s), bpp) for bpp in (8, 32) for s in (16, 32, 48)]
    ico = ico_bytes(images)
    with open(at("mainicon.ico"), "wb") as f:
        f.write(ico)

    # read everything back
    with Image.open(at("logo.png")) as im:
        assert (im.mode, im.size) == ("P", (LOGO_W, LOGO_H)) and "transparency" not in im.info
    with Image.open(at("notice.png")) as im:
        assert (im.mode, im.size) == ("RGBA", (16, 16)) and im.getpixel((0, 0))[3] == 0
    with Image.open(at("flags.png")) as im:
        assert im.mode == "RGBA" and im.getextrema()[3] == (255, 255)
        flags = im.convert("RGB")
    assert flags.size == (FLAG_W * FLAG_COUNT, FLAG_H)
    for i, kind in REAL_FLAGS.items():
        assert flags.crop((i * FLAG_W, 0, (i + 1) * FLAG_W, FLAG_H)).tobytes() == flag_cell(kind).tobytes()
    print("mainicon.ico: %d images" % len(images))
    print("\n".join(check_ico(ico, images)))
    for name in ("logo.png", "notice.png", "flags.png", "mainicon.ico"):
        with open(at(name), "rb") as f:
            blob = f.read()
        print("%-13s %7d bytes  sha256 %s" % (name, len(blob), hashlib.sha256(blob).hexdigest()[:16]))

    if len(argv) == 3 and argv[1] == "--preview":
        shown = []
        for img, bpp in images:  # the 256-colour images as stored
            if bpp == 8:
                palette, idx, opaque = to_palette(img)
                img = Image.new("RGBA", img.size)
                img.putdata([palette[i] + (255 * o,) for i, o in zip(idx, opaque)])
            shown.append(img)
        preview(argv[2], logo, notice, flags, shown)
        print("preview:", argv[2])


if __name__ == "__main__":
    main(sys.argv)
