"""One entry of the skin: a GIF resource with its identifier, name, size and meaning."""


class Picture:
    def __init__(self, rid, name, size, what, draw, keyed=False, dither=False):
        self.rid = rid            # resource identifier
        self.name = name          # the header's name, without the IDG_ prefix
        self.size = size          # (width, height) in pixels
        self.what = what          # what it shows, for the table
        self.draw = draw          # () -> RGB picture of `size`
        self.keyed = keyed        # background is the colour key RGB(255, 0, 255)
        self.dither = dither      # more colours than a palette holds: dither when reducing

    def render(self):
        pic = self.draw()
        assert pic.size == tuple(self.size), "%d: drawn %s, listed %s" % (self.rid, pic.size, self.size)
        return pic
