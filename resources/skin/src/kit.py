"""The drawing kit every family of the skin uses.

A picture is drawn on a Canvas in screen pixels (floats allowed) at four times
its size and reduced by averaging, so edges are smooth without any renderer
but Pillow. `finish` turns the drawing into the RGB picture that is saved:
opaque pictures are laid on their matte colour; keyed pictures keep the key
colour exactly wherever nothing was drawn, and their edge pixels are blended
with white, the content area's colour, because that is where they are shown.
"""

import colorsys
import math
import struct

from PIL import Image, ImageDraw, ImageFont

SS = 4  # supersampling factor

# The colour key of every keyed picture: RGB(255, 0, 255), as the toolkit's
# transparent image buttons and `DrawBitmapTransparent` callers use it.
KEY = (255, 0, 255)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# The palette of the skin.
NAVY = (24, 64, 98)          # bars and frame
NAVY_LIGHT = (64, 110, 146)  # the bars' top highlight
NAVY_DARK = (12, 36, 58)     # separators
FOAM = (222, 238, 248)       # pressed pill of a bar button
SEA = (34, 136, 178)         # toggled state, accents
SAND = (244, 176, 66)        # new-alert bell, the lark's breast
CORAL = (226, 82, 64)        # new-alert dot
SELECT = (20, 74, 186)       # pressed icons, checked boxes: the selection blue

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"


def font(name, size_px, scale=SS):
    """A DejaVu face at a height in screen pixels, for a canvas (scale SS) or a plain picture (scale 1)."""
    return ImageFont.truetype(FONT_DIR + name + ".ttf", int(round(size_px * scale)))


def mix(a, b, t):
    """The colour t of the way from a to b."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def lighten(c, t):
    return mix(c, WHITE, t)


def darken(c, t):
    return mix(c, BLACK, t)


def hsl(h, s, l):
    """A colour from hue (degrees), saturation and lightness (0..1)."""
    r, g, b = colorsys.hls_to_rgb(h / 360.0, l, s)
    return (int(round(r * 255)), int(round(g * 255)), int(round(b * 255)))


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.img)

    # Coordinates are screen pixels; a pixel (x, y) covers [x, x+1) x [y, y+1).
    def _pts(self, pts):
        return [(x * SS, y * SS) for x, y in pts]

    @staticmethod
    def _c(colour):
        if len(colour) == 4:  # already RGBA: (0, 0, 0, 0) erases
            return tuple(colour)
        return tuple(colour) + (255,)

    def rect(self, x0, y0, x1, y1, fill):
        self.draw.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=self._c(fill))

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1.0):
        """A rounded rectangle covering [x0, x1) x [y0, y1); an outline lies inside it."""
        box = [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]
        if outline is None:
            self.draw.rounded_rectangle(box, radius=r * SS, fill=self._c(fill))
            return
        inset = width * SS
        inner = [box[0] + inset, box[1] + inset, box[2] - inset, box[3] - inset]
        if fill is not None:
            self.draw.rounded_rectangle(box, radius=r * SS, fill=self._c(outline))
            self.draw.rounded_rectangle(inner, radius=max(r - width, 0) * SS, fill=self._c(fill))
            return
        ring = self.layer()
        ring.draw.rounded_rectangle(box, radius=r * SS, fill=self._c(outline))
        ring.draw.rounded_rectangle(inner, radius=max(r - width, 0) * SS, fill=(0, 0, 0, 0))
        self.over(ring)

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        box = [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]
        if outline is None:
            self.draw.ellipse(box, fill=self._c(fill))
            return
        inset = width * SS
        inner = [box[0] + inset, box[1] + inset, box[2] - inset, box[3] - inset]
        if fill is not None:
            self.draw.ellipse(box, fill=self._c(outline))
            self.draw.ellipse(inner, fill=self._c(fill))
            return
        ring = self.layer()
        ring.draw.ellipse(box, fill=self._c(outline))
        ring.draw.ellipse(inner, fill=(0, 0, 0, 0))
        self.over(ring)

    def circle(self, cx, cy, r, fill=None, outline=None, width=1.0):
        self.ellipse(cx - r, cy - r, cx + r, cy + r, fill=fill, outline=outline, width=width)

    def polygon(self, pts, fill):
        self.draw.polygon(self._pts(pts), fill=self._c(fill))

    def line(self, pts, width, fill, cap=True):
        """A polyline with round joins and, when cap is set, round ends."""
        p = self._pts(pts)
        self.draw.line(p, fill=self._c(fill), width=max(1, int(round(width * SS))), joint="curve")
        if cap:
            r = width * SS / 2.0
            for x, y in (p[0], p[-1]):
                self.draw.ellipse([x - r, y - r, x + r, y + r], fill=self._c(fill))

    def arc(self, cx, cy, r, start, end, width, fill, cap=True):
        """An arc of radius r (to the middle of the stroke), angles in degrees, clockwise from 3 o'clock."""
        ro = (r + width / 2.0) * SS
        box = [cx * SS - ro, cy * SS - ro, cx * SS + ro, cy * SS + ro]
        self.draw.arc(box, start, end, fill=self._c(fill), width=max(1, int(round(width * SS))))
        if cap:
            rr = width * SS / 2.0
            for a in (start, end):
                x = (cx + r * math.cos(math.radians(a))) * SS
                y = (cy + r * math.sin(math.radians(a))) * SS
                self.draw.ellipse([x - rr, y - rr, x + rr, y + rr], fill=self._c(fill))

    def pieslice(self, x0, y0, x1, y1, start, end, fill):
        self.draw.pieslice([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], start, end, fill=self._c(fill))

    def text(self, x, y, s, face, fill, anchor="la"):
        self.draw.text((x * SS, y * SS), s, font=face, fill=self._c(fill), anchor=anchor)

    def text_width(self, s, face):
        return self.draw.textlength(s, font=face) / SS

    def vgradient(self, x0, y0, x1, y1, top, bottom, r=0):
        """A vertical gradient over a rectangle, or a rounded rectangle when r > 0."""
        w, h = int(round((x1 - x0) * SS)), int(round((y1 - y0) * SS))
        grad = Image.new("RGBA", (w, h))
        gd = ImageDraw.Draw(grad)
        for row in range(h):
            t = row / max(h - 1, 1)
            gd.line([(0, row), (w, row)], fill=mix(top, bottom, t) + (255,))
        mask = Image.new("L", (w, h), 0)
        ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], radius=r * SS, fill=255)
        self.img.paste(grad, (int(round(x0 * SS)), int(round(y0 * SS))), mask)

    def layer(self):
        """A transparent canvas of the same size, to be laid over this one with `over`."""
        return Canvas(self.w, self.h)

    def over(self, other, alpha=1.0):
        top = other.img
        if alpha < 1.0:
            a = top.getchannel("A").point(lambda v: int(v * alpha))
            top = top.copy()
            top.putalpha(a)
        self.img = Image.alpha_composite(self.img, top)
        self.draw = ImageDraw.Draw(self.img)

    def reduced(self):
        """The drawing at its real size, RGBA, averaged with premultiplied alpha."""
        return self.img.convert("RGBa").resize((self.w, self.h), Image.BOX).convert("RGBA")

    def finish(self, matte=None, key=False, key_threshold=56):
        """The picture to save (RGB): laid on `matte`, or keyed on KEY."""
        small = self.reduced()
        if not key:
            base = Image.new("RGBA", small.size, tuple(matte) + (255,))
            return Image.alpha_composite(base, small).convert("RGB")
        on_white = Image.alpha_composite(Image.new("RGBA", small.size, WHITE + (255,)), small).convert("RGB")
        alpha = small.getchannel("A")
        out = Image.new("RGB", small.size, KEY)
        out.paste(on_white, (0, 0), alpha.point(lambda v: 255 if v >= key_threshold else 0))
        return out


