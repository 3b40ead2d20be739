"""Every GIF resource of the skin, in identifier order."""

import brand
import controls
import frame
import icons

PICTURES = sorted(frame.PICTURES + icons.PICTURES + controls.PICTURES + brand.PICTURES, key=lambda p: p.rid)

RANGES = ((101, 275), (1301, 1342), (1401, 1412))
COUNT = 159


def check():
    ids = [p.rid for p in PICTURES]
    names = [p.name for p in PICTURES]
    assert len(set(ids)) == len(ids), "an identifier is used twice"
    assert len(set(names)) == len(names), "a name is used twice"
    assert all(any(lo <= i <= hi for lo, hi in RANGES) for i in ids), "an identifier outside the ranges"
    assert len(ids) == COUNT, "%d pictures, not %d" % (len(ids), COUNT)
