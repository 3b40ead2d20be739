"""Check boxes, radio buttons and the sound screen's play button.

These are drawn by image buttons that take a colour key, so their corners are
the key RGB(255, 0, 255) and they sit on any background. Check and radio
images are 15 x 15 for rows 20 high. The play button copies the screens'
rounded text buttons (black frame, white fill, blue while pressed), 32 x 20,
so it stands beside them as one of their kind.
"""

from kit import Canvas, SELECT, WHITE, lighten, darken
from glyphs import glyph_layer
import glyphs
from picture import Picture

BOX = (15, 15)
ON = SELECT
FRAME = (96, 108, 120)
DIS_FRAME = (178, 184, 190)
DIS_FILL = (241, 243, 245)
DIS_ON = (190, 197, 204)


def check(checked, enabled=True):
    c = Canvas(*BOX)
    if checked:
        fill_top, fill_bottom = (lighten(ON, 0.28), ON) if enabled else (DIS_ON, DIS_ON)
        frame = darken(ON, 0.2) if enabled else DIS_ON
    else:
        fill_top, fill_bottom = (WHITE, (230, 236, 242)) if enabled else (DIS_FILL, DIS_FILL)
        frame = FRAME if enabled else DIS_FRAME
    c.rrect(0, 0, 15, 15, 3, fill=frame)
    c.vgradient(1, 1, 14, 14, fill_top, fill_bottom, r=2.2)
    if checked:
        c.over(glyph_layer(15, 15, glyphs.tick, 1.5, 1.8, 12, WHITE, 2.9))
    return c.finish(key=True)


def radio(checked, enabled=True):
    c = Canvas(*BOX)
    frame = (darken(ON, 0.1) if checked else FRAME) if enabled else DIS_FRAME
    c.circle(7.5, 7.5, 7.5, fill=frame)
    c.circle(7.5, 7.5, 6.4, fill=WHITE if enabled else DIS_FILL)
    if checked:
        c.circle(7.5, 7.5, 3.7, fill=ON if enabled else DIS_ON)
    return c.finish(key=True)


PLAY = (32, 20)


def play(look):
    c = Canvas(*PLAY)
    frame, fill, ink = {
        "normal": ((0, 0, 0), WHITE, (24, 28, 32)),
        "pressed": ((0, 0, 0), (0, 0, 255), WHITE),
        "disabled": ((168, 168, 168), WHITE, (176, 176, 176)),
    }[look]
    c.rrect(0, 0, 32, 20, 2.5, fill=frame)
    c.rrect(1, 1, 31, 19, 1.8, fill=fill)
    c.polygon([(12.5, 5.0), (21.5, 10.0), (12.5, 15.0)], ink)
    return c.finish(key=True)


PICTURES = [
    Picture(154, "CHECK_ON", BOX, "Check box, checked", lambda: check(True), keyed=True),
    Picture(156, "CHECK_OFF", BOX, "Check box, unchecked", lambda: check(False), keyed=True),
    Picture(238, "CHECK_OFF_DISABLED", BOX, "Check box, unchecked and disabled", lambda: check(False, False),
            keyed=True),
    Picture(153, "CHECK_ON_DISABLED", BOX, "Check box, checked and disabled", lambda: check(True, False), keyed=True),
    Picture(159, "RADIO_OFF", BOX, "Radio button, unchecked", lambda: radio(False), keyed=True),
    Picture(160, "RADIO_ON", BOX, "Radio button, checked", lambda: radio(True), keyed=True),
    Picture(157, "RADIO_OFF_DISABLED", BOX, "Radio button, unchecked and disabled", lambda: radio(False, False),
            keyed=True),
    Picture(158, "RADIO_ON_DISABLED", BOX, "Radio button, checked and disabled", lambda: radio(True, False),
            keyed=True),
    Picture(235, "PLAY", PLAY, "Alert settings, play the sound (3085): normal", lambda: play("normal"), keyed=True),
    Picture(237, "PLAY_PRESSED", PLAY, "Alert settings, play the sound: pressed", lambda: play("pressed"),
            keyed=True),
    Picture(268, "PLAY_DISABLED", PLAY, "Alert settings, play the sound: disabled (no sound chosen)",
            lambda: play("disabled"), keyed=True),
]