def to_palette(rgb, keyed, dither=False):
    """An RGB picture as a palette picture whose key colour (when keyed) is exact."""
    w, h = rgb.size
    colours = rgb.getcolors(maxcolors=w * h + 1)
    if len(colours) <= 256:
        # Exact: every colour keeps its value; order by count, then value, so output is stable.
        colours.sort(key=lambda c: (-c[0], c[1]))
        palette = [c[1] for c in colours]
        index = {c: i for i, c in enumerate(palette)}
        out = Image.new("P", (w, h))
        out.putpalette([v for c in palette for v in c])
        out.putdata([index[p] for p in rgb.getdata()])
        return out
    key_mask = None
    src = rgb
    if keyed:
        key_mask = Image.new("L", (w, h), 0)
        key_mask.putdata([255 if p == KEY else 0 for p in rgb.getdata()])
        src = rgb.copy()
        src.paste(WHITE, (0, 0, w, h), key_mask)
    n = 255 if keyed else 256
    q = src.quantize(colors=n, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    if dither:
        # quantize() dithers only against a given palette: map again with the one just made.
        q = src.quantize(palette=q, dither=Image.Dither.FLOYDSTEINBERG)
    pal = q.getpalette()[: n * 3]
    pal += [0] * (n * 3 - len(pal))
    if keyed:
        assert [pal[i:i + 3] for i in range(0, n * 3, 3)].count(list(KEY)) == 0
        pal += list(KEY)
        q.putpalette(pal)
        q.paste(255, (0, 0, w, h), key_mask)
    else:
        q.putpalette(pal)
    return q


def save_gif(rgb, path, keyed, dither=False):
    pic = to_palette(rgb, keyed, dither)
    pic.save(path, "GIF", optimize=False)
    check = Image.open(path).convert("RGB")
    if keyed:
        # The key survives the round trip exactly, and nothing else turned into it.
        src_key = [p == KEY for p in rgb.getdata()]
        out_key = [p == KEY for p in check.getdata()]
        assert src_key == out_key, path + ": key colour not exact"


def save_ico(pictures, path):
    """Writes a Windows icon file from RGBA pictures of different sizes (32-bit entries)."""
    entries, blobs = [], []
    for pic in pictures:
        w, h = pic.size
        rows = []
        px = pic.load()
        for y in range(h - 1, -1, -1):
            rows.append(b"".join(struct.pack("BBBB", px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3])
                                 for x in range(w)))
        stride = ((w + 31) // 32) * 4
        mask = []
        for y in range(h - 1, -1, -1):
            bits = bytearray(stride)
            for x in range(w):
                if px[x, y][3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask.append(bytes(bits))
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        blob = header + b"".join(rows) + b"".join(mask)
        blobs.append(blob)
        entries.append((w, h))
    out = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    for (w, h), blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def save_png(img, path):
    """A PNG with no time stamp or other varying chunk, so renderings compare equal."""
    img.save(path, "PNG", optimize=True)
