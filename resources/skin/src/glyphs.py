"""Pictograms on a 24-unit grid, shared by the bar buttons, the icons and the lists.

A glyph is a function of one Pen. It draws in the pen's colour and may cut
holes with the pen's `erase_*` calls, so a glyph is always drawn on a layer of
its own and laid over its background afterwards. `pen.sw` is the stroke width
in grid units: the families thicken it for small sizes.
"""

import math

from kit import Canvas


class Pen:
    def __init__(self, layer, x, y, size, colour, sw=2.0):
        self.c = layer
        self.x, self.y, self.k = x, y, size / 24.0
        self.colour, self.sw = colour, sw

    # Grid units to layer pixels.
    def P(self, u, v):
        return (self.x + u * self.k, self.y + v * self.k)

    def _w(self, w):
        return (self.sw if w is None else w) * self.k

    def line(self, *pts, w=None, erase=False, cap=True):
        self.c.line([self.P(u, v) for u, v in pts], self._w(w), self._col(erase), cap=cap)

    def poly(self, *pts, erase=False):
        self.c.polygon([self.P(u, v) for u, v in pts], self._col(erase))

    def circle(self, u, v, r, fill=True, w=None, erase=False):
        x, y = self.P(u, v)
        if fill:
            self.c.circle(x, y, r * self.k, fill=self._col(erase))
        else:
            self.c.arc(x, y, r * self.k, 0, 360, self._w(w), self._col(erase), cap=False)

    def ellipse(self, u0, v0, u1, v1, erase=False):
        x0, y0 = self.P(u0, v0)
        x1, y1 = self.P(u1, v1)
        self.c.ellipse(x0, y0, x1, y1, fill=self._col(erase))

    def arc(self, u, v, r, a0, a1, w=None, erase=False, cap=True):
        x, y = self.P(u, v)
        self.c.arc(x, y, r * self.k, a0, a1, self._w(w), self._col(erase), cap=cap)

    def rrect(self, u0, v0, u1, v1, r, fill=True, w=None, erase=False):
        x0, y0 = self.P(u0, v0)
        x1, y1 = self.P(u1, v1)
        if fill:
            self.c.rrect(x0, y0, x1, y1, r * self.k, fill=self._col(erase))
        else:
            self.c.rrect(x0, y0, x1, y1, r * self.k, outline=self._col(erase), width=self._w(w))

    def pieslice(self, u0, v0, u1, v1, a0, a1, erase=False):
        x0, y0 = self.P(u0, v0)
        x1, y1 = self.P(u1, v1)
        self.c.pieslice(x0, y0, x1, y1, a0, a1, self._col(erase))

    def arrowhead(self, u, v, angle, size):
        """A filled triangle whose tip is at (u, v), pointing at `angle` degrees."""
        a = math.radians(angle)
        dx, dy = math.cos(a), math.sin(a)
        nx, ny = -dy, dx
        bu, bv = u - dx * size, v - dy * size
        self.poly((u, v), (bu + nx * size * 0.8, bv + ny * size * 0.8), (bu - nx * size * 0.8, bv - ny * size * 0.8))

    def _col(self, erase):
        return (0, 0, 0, 0) if erase else self.colour


def _thick(u0, v0, u1, v1, w):
    """The four corners of a bar of width w from (u0, v0) to (u1, v1)."""
    dx, dy = u1 - u0, v1 - v0
    n = math.hypot(dx, dy)
    nx, ny = -dy / n * w / 2, dx / n * w / 2
    return [(u0 + nx, v0 + ny), (u1 + nx, v1 + ny), (u1 - nx, v1 - ny), (u0 - nx, v0 - ny)]


# --- bars and shared -------------------------------------------------------

def channels(p):
    for v in (5.5, 12, 18.5):
        p.rrect(3, v - 2.2, 7.4, v + 2.2, 1.2)
        p.line((10.5, v), (20.5, v))


def plus(p):
    p.line((12, 4.5), (12, 19.5), w=p.sw * 1.2)
    p.line((4.5, 12), (19.5, 12), w=p.sw * 1.2)


