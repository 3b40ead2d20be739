"""Icons of the icon views and list views: options, help, tools and channels.

Icon view: 32 x 32, a rounded tile in the entry's colour with a white
pictogram, for cells of 70 x 80. List view: 16 x 16, the same tile at row
size, for rows 20 high. Pressed: the tile turns white with a frame and a
pictogram in the selection blue, the pressed labels' colour, and sits one
pixel lower; unlike a change of hue this reads for tiles of every colour. Icons are opaque on white, the content area's colour, since
the icon cells draw their bitmaps plainly.
"""

from kit import Canvas, SELECT, WHITE, hsl, lighten, darken
from glyphs import glyph_layer
import glyphs
from picture import Picture

ICON = (32, 32)
SMALL = (16, 16)


def tile(size, glyph, base, pressed):
    """An icon: a tile in the entry's colour with a white pictogram; pressed, the
    tile turns white with a frame and pictogram in the selection blue."""
    c = Canvas(size, size)
    if size >= 24:
        m, r, g, sw, frame_w = 2, 7, 18, 2.1, 1.0
        top, bottom = m - 1, size - m - 1
        if pressed:
            top, bottom = top + 1, bottom + 1
            frame_w = 2.0
        else:
            c.rrect(m, m + 1, size - m, size - m + 1, r, fill=(214, 220, 226))  # shadow
    else:
        m, r, g, sw, frame_w = 0.5, 3.4, 11.5, 2.7, 0.8
        top, bottom = m, size - m
        if pressed:
            frame_w = 1.3
    gx, gy = (size - g) / 2.0, top + (bottom - top - g) / 2.0
    if pressed:
        c.rrect(m, top, size - m, bottom, r, fill=(238, 244, 252), outline=SELECT, width=frame_w)
        c.over(glyph_layer(size, size, glyph, gx, gy, g, SELECT, sw))
    else:
        c.vgradient(m, top, size - m, bottom, lighten(base, 0.30 if size >= 24 else 0.22), base, r=r)
        c.rrect(m, top, size - m, bottom, r, outline=darken(base, 0.18), width=frame_w)
        if size >= 24:
            c.over(glyph_layer(size, size, glyph, gx, gy + 0.8, g, darken(base, 0.35), sw), 0.55)
        c.over(glyph_layer(size, size, glyph, gx, gy, g, WHITE, sw))
    return c.finish(matte=WHITE)


def _icons(glyph_name, base, label, icon_ids, list_ids, name):
    """The icon-view pair and the list-view pair of one entry."""
    g = glyphs.GLYPHS[glyph_name]
    out = []
    if icon_ids:
        n, p = icon_ids
        out.append(Picture(n, name + "_ICON", ICON, label + ", icon view: normal", lambda: tile(32, g, base, False)))
        out.append(Picture(p, name + "_ICON_PRESSED", ICON, label + ", icon view: pressed",
                           lambda: tile(32, g, base, True)))
    if list_ids:
        n, p = list_ids
        out.append(Picture(n, name + "_LIST", SMALL, label + ", list view: normal", lambda: tile(16, g, base, False)))
        out.append(Picture(p, name + "_LIST_PRESSED", SMALL, label + ", list view: pressed",
                           lambda: tile(16, g, base, True)))
    return out


# Entry colours: one lightness and saturation, hues spread over the wheel.
def _hue(h, s=0.58, l=0.47):
    return hsl(h, s, l)


AMBER, GREEN, RED, ORANGE, TEAL, PURPLE = _hue(38, 0.80, 0.50), _hue(140), _hue(4, 0.62, 0.52), _hue(24, 0.75, 0.50), \
    _hue(178, 0.62, 0.38), _hue(268, 0.45, 0.52)
BLUE, BROWN, SLATE = _hue(214, 0.62, 0.50), _hue(22, 0.36, 0.42), _hue(205, 0.22, 0.45)
INDIGO, CYAN, VIOLET, PINK, GOLD, OLIVE = _hue(232, 0.50, 0.52), _hue(194, 0.70, 0.42), _hue(288, 0.40, 0.48), \
    _hue(336, 0.55, 0.52), _hue(46, 0.78, 0.46), _hue(88, 0.45, 0.40)
FEED = _hue(28, 0.88, 0.52)

OPTIONS = (
    _icons("bell", AMBER, "Options, alert list (3020)", (143, 144), (201, 202), "OPT_ALERTS")
    + _icons("feed_add", GREEN, "Options, add channel (3021)", (147, 148), (211, 212), "OPT_ADD")
    + _icons("trash", RED, "Options, delete channels (3022); the options screen shows 143/144 for it in icon view",
             (145, 146), (271, 272), "OPT_DELETE")
    + _icons("bell_settings", ORANGE, "Options, alert settings (3023)", (253, 254), (249, 250), "OPT_ALERT_SETTINGS")
    + _icons("sync_settings", TEAL, "Options, sync settings (3024)", (149, 150), (213, 214), "OPT_SYNC_SETTINGS")
    + _icons("share", PURPLE, "Options, share a channel (3025)", (151, 152), (273, 274), "OPT_SHARE")
)

HELP = (
    _icons("faq", BLUE, "Help, FAQ (3010)", (134, 135), (193, 194), "HELP_FAQ")
    + _icons("book", BROWN, "Help, manual (3011)", (136, 138), (195, 196), "HELP_MANUAL")
    + _icons("info", SLATE, "Help, about (3012)", (139, 140), (191, 192), "HELP_ABOUT")
)

