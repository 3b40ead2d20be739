"""The frame: the buttons of the three bars and the decorations around the content area.

Bar buttons are 26 x 24 and opaque on the bar colour, so they look the same
whether a bar draws them plainly or with a colour key. The header row and the
bottom row are 26 high: a button sits on the bottom edge and leaves the row's
two top lines visible. Pressed is a pale pill with a dark pictogram; it is
also the look of a disabled Dynamic Bar button, which marks the current screen.
"""

from kit import (Canvas, NAVY, NAVY_LIGHT, NAVY_DARK, FOAM, SEA, SAND, CORAL, WHITE, mix)
from glyphs import glyph_layer
import glyphs
import lark
from picture import Picture

BUTTON = (26, 24)
ROW = 26
GLYPH_ON_BAR = (242, 247, 251)


def bar_button(glyph, look="normal", colour=None, badge=False):
    w, h = BUTTON
    c = Canvas(w, h)
    c.rect(0, 0, w, h, NAVY)
    ink = colour or GLYPH_ON_BAR
    if look == "pressed":
        c.rrect(1, 1, w - 1, h - 1, 5, fill=FOAM)
        ink = NAVY
    elif look == "toggled":
        c.rrect(1, 1, w - 1, h - 1, 5, fill=SEA)
    c.over(glyph_layer(w, h, glyph, 4, 3, 18, ink, sw=2.2))
    if badge:
        c.circle(18.6, 6.2, 4.6, fill=NAVY if look == "normal" else FOAM)
        c.circle(18.6, 6.2, 3.2, fill=CORAL)
    return c.finish(matte=NAVY)


def header_strip(w):
    """The header row behind the Dynamic Bar: a light top line over the bar colour."""
    c = Canvas(w, ROW)
    c.rect(0, 0, w, ROW, NAVY)
    c.rect(0, 0, w, 1, NAVY_LIGHT)
    return c


def bottom_strip(w):
    """The bottom row: a dark separator under the content, then a light line."""
    c = Canvas(w, ROW)
    c.rect(0, 0, w, ROW, NAVY)
    c.rect(0, 0, w, 1, NAVY_DARK)
    c.rect(0, 1, w, 2, NAVY_LIGHT)
    return c


def header_right():
    c = header_strip(30)
    layer = c.layer()
    lark.bird(layer, 3, 1, 24, WHITE, SAND)
    c.over(layer)
    return c.finish(matte=NAVY)


def border(side):
    """A content border, 2 wide: bar colour outside, a softer line against the white content."""
    c = Canvas(2, 8)
    outer, inner = (0, 1) if side == "left" else (1, 0)
    c.rect(outer, 0, outer + 1, 8, NAVY)
    c.rect(inner, 0, inner + 1, 8, mix(NAVY, WHITE, 0.55))
    return c.finish(matte=NAVY)


def _pair(rid, name, glyph, what, disabled="also its disabled image"):
    """The normal and pressed buttons of one bar command, at rid and rid + 1."""
    g = glyphs.GLYPHS[glyph]
    return [
        Picture(rid, name, BUTTON, what + ": normal", lambda: bar_button(g)),
        Picture(rid + 1, name + "_PRESSED", BUTTON, what + ": pressed; " + disabled,
                lambda: bar_button(g, "pressed")),
    ]


CURRENT = "also disabled, marking the current screen"


PICTURES = (
    _pair(101, "BAR_CHANNELS", "channels", "Dynamic Bar, channel list (5011)", CURRENT)
    + _pair(103, "BAR_TOOLS", "wrench", "Dynamic Bar, tools screen (no bar command yet)", CURRENT)
    + _pair(105, "BAR_ADD", "plus", "Dynamic Bar, add channel (5022)", CURRENT)
    + [
        Picture(111, "BAR_ALERTS", BUTTON, "Dynamic Bar, alerts (5015): normal",
                lambda: bar_button(glyphs.bell)),
        Picture(112, "BAR_ALERTS_PRESSED", BUTTON,
                "Dynamic Bar, alerts (5015): pressed, also with new alerts; also its disabled image",
                lambda: bar_button(glyphs.bell, "pressed")),
    ]
    + _pair(113, "BAR_OPTIONS", "gear", "Static Bar, options (5016)")
    + _pair(115, "BAR_SYNC", "sync", "Static Bar, synchronize (5017)")
    + _pair(117, "BAR_HELP", "question", "Static Bar, help (5018)")
    + [
        Picture(119, "DECO_HEADER_LEFT", (4, ROW), "header row, left end (left of the Dynamic Bar)",
                lambda: header_strip(4).finish(matte=NAVY)),
        Picture(120, "DECO_HEADER_RIGHT", (30, ROW), "header row, right end with the lark",
                header_right),
        Picture(121, "DECO_BOTTOM_LEFT", (4, ROW), "bottom row, left end (left of the title box)",
                lambda: bottom_strip(4).finish(matte=NAVY)),
        Picture(122, "DECO_BOTTOM_RIGHT", (4, ROW), "bottom row, right end (right of the Navigation Bar)",
                lambda: bottom_strip(4).finish(matte=NAVY)),
        Picture(123, "DECO_HEADER_FILL", (8, ROW), "header row, tiled between its two ends",
                lambda: header_strip(8).finish(matte=NAVY)),
        Picture(124, "DECO_BOTTOM_FILL", (8, ROW), "bottom row, tiled over the screen width",
                lambda: bottom_strip(8).finish(matte=NAVY)),
        Picture(125, "DECO_BORDER_LEFT", (2, 8), "left border of the content area, tiled down",
                lambda: border("left")),
        Picture(126, "DECO_BORDER_RIGHT", (2, 8), "right border of the content area, tiled down",
                lambda: border("right")),
    ]
    + _pair(127, "BAR_BACK", "back", "Navigation Bar, back (5019)")
    + _pair(129, "BAR_FORWARD", "forward", "Navigation Bar, forward (5020)")
    + [
        Picture(131, "BAR_PANEL_SHOWN", BUTTON, "Navigation Bar, input panel (5021): normal while the panel is up",
                lambda: bar_button(glyphs.keyboard, "toggled")),
    ]
    + _pair(132, "BAR_PANEL", "keyboard", "Navigation Bar, input panel (5021)")
    + [
        Picture(226, "BAR_ALERTS_NEW", BUTTON, "Dynamic Bar, alerts (5015) with new alerts: normal",
                lambda: bar_button(glyphs.bell, colour=SAND, badge=True)),
    ]
)