def bell(p):
    pts = [(12, 3.4), (9.2, 4.3), (7.4, 6.4), (6.7, 9.4), (6.5, 12.8), (5.8, 15.0), (3.9, 16.8), (3.9, 18.0)]
    p.poly(*(pts + [(24 - u, v) for u, v in reversed(pts)]))
    p.circle(12, 3.4, 1.5)
    p.pieslice(9.6, 17.2, 14.4, 22.0, 0, 180)


def gear(p):
    for i in range(8):
        a = math.radians(i * 45 + 22.5)
        c, s = math.cos(a), math.sin(a)
        p.poly(*[(12 + c * r - s * t, 12 + s * r + c * t) for r, t in ((6, -2.0), (10, -1.5), (10, 1.5), (6, 2.0))])
    p.circle(12, 12, 7.2)
    p.circle(12, 12, 3.0, erase=True)


def sync(p):
    r = 7.2
    p.arc(12, 12, r, 200, 318, cap=False)
    p.arc(12, 12, r, 20, 138, cap=False)
    for a in (318, 138):
        t = math.radians(a)
        u, v = 12 + r * math.cos(t), 12 + r * math.sin(t)
        p.arrowhead(u + 3.4 * -math.sin(t), v + 3.4 * math.cos(t), a + 90, 4.4)


def question(p):
    p.circle(12, 12, 9.6, fill=False)
    p.arc(12, 9.6, 3.3, 185, 395)
    t = math.radians(395)
    p.line((12 + 3.3 * math.cos(t), 9.6 + 3.3 * math.sin(t)), (12, 13.2), (12, 14.2))
    p.circle(12, 17.6, 1.45)


def back(p):
    p.line((19.5, 12), (5.5, 12), w=p.sw * 1.15)
    p.line((11.5, 5.5), (5, 12), (11.5, 18.5), w=p.sw * 1.15)


def forward(p):
    p.line((4.5, 12), (18.5, 12), w=p.sw * 1.15)
    p.line((12.5, 5.5), (19, 12), (12.5, 18.5), w=p.sw * 1.15)


def keyboard(p):
    p.rrect(1.5, 5.5, 22.5, 18.5, 2.5)
    for row, v in enumerate((8.3, 11.3)):
        for i in range(6):
            u = 4.0 + i * 3.2 + (0.8 if row else 0)
            if u + 1.8 > 21:
                continue
            p.rrect(u, v, u + 1.9, v + 1.9, 0.4, erase=True)
    p.rrect(7, 14.4, 17, 16.2, 0.5, erase=True)


def wrench(p):
    p.poly(*_thick(5, 19, 13.5, 10.5, 4.2))
    p.circle(5, 19, 2.1)
    p.circle(15.8, 8.2, 5.6)
    p.circle(18.6, 5.4, 3.0, erase=True)
    p.poly(*_thick(15.8, 8.2, 20.5, 3.5, 3.4), erase=True)
    p.circle(5.2, 18.8, 0.9, erase=True)


# --- options, help and tools ----------------------------------------------

def feed(p):
    p.circle(6, 18, 2.4)
    p.arc(5, 19, 7.2, 270, 360, w=p.sw * 1.25)
    p.arc(5, 19, 13.0, 270, 360, w=p.sw * 1.25)


def _badge(p, glyph, erase_r=6.6):
    """A small glyph in the bottom-right corner, cut free of the main glyph."""
    p.circle(18.2, 18.2, erase_r, erase=True)
    q = Pen(p.c, 0, 0, 1, p.colour, p.sw)
    q.x, q.y = p.P(18.2 - 5.6, 18.2 - 5.6)
    q.k = p.k * 11.2 / 24.0
    q.sw = p.sw * 1.9
    glyph(q)


def feed_add(p):
    feed(p)
    _badge(p, plus)


def trash(p):
    p.line((3.5, 6.5), (20.5, 6.5))
    p.line((9, 6), (9.5, 3.2), (14.5, 3.2), (15, 6), cap=False)
    p.poly((5.6, 8.6), (18.4, 8.6), (17.2, 21.2), (6.8, 21.2))
    p.line((10, 11.5), (10.3, 18.4), w=p.sw * 0.8, erase=True)
    p.line((14, 11.5), (13.7, 18.4), w=p.sw * 0.8, erase=True)


