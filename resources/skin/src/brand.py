"""The brand: splash pictures, the logos, the agreement emblem and the program icon.

Every picture with the product's name spells it "Tidelark" in DejaVu Sans Bold.
"""

import math

from PIL import Image

from kit import (Canvas, font, NAVY, SEA, SAND, WHITE, mix, lighten, darken)
from glyphs import glyph_layer
import glyphs
import lark
from picture import Picture

SKY_TOP = (40, 96, 148)
SKY_MID = (118, 174, 212)
HORIZON = (252, 220, 168)
SUN = (255, 236, 190)
SEA_FAR = (58, 136, 176)
SEA_NEAR = (18, 62, 98)
SPRAY = (236, 246, 250)
WORD = "Tidelark"


# Where the parts of a splash go, per screen shape: horizon, bird (x, y, size), sun (x, radius),
# word baseline and size, tagline baseline and size, height of the foreground wave.
SPLASH_LAYOUT = {
    (240, 320): dict(horizon=196, bird=(36, 34, 160), sun=(176, 24), word=(252, 36), tag=(273, 13), wave=30),
    (240, 240): dict(horizon=140, bird=(52, 12, 120), sun=(180, 19), word=(186, 31), tag=(204, 12), wave=24),
    (320, 240): dict(horizon=140, bird=(80, 10, 124), sun=(250, 20), word=(186, 33), tag=(205, 12), wave=24),
}


def _sky(c, w, horizon):
    mid = int(horizon * 0.55)
    c.vgradient(0, 0, w, mid, SKY_TOP, SKY_MID)
    c.vgradient(0, mid, w, horizon + 1, SKY_MID, HORIZON)


def _sun(c, x, horizon, r):
    glow = c.layer()
    glow.circle(x, horizon - r * 0.2, r * 1.8, fill=SUN)
    c.over(glow, 0.18)
    glow = c.layer()
    glow.circle(x, horizon - r * 0.2, r * 1.35, fill=SUN)
    c.over(glow, 0.22)
    c.circle(x, horizon - r * 0.2, r, fill=SUN)


def _sea(c, w, h, horizon, sun_x, wave_h):
    c.vgradient(0, horizon, w, h, SEA_FAR, SEA_NEAR)
    glitter = c.layer()
    for i, (dy, half) in enumerate(((3, 18), (8, 12), (14, 14), (21, 7))):
        glitter.line([(sun_x - half, horizon + dy), (sun_x + half - i * 2, horizon + dy)], 1.6, SUN)
    c.over(glitter, 0.35)
    swell = c.layer()
    for i, dy in enumerate((10, 22, 36)):
        x0 = w * (0.06 + 0.11 * i)
        swell.line([(x0, horizon + dy), (x0 + w * 0.24, horizon + dy)], 1.2, lighten(SEA_FAR, 0.3))
    c.over(swell, 0.5)
    # Two rolling swells in front, each with a line of foam on its crests.
    for i, (colour, rise, phase) in enumerate(((mix(SEA_FAR, SEA_NEAR, 0.45), wave_h, 0.0),
                                               (darken(SEA_NEAR, 0.08), wave_h * 0.55, 0.5))):
        band = c.layer()
        top = _swell(w, h - rise, wave_h * 0.16, w / 2.5, phase)
        band.polygon(top + [(w, h), (0, h)], colour)
        c.over(band)
        foam = c.layer()
        foam.line(top, 1.1, SPRAY, cap=False)
        c.over(foam, 0.45 if i == 0 else 0.3)


def _swell(w, base, amp, length, phase):
    """Points along a swell: a sine of the given length, crests up."""
    pts = []
    for i in range(0, int(w) + 9, 2):
        pts.append((i - 4, base - amp * math.sin(2 * math.pi * ((i - 4) / length + phase))))
    return pts


def splash(w, h):
    L = SPLASH_LAYOUT[(w, h)]
    horizon = L["horizon"]
    c = Canvas(w, h)
    _sky(c, w, horizon)
    _sun(c, L["sun"][0], horizon, L["sun"][1])
    _sea(c, w, h, horizon, L["sun"][0], L["wave"])
    bird = c.layer()
    bx, by, size = L["bird"]
    lark.bird(bird, bx, by, size, NAVY, SAND, mix(NAVY, SKY_MID, 0.45))
    c.over(bird)
    base, px = L["word"]
    face = font("DejaVuSans-Bold", px)
    shadow = c.layer()
    shadow.text(w / 2 + 1, base + 1.5, WORD, face, darken(SEA_NEAR, 0.5), anchor="ms")
    c.over(shadow, 0.6)
    c.text(w / 2, base, WORD, face, WHITE, anchor="ms")
    base, px = L["tag"]
    c.text(w / 2, base, "offline news reader", font("DejaVuSans", px), lighten(SEA_FAR, 0.6), anchor="ms")
    return c.finish(matte=WHITE)


