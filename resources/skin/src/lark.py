"""The Tidelark emblem: a lark in flight over a breaking wave, on a 100-unit grid."""

from glyphs import Pen


def _curve(p0, p1, p2, n=12):
    """Points of a quadratic curve from p0 to p2 pulled towards p1."""
    pts = []
    for i in range(n + 1):
        t = i / n
        a, b, c = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return pts


def bird(layer, x, y, size, body, breast=None, far_wing=None):
    """The lark, facing right, wings raised; (x, y) is the top-left of its size x size box."""
    p = Pen(layer, x, y, size, body)
    g = lambda pts: [(u * 0.24, v * 0.24) for u, v in pts]  # 100 grid to the pen's 24 grid
    if far_wing is not None:
        p.colour = far_wing
        p.poly(*g([(50, 50)] + _curve((50, 50), (36, 34), (20, 26)) + _curve((20, 26), (40, 30), (62, 46))))
        p.colour = body
    outline = (_curve((94, 43), (88, 36), (81, 35)) + [(74, 27), (75, 35)] + _curve((75, 35), (68, 37), (63, 44))
               + _curve((63, 44), (46, 54), (24, 55)) + [(6, 50), (17, 59), (8, 66)]
               + _curve((8, 66), (30, 67), (52, 66)) + _curve((52, 66), (74, 62), (84, 48))
               + [(88, 45)])
    p.poly(*g(outline))
    # The near wing, raised and swept back.
    wing = (_curve((56, 48), (52, 28), (38, 8)) + _curve((38, 8), (58, 14), (72, 42)))
    p.poly(*g(wing))
    if breast is not None:
        p.colour = breast
        p.poly(*g(_curve((84, 48), (76, 62), (56, 65)) + _curve((56, 65), (72, 56), (79, 46))))
        p.colour = body
    p.circle(81.5 * 0.24, 41 * 0.24, 2.3 * 0.24, erase=True)


def wave(layer, x, y, w, h, colour, crest=None):
    """A breaking wave filling a w x h box from its bottom; the crest curls to the right."""
    p = Pen(layer, x, y, 24.0, colour)
    p.k = 1.0
    pts = ([(0, h)] + _curve((0, h * 0.62), (w * 0.30, h * 0.30), (w * 0.58, h * 0.22))
           + _curve((w * 0.58, h * 0.22), (w * 0.80, h * 0.14), (w * 0.86, h * 0.34))
           + _curve((w * 0.86, h * 0.34), (w * 0.74, h * 0.36), (w * 0.72, h * 0.52))
           + _curve((w * 0.72, h * 0.52), (w * 0.86, h * 0.78), (w, h * 0.70)) + [(w, h)])
    p.poly(*pts)
    if crest is not None:
        p.colour = crest
        p.line(*_curve((w * 0.16, h * 0.50), (w * 0.40, h * 0.30), (w * 0.62, h * 0.30)), w=max(1.0, h * 0.07))