def bell_settings(p):
    bell(p)
    _badge(p, gear)


def sync_settings(p):
    sync(p)
    _badge(p, gear)


def share(p):
    p.line((17.5, 5.5), (6.5, 12), (17.5, 18.5), w=p.sw * 0.9)
    for u, v in ((17.5, 5.5), (6.5, 12), (17.5, 18.5)):
        p.circle(u, v, 3.2)


def share_settings(p):
    share(p)
    _badge(p, gear)


def faq(p):
    p.rrect(2.5, 3.5, 21.5, 17.5, 4.5)
    p.poly((6.5, 16), (6.5, 21.8), (12.5, 16))
    p.arc(12, 8.6, 2.8, 185, 395, w=p.sw * 0.95, erase=True)
    t = math.radians(395)
    p.line((12 + 2.8 * math.cos(t), 8.6 + 2.8 * math.sin(t)), (12, 11.6), (12, 12.2), w=p.sw * 0.95, erase=True)
    p.circle(12, 14.9, 1.25, erase=True)


def book(p):
    p.poly((2.2, 5.2), (11.2, 6.8), (11.2, 20.6), (2.2, 19.0))
    p.poly((12.8, 6.8), (21.8, 5.2), (21.8, 19.0), (12.8, 20.6))
    for v in (9.4, 12.4, 15.4):
        p.line((4.6, v), (8.8, v + 0.75), w=p.sw * 0.6, erase=True)
        p.line((15.2, v + 0.75), (19.4, v), w=p.sw * 0.6, erase=True)


def info(p):
    p.circle(12, 12, 10)
    p.circle(12, 6.9, 1.75, erase=True)
    p.rrect(10.6, 10, 13.4, 18.2, 0.4, erase=True)
    p.rrect(9.2, 10, 13.4, 11.4, 0.3, erase=True)
    p.rrect(9.2, 16.8, 14.8, 18.2, 0.3, erase=True)


def display(p):
    for u, v in ((3, 3), (13, 3), (3, 13), (13, 13)):
        p.rrect(u, v, u + 8, v + 8, 1.8)


def signal(p):
    for i, top in enumerate((15, 11, 7, 3)):
        u = 3 + i * 5
        p.rrect(u, top, u + 3.4, 21, 0.8)


def outbox(p):
    p.line((3.5, 13), (3.5, 20.5), (20.5, 20.5), (20.5, 13))
    p.line((12, 16), (12, 4))
    p.line((7.2, 8.6), (12, 3.8), (16.8, 8.6))


def star(p):
    pts = []
    for i in range(10):
        r = 10.6 if i % 2 == 0 else 4.4
        a = math.radians(-90 + i * 36)
        pts.append((12 + r * math.cos(a), 12.8 + r * math.sin(a)))
    p.poly(*pts)


def import_file(p):
    p.poly((4.5, 2.5), (14, 2.5), (19.5, 8), (19.5, 21.5), (4.5, 21.5))
    p.poly((14, 2.5), (14, 8), (19.5, 8), erase=True)
    p.poly((15.2, 2.5), (19.5, 6.8), (19.5, 2.5), erase=True)
    p.poly((14.6, 3.2), (14.6, 7.4), (18.8, 7.4))
    p.line((12, 9.5), (12, 17.5), w=p.sw * 0.9, erase=True)
    p.line((8.6, 14.4), (12, 17.8), (15.4, 14.4), w=p.sw * 0.9, erase=True)


def envelope(p):
    p.rrect(2.5, 5, 21.5, 19, 1.8)
    p.line((3.4, 6.2), (12, 12.8), (20.6, 6.2), w=p.sw * 0.75, erase=True)


# --- channel topics ---------------------------------------------------------

def newspaper(p):
    p.rrect(2.5, 3.5, 21.5, 20.5, 1.8)
    p.rrect(5.2, 6.4, 11.4, 12.2, 0.6, erase=True)
    for v, u0 in ((7.2, 13.4), (10.4, 13.4), (14.4, 5.2), (17.4, 5.2)):
        p.line((u0, v), (18.8, v), w=p.sw * 0.7, erase=True)