LOGO = (172, 48)


def about_logo():
    w, h = LOGO
    c = Canvas(w, h)
    layer = c.layer()
    lark.bird(layer, 0, 0, 48, NAVY, SAND, lighten(NAVY, 0.45))
    c.over(layer)
    face = font("DejaVuSans-Bold", 25)
    tw = c.text_width(WORD, face)
    assert 52 + tw <= w, "the word does not fit the logo"
    c.text(52, 31, WORD, face, NAVY, anchor="ls")
    wave = c.layer()
    lark.wave(wave, 52, 34, tw, 9, SEA, None)
    c.over(wave)
    return c.finish(matte=WHITE)


def ad_logo():
    w, h = 64, 28
    c = Canvas(w, h)
    steps = [(26, 22.5), (18, 15.5), (10, 8.5)]  # half-widths would crowd; widths and tops
    colours = [(224, 104, 52), (236, 140, 60), (246, 178, 72)]
    for (bw, top), colour in zip(steps, colours):
        c.rrect(14 - bw / 2, top - 5, 14 + bw / 2, top + 1.5, 1.6, fill=colour)
    face = font("DejaVuSans-Bold", 13)
    c.text(30, 20.5, "ads", face, (96, 104, 112), anchor="ls")
    return c.finish(matte=WHITE)


def emblem(size):
    """The program's mark: the lark over a wave on a sea-blue rounded tile (RGBA)."""
    c = Canvas(size, size)
    r = size * 0.22
    c.vgradient(0, 0, size, size, lighten(SEA, 0.22), darken(SEA, 0.12), r=r)
    wave = c.layer()
    lark.wave(wave, 0, size * 0.62, size, size * 0.38, NAVY, None)
    c.over(wave)
    mask = Canvas(size, size)
    mask.rrect(0, 0, size, size, r, fill=WHITE)
    bird = c.layer()
    # Small icons show a larger bird: its details are gone anyway, its shape must read.
    scale = 0.86 if size >= 32 else 1.0
    lark.bird(bird, size * (0.5 - scale * 0.52), size * (0.45 - scale * 0.46), size * scale, WHITE,
              SAND if size >= 24 else None)
    c.over(bird)
    img = c.reduced()
    img.putalpha(Image.composite(img.getchannel("A"), Image.new("L", img.size, 0), mask.reduced().getchannel("A")))
    return img


def emblem_picture(size):
    small = emblem(size)
    base = Image.new("RGBA", small.size, WHITE + (255,))
    return Image.alpha_composite(base, small).convert("RGB")


def sync_picture():
    w, h = 80, 32
    c = Canvas(w, h)
    c.over(glyph_layer(w, h, glyphs.handheld, 2, 2, 28, NAVY, 2.0))
    c.over(glyph_layer(w, h, glyphs.sync, 28, 4, 24, SEA, 2.3))
    c.over(glyph_layer(w, h, glyphs.cloud, 52, 2, 28, mix(NAVY, WHITE, 0.35), 2.0))
    return c.finish(key=True)


def program_icon_sizes():
    return [emblem(s) for s in (16, 24, 32, 48)]


PICTURES = [
    Picture(175, "SPLASH_PORTRAIT", (240, 320), "Splash, portrait screen (taller than wide)",
            lambda: splash(240, 320), dither=True),
    Picture(176, "SPLASH_SQUARE", (240, 240), "Splash, square screen", lambda: splash(240, 240), dither=True),
    Picture(177, "SPLASH_LANDSCAPE", (320, 240), "Splash, landscape screen (wider than tall)",
            lambda: splash(320, 240), dither=True),
    Picture(275, "LOGO_ABOUT", LOGO, "About screen, the product logo", about_logo),
    Picture(161, "LOGO_ADS", (64, 28), "About screen, the advertising platform's mark", ad_logo),
    Picture(164, "EMBLEM", (48, 48), "The lark emblem, for the agreement screen", lambda: emblem_picture(48)),
    Picture(166, "SYNC_PROGRESS", (80, 32), "Sync progress window: handheld and server exchanging",
            sync_picture, keyed=True),
]
