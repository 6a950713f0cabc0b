"""Canvas and pixel art."""

BLUE_KEY = (0, 0, 255)        # the transparent colour of button faces and About frames
MENU_BACK = (255, 255, 255)   # the popup menu's background (COLOR_MENU of the test desktop)


class Canvas:
    """A width x height grid of (r, g, b) tuples; None is transparent."""

    def __init__(self, width, height, fill=None):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def get(self, x, y):
        if 0 <= x < self.width and 0 <= y < self.height:
            return self.pixels[y][x]
        return None

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def copy(self):
        c = Canvas(self.width, self.height)
        c.pixels = [row[:] for row in self.pixels]
        return c

    def paste(self, other, dx, dy):
        for y in range(other.height):
            for x in range(other.width):
                p = other.pixels[y][x]
                if p is not None:
                    self.put(x + dx, y + dy, p)

    def map(self, fn):
        c = Canvas(self.width, self.height)
        c.pixels = [[None if p is None else fn(p) for p in row] for row in self.pixels]
        return c

    def fill_transparent(self, background):
        for row in self.pixels:
            for x, p in enumerate(row):
                if p is None:
                    row[x] = background
        return self


def art(rows, palette):
    """Pixel art from strings: one character a pixel, '.' transparent."""
    height = len(rows)
    width = max(len(r) for r in rows)
    c = Canvas(width, height)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch != '.' and ch != ' ':
                c.pixels[y][x] = palette[ch]
    return c


def lighter(colour, steps=1):
    return tuple(min(255, ch + 51 * steps) for ch in colour)


def darker(colour, steps=1):
    return tuple(max(0, ch - 51 * steps) for ch in colour)