def globe(p):
    p.circle(12, 12, 10)
    w = p.sw * 0.65
    p.ellipse(7.6, 2.4, 16.4, 21.6, erase=True)
    p.ellipse(7.6 + w, 2.4 - 1, 16.4 - w, 21.6 + 1)
    p.line((2, 12), (22, 12), w=w, erase=True, cap=False)
    p.line((3.6, 7.2), (20.4, 7.2), w=w, erase=True, cap=False)
    p.line((3.6, 16.8), (20.4, 16.8), w=w, erase=True, cap=False)
    p.line((12, 2), (12, 22), w=w, erase=True, cap=False)


def chip(p):
    p.rrect(5.5, 5.5, 18.5, 18.5, 1.6)
    p.rrect(8.8, 8.8, 15.2, 15.2, 0.8, erase=True)
    for t in (8.6, 12, 15.4):
        p.line((t, 2.2), (t, 5.5), w=p.sw * 0.7, cap=False)
        p.line((t, 18.5), (t, 21.8), w=p.sw * 0.7, cap=False)
        p.line((2.2, t), (5.5, t), w=p.sw * 0.7, cap=False)
        p.line((18.5, t), (21.8, t), w=p.sw * 0.7, cap=False)


def flask(p):
    p.poly((9.6, 2.6), (14.4, 2.6), (14.4, 9.2), (20.4, 19.2), (19.2, 21.4), (4.8, 21.4), (3.6, 19.2),
           (9.6, 9.2))
    p.poly((11.2, 4.2), (12.8, 4.2), (12.8, 9.6), (15.1, 13.4), (8.9, 13.4), (11.2, 9.6), erase=True)
    p.circle(10.2, 17.2, 1.1, erase=True)
    p.circle(14.2, 15.6, 0.8, erase=True)


def chart(p):
    for u, top in ((3.2, 13.5), (9.6, 9), (16, 4)):
        p.rrect(u, top, u + 4.8, 19.6, 0.7)
    p.line((2.4, 21.4), (21.6, 21.4), w=p.sw * 0.8)


def clapper(p):
    p.rrect(2.8, 9.4, 21.2, 21.2, 1.4)
    p.poly((2.6, 5.6), (20.2, 2.2), (21.0, 6.2), (3.4, 9.6))
    for i in range(4):
        u = 6.2 + i * 4.2
        p.poly((u, 4.9 - i * 0.8), (u + 2.0, 4.5 - i * 0.8), (u + 0.6, 8.9 - i * 0.8), (u - 1.4, 9.3 - i * 0.8),
               erase=True)


def weather(p):
    p.circle(9, 9, 3.8)
    for i in range(8):
        a = math.radians(i * 45)
        p.line((9 + 5.6 * math.cos(a), 9 + 5.6 * math.sin(a)), (9 + 7.4 * math.cos(a), 9 + 7.4 * math.sin(a)),
               w=p.sw * 0.75)
    # The cloud, cut free of the sun first.
    for erase, grow in ((True, 1.6), (False, 0)):
        p.circle(11.6, 16.6, 3.6 + grow, erase=erase)
        p.circle(16.2, 13.8, 4.8 + grow, erase=erase)
        p.circle(20.0, 17.2, 3.0 + grow, erase=erase)
        p.rrect(11.6 - grow, 16.4 - grow, 20.6 + grow, 20.2 + grow, 1.6, erase=erase)


def notes(p):
    p.ellipse(3.2, 15.6, 9.6, 20.6)
    p.ellipse(13.2, 13.6, 19.6, 18.6)
    p.line((8.8, 18), (8.8, 5.8), w=p.sw * 0.9, cap=False)
    p.line((18.8, 16), (18.8, 3.8), w=p.sw * 0.9, cap=False)
    p.poly((8.0, 5.2), (19.6, 2.8), (19.6, 6.8), (8.0, 9.2))


def gamepad(p):
    p.rrect(1.8, 6.8, 22.2, 18.4, 5.6)
    p.circle(5.6, 17.2, 3.4)
    p.circle(18.4, 17.2, 3.4)
    p.rrect(5.0, 11.6, 10.6, 13.6, 0.3, erase=True)
    p.rrect(6.8, 9.8, 8.8, 15.4, 0.3, erase=True)
    p.circle(15.6, 11.2, 1.35, erase=True)
    p.circle(18.4, 13.8, 1.35, erase=True)