# The screens that no bar or menu reaches yet, for a tools screen that lists them.
TOOLS = (
    _icons("wrench", SLATE, "Tools screen itself, as an entry of another menu", (141, 142), (215, 216), "TOOLS")
    + _icons("display", INDIGO, "Tools, display settings", (1401, 1402), (197, 198), "TOOLS_DISPLAY")
    + _icons("signal", CYAN, "Tools, connection settings (3026)", (1403, 1404), (199, 200), "TOOLS_CONNECTION")
    + _icons("share_settings", VIOLET, "Tools, share settings (4027)", (1405, 1406), (203, 204),
             "TOOLS_SHARE_SETTINGS")
    + _icons("outbox", PINK, "Tools, shared items (3000)", (1407, 1408), (205, 206), "TOOLS_SHARED_ITEMS")
    + _icons("star", GOLD, "Tools, recommended channels (3070)", (1409, 1410), (207, 208), "TOOLS_RECOMMENDED")
    + _icons("import_file", OLIVE, "Tools, OPML import (3075)", (1411, 1412), (209, 210), "TOOLS_OPML")
)

# Channel topics: icon view normal at 1301 + k, pressed at 1315 + k, list view at 1329 + k.
TOPICS = [
    ("news", "newspaper", _hue(210, 0.55, 0.45)), ("world", "globe", _hue(196, 0.62, 0.42)),
    ("technology", "chip", _hue(236, 0.42, 0.50)), ("science", "flask", _hue(160, 0.55, 0.38)),
    ("sport", "trophy", _hue(42, 0.80, 0.46)), ("business", "chart", _hue(126, 0.45, 0.40)),
    ("film", "clapper", _hue(350, 0.55, 0.46)), ("weather", "weather", _hue(200, 0.70, 0.50)),
    ("music", "notes", _hue(300, 0.40, 0.46)), ("games", "gamepad", _hue(262, 0.45, 0.52)),
    ("cars", "car", _hue(8, 0.62, 0.48)), ("handhelds", "handheld", _hue(186, 0.55, 0.36)),
    ("forum", "forum", _hue(28, 0.70, 0.48)), ("blog", "pencil", _hue(96, 0.45, 0.40)),
]


def _topics():
    out = []
    for k, (topic, glyph_name, colour) in enumerate(TOPICS):
        g = glyphs.GLYPHS[glyph_name]
        name = "CHANNEL_" + topic.upper()
        label = "Channel icon, " + topic
        out.append(Picture(1301 + k, name, ICON, label + ": icon view", lambda g=g, c=colour: tile(32, g, c, False)))
        out.append(Picture(1315 + k, name + "_PRESSED", ICON, label + ": icon view, pressed",
                           lambda g=g, c=colour: tile(32, g, c, True)))
        out.append(Picture(1329 + k, name + "_LIST", SMALL, label + ": list view",
                           lambda g=g, c=colour: tile(16, g, c, False)))
    return out


CHANNELS = [
    Picture(225, "CHANNEL_DEFAULT", ICON, "Channel icon of the default channels (their \"Icon\" bytes)",
            lambda: tile(32, glyphs.feed, FEED, False)),
    Picture(224, "CHANNEL_DEFAULT_LIST", SMALL, "Channel icon of the default channels, list view",
            lambda: tile(16, glyphs.feed, FEED, False)),
] + _topics()


def empty_state(glyph, badge):
    """A quiet picture for a screen with nothing to list: a pale disc, a grey pictogram."""
    c = Canvas(64, 64)
    c.circle(32, 32, 30, fill=(234, 241, 247))
    ink = (128, 150, 172)
    c.over(glyph_layer(64, 64, glyph, 14, 13, 36, ink, 2.0))
    c.circle(47, 47, 10.5, fill=WHITE)
    c.circle(47, 47, 8.5, fill=(96, 160, 204))
    c.over(glyph_layer(64, 64, badge, 40.5, 40.5, 13, WHITE, 2.8))
    return c.finish(matte=WHITE)


SCREENS = [
    Picture(162, "EMPTY_CHANNELS", (64, 64), "Channel list with no channel: a feed to fetch by syncing",
            lambda: empty_state(glyphs.feed, glyphs.sync)),
    Picture(163, "EMPTY_ALERTS", (64, 64), "Alerts screen with no alert: all read",
            lambda: empty_state(glyphs.bell, glyphs.tick)),
    Picture(165, "PROMPT_MAIL", (48, 48), "E-mail prompt: an envelope",
            lambda: _big_tile(glyphs.envelope, BLUE)),
]


def _big_tile(glyph, base):
    c = Canvas(48, 48)
    c.rrect(2, 3, 46, 47, 10, fill=(214, 220, 226))
    c.vgradient(2, 1, 46, 45, lighten(base, 0.30), base, r=10)
    c.rrect(2, 1, 46, 45, 10, outline=darken(base, 0.18), width=1)
    c.over(glyph_layer(48, 48, glyph, 10, 9.5, 28, darken(base, 0.35), 2.0), 0.55)
    c.over(glyph_layer(48, 48, glyph, 10, 8.5, 28, WHITE, 2.0))
    return c.finish(matte=WHITE)


PICTURES = OPTIONS + HELP + TOOLS + CHANNELS + SCREENS