def car(p):
    p.poly((2.2, 16), (2.2, 12.2), (5.4, 11.2), (8.2, 6.8), (15.8, 6.8), (18.8, 11.0), (21.6, 12.0), (21.8, 16))
    p.poly((9.3, 8.5), (11.5, 8.5), (11.5, 11.0), (7.6, 11.0), erase=True)
    p.poly((13.0, 8.5), (15.0, 8.5), (16.8, 11.0), (13.0, 11.0), erase=True)
    for u in (7, 17):
        p.circle(u, 16.6, 3.9, erase=True)
        p.circle(u, 16.6, 2.8)


def handheld(p):
    p.rrect(5.5, 2.2, 18.5, 21.8, 2.4)
    p.rrect(7.7, 4.6, 16.3, 14.2, 0.5, erase=True)
    p.circle(12, 18, 1.6, erase=True)


def forum(p):
    p.rrect(1.8, 2.6, 15.2, 12.4, 3.2)
    p.poly((4.4, 11.4), (3.8, 15.6), (8.6, 11.4))
    p.rrect(7.6, 8.0, 22.6, 18.6, 3.6, erase=True)
    p.rrect(9.0, 9.4, 22.2, 18.2, 3.2)
    p.poly((16.6, 17.2), (20.2, 21.6), (19.8, 17.2))


def pencil(p):
    body = _thick(6.0, 18.0, 18.2, 5.8, 5.4)
    p.poly(*body)
    p.poly(body[0], body[3], (3.0, 21.0))
    p.poly(*_thick(6.6, 17.4, 7.8, 16.2, 7), erase=True)
    p.poly(*_thick(15.4, 8.6, 16.0, 8.0, 7), erase=True)


GLYPHS = {
    "channels": channels, "plus": plus, "bell": bell, "gear": gear, "sync": sync,
    "question": question, "back": back, "forward": forward, "keyboard": keyboard, "wrench": wrench,
    "feed": feed, "feed_add": feed_add, "trash": trash, "bell_settings": bell_settings,
    "sync_settings": sync_settings, "share": share, "share_settings": share_settings, "faq": faq,
    "book": book, "info": info, "display": display, "signal": signal, "outbox": outbox, "star": star,
    "import_file": import_file, "envelope": envelope, "newspaper": newspaper, "globe": globe, "chip": chip,
    "flask": flask, "chart": chart, "clapper": clapper, "weather": weather, "notes": notes,
    "gamepad": gamepad, "car": car, "handheld": handheld, "forum": forum, "pencil": pencil,
}


def glyph_layer(w, h, glyph, x, y, size, colour, sw=2.0):
    """A transparent canvas with one glyph drawn on it."""
    layer = Canvas(w, h)
    glyph(Pen(layer, x, y, size, colour, sw))
    return layer


def trophy(p):
    p.poly((6.0, 3.0), (18.0, 3.0), (17.4, 9.6), (15.8, 12.8), (13.2, 14.4), (10.8, 14.4), (8.2, 12.8),
           (6.6, 9.6))
    p.arc(6.0, 7.2, 3.0, 90, 270, w=p.sw * 0.8, cap=False)
    p.arc(18.0, 7.2, 3.0, 270, 450, w=p.sw * 0.8, cap=False)
    p.rrect(10.8, 13.6, 13.2, 18.4, 0.3)
    p.rrect(7.2, 18.0, 16.8, 21.2, 0.8)


def tick(p):
    p.line((4.5, 12.5), (9.8, 17.6), (19.5, 6.5), w=p.sw * 1.25)


def cloud(p):
    p.circle(8.2, 14.0, 4.6)
    p.circle(13.6, 10.4, 6.0)
    p.circle(18.4, 14.6, 4.0)
    p.rrect(4.0, 13.6, 22.0, 18.6, 2.4)


GLYPHS.update({"trophy": trophy, "tick": tick, "cloud": cloud})
