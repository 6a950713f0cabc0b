#!/usr/bin/env python3
"""Draws the program's bitmaps and icons into resources/images/.

    python3 resources/make_images.py [--check] [output-folder]

Standard library only: the BMP and ICO bytes are written here.  Every
picture is pixel art on a fixed palette, with hard edges, because the
program shows most of them through 8-bit image lists with a 1-bit mask:
soft edges would turn into coloured fringes there.  Colours come from the
6 x 6 x 6 colour cube (channel steps of 51), which an 8-bit image list holds
exactly, so nothing is dithered away.

Run it again after changing a picture and commit the files it writes.
"""

import math
import os
import struct
import sys

BLUE_KEY = (0, 0, 255)        # the transparent colour of button faces and About frames
MENU_BACK = (255, 255, 255)   # the popup menu's background (COLOR_MENU of the test desktop)


# ----------------------------------------------------------------------------
# Canvas and pixel art


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


# ----------------------------------------------------------------------------
# Shapes for the pictures that move (the tray note and the About frames)


class Ellipse:
    def __init__(self, cx, cy, rx, ry, angle=0.0):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.cos, self.sin = math.cos(math.radians(angle)), math.sin(math.radians(angle))

    def contains(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        u = dx * self.cos + dy * self.sin
        v = -dx * self.sin + dy * self.cos
        return (u / self.rx) ** 2 + (v / self.ry) ** 2 <= 1.0


class Capsule:
    """All points within r of the polyline through points."""

    def __init__(self, points, r):
        self.points, self.r = points, r

    def contains(self, x, y):
        r2 = self.r * self.r
        for (x1, y1), (x2, y2) in zip(self.points, self.points[1:]):
            dx, dy = x2 - x1, y2 - y1
            length2 = dx * dx + dy * dy
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
            px, py = x1 + t * dx - x, y1 + t * dy - y
            if px * px + py * py <= r2:
                return True
        return False


class Polygon:
    def __init__(self, points):
        self.points = points

    def contains(self, x, y):
        inside = False
        pts = self.points
        for i in range(len(pts)):
            x1, y1 = pts[i]
            x2, y2 = pts[(i + 1) % len(pts)]
            if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                inside = not inside
        return inside


def curve(p0, p1, p2, steps=12):
    """Points of a quadratic Bezier curve."""
    out = []
    for i in range(steps + 1):
        t = i / steps
        a, b, c = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        out.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))
    return out


class Part:
    """A shape with its colour; colour may depend on the local position."""

    def __init__(self, shape, colour, outline):
        self.shape = shape
        self.colour = colour if callable(colour) else (lambda x, y, c=colour: c)
        self.outline = outline


class Pose:
    """Rotation by angle degrees about a pivot, then a shift."""

    def __init__(self, angle=0.0, pivot=(0.0, 0.0), shift=(0.0, 0.0)):
        self.cos, self.sin = math.cos(math.radians(angle)), math.sin(math.radians(angle))
        self.pivot, self.shift = pivot, shift

    def to_local(self, x, y):
        x -= self.shift[0] + self.pivot[0]
        y -= self.shift[1] + self.pivot[1]
        return (x * self.cos + y * self.sin + self.pivot[0],
                -x * self.sin + y * self.cos + self.pivot[1])


def render(width, height, parts, pose=None, samples=4):
    """Hard-edged rendering: each pixel takes the part that covers most of
    it (later parts lie on top); a pixel of a part that touches the outside
    gets that part's outline colour."""
    pose = pose or Pose()
    labels = [[-1] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    lx, ly = pose.to_local(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    label = -1
                    for i in range(len(parts) - 1, -1, -1):
                        if parts[i].shape.contains(lx, ly):
                            label = i
                            break
                    votes[label] = votes.get(label, 0) + 1
            labels[y][x] = max(votes, key=lambda k: (votes[k], k))
    c = Canvas(width, height)
    for y in range(height):
        for x in range(width):
            label = labels[y][x]
            if label < 0:
                continue
            part = parts[label]
            edge = any(not (0 <= x + dx < width and 0 <= y + dy < height) or labels[y + dy][x + dx] < 0
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge and part.outline:
                c.pixels[y][x] = part.outline
            else:
                lx, ly = pose.to_local(x + 0.5, y + 0.5)
                c.pixels[y][x] = part.colour(lx, ly)
    return c


# ----------------------------------------------------------------------------
# Writers


def _palette_of(canvases, extra=()):
    colours = []
    seen = set()
    for colour in list(extra) + [p for c in canvases for row in c.pixels for p in row if p is not None]:
        if colour not in seen:
            seen.add(colour)
            colours.append(colour)
    if len(colours) > 256:
        raise ValueError('more than 256 colours')
    return colours


def _rows8(canvas, index, transparent_index):
    stride = (canvas.width + 3) & ~3
    out = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytes(transparent_index if p is None else index[p] for p in canvas.pixels[y])
        out += row + bytes(stride - canvas.width)
    return bytes(out)


def bmp8(canvas):
    """An 8-bit BMP with the palette the picture uses."""
    colours = _palette_of([canvas])
    index = {c: i for i, c in enumerate(colours)}
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)
    pixels = _rows8(canvas, index, 0)
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 8, 0, len(pixels),
                       2835, 2835, len(colours), len(colours))
    return header + info + palette + pixels


def ico8(canvases):
    """An icon file with one 8-bit image (and its AND mask) per canvas."""
    images = []
    for canvas in canvases:
        # Transparent pixels are black in the colour image and set in the mask,
        # which is what DrawIconEx and the image lists expect.
        colours = _palette_of([canvas], extra=[(0, 0, 0)])
        colours += [(0, 0, 0)] * (256 - len(colours))
        index = {}
        for i, c in enumerate(colours):
            index.setdefault(c, i)
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours)
        xor = _rows8(canvas, index, index[(0, 0, 0)])
        mask_stride = ((canvas.width + 31) // 32) * 4
        mask = bytearray()
        for y in range(canvas.height - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x, p in enumerate(canvas.pixels[y]):
                if p is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height * 2, 1, 8, 0,
                           len(xor) + len(mask), 0, 0, 0, 0)
        images.append((canvas, info + palette + xor + bytes(mask)))
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, data in images:
        out += struct.pack('<BBBBHHII', canvas.width % 256, canvas.height % 256, 0, 0, 1, 8,
                           len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


# ----------------------------------------------------------------------------
# The note of the tray icon (101 A, 111 B) and of the menu


NOTE_INK = (51, 0, 102)        # outline
NOTE_BODY = (153, 51, 255)     # fill
NOTE_SHINE = (204, 153, 255)   # highlight on the head
NOTE_SPARK = (255, 255, 255)


def note_parts(scale):
    """An eighth note in a 16-unit box: head low left, stem, waving flag."""
    s = scale
    head = Ellipse(5.6 * s, 12.2 * s, 3.9 * s, 2.8 * s, -24)

    def head_colour(x, y):
        # A highlight on the upper left of the head, like a lit glossy ball.
        dx, dy = x - (4.4 * s), y - (11.3 * s)
        return NOTE_SHINE if dx * dx + dy * dy < (1.3 * s) ** 2 else NOTE_BODY

    stem = Polygon([(7.9 * s, 1.2 * s), (10.1 * s, 1.2 * s), (10.1 * s, 12.0 * s), (7.9 * s, 12.6 * s)])
    flag = Capsule(curve((9.4 * s, 2.0 * s), (14.6 * s, 4.4 * s), (13.0 * s, 9.6 * s)), 1.15 * s)
    return [Part(flag, NOTE_BODY, NOTE_INK), Part(stem, NOTE_BODY, NOTE_INK),
            Part(head, head_colour, NOTE_INK)]


def tray_note(size, pose):
    return render(size, size, note_parts(size / 16.0), pose, samples=6)


def tray_images():
    a16 = tray_note(16, Pose(0, (8, 15)))
    a32 = tray_note(32, Pose(0, (16, 30)))
    # Pose B: the note hops up a pixel and leans into the beat; two sparks
    # mark the bounce, so alternating A and B every half second dances.
    b16 = tray_note(16, Pose(14, (7, 15), (0.6, -1.2)))
    b16.put(1, 3, NOTE_BODY)
    b16.put(0, 4, NOTE_SHINE)
    b16.put(2, 4, NOTE_SHINE)
    b16.put(1, 5, NOTE_BODY)
    b16.put(14, 14, NOTE_BODY)
    b16.put(15, 13, NOTE_SHINE)
    return a16, a32, b16


# ----------------------------------------------------------------------------
# Tree images (16 x 16): folder, file, check boxes


FOLDER_PALETTE = {
    'o': (102, 51, 0), 'y': (255, 204, 51), 'Y': (255, 255, 153), 'd': (204, 153, 0),
}
FOLDER = [
    '................',
    '................',
    '.oooo...........',
    'oYYYYo..........',
    'oyyyyyoooooooo..',
    'oyYYYYYYYYYYYYo.',
    'oyYyyyyyyyyyyyo.',
    'oyYyyyyyyyyyyyo.',
    'oyYyyyyyyyyyyyo.',
    'oyYyyyyyyyyyyyo.',
    'oyYyyyyyyyyyyyo.',
    'oyYyyyyyyyyyyyo.',
    'oyyddddddddddddo',
    '.oooooooooooooo.',
    '................',
    '................',
]

FILE_PALETTE = {
    'o': (51, 51, 102), 'w': (255, 255, 255), 'l': (204, 204, 255), 'f': (153, 153, 204),
    'n': (51, 0, 102), 'b': (153, 51, 255),
}
MIDI_FILE = [
    '..oooooooo......',
    '..owwwwwwoo.....',
    '..owwwwwwolo....',
    '..owwwwwwollo...',
    '..owwwwwwolllo..',
    '..owwwwwwoooooo.',
    '..owwwwwwwwwwwo.',
    '..owwwwwwnwwwwo.',
    '..owwwwwwnnwwwo.',
    '..owwwwwwnbnwwo.',
    '..owwwwwwnwbnwo.',
    '..owwwnnnnwwnwo.',
    '..owwnbbbnwwwwo.',
    '..owwnbbnwwwwwo.',
    '..owwwnnwwwwwwo.',
    '..ooooooooooooo.',
]


def grey(colour):
    """The same picture greyed out, for an item that is not in the best."""
    r, g, b = colour
    level = (r * 30 + g * 59 + b * 11) / 100
    for limit, shade in ((80, 102), (170, 153), (235, 204)):
        if level < limit:
            return (shade,) * 3
    return (255, 255, 255)


def partly_folder(folder):
    """Left half in colour, right half greyed: some of the contents are in."""
    c = folder.copy()
    for y in range(c.height):
        for x in range(c.width):
            p = c.pixels[y][x]
            if p is not None and x + (15 - y) // 3 >= 10:
                c.pixels[y][x] = grey(p)
    return c


BOX_PALETTE = {
    'o': (102, 102, 102), 'w': (255, 255, 255), 'k': (0, 102, 0), 'K': (0, 153, 0),
    'g': (204, 204, 204), 'G': (153, 153, 153), 'h': (238, 238, 238),
}
BOX_EMPTY = [
    '................',
    '................',
    '.ooooooooooooo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.owwwwwwwwwwwo..',
    '.ooooooooooooo..',
    '................',
]
TICK = [
    '..........k',
    '.........kk',
    '........kKk',
    '.......kKk.',
    'k.....kKk..',
    'kk...kKk...',
    'kKk.kKk....',
    '.kKkKk.....',
    '..kKk......',
    '...k.......',
]


def box(ticked, greyed):
    palette = dict(BOX_PALETTE)
    if greyed:
        palette.update({'w': (221, 221, 221), 'k': (153, 153, 153), 'K': (187, 187, 187)})
    c = art(BOX_EMPTY, palette)
    if ticked:
        c.paste(art(TICK, palette), 2, 4)
    return c


# ----------------------------------------------------------------------------
# Button faces (25 x 23 on pure blue): new, save, delete


FACE_PALETTE = {
    # new: a green diamond with a white N
    'D': (0, 51, 0), 'g': (0, 153, 51), 'G': (51, 204, 102), 'L': (153, 255, 153), 'W': (255, 255, 255),
    # save: a wooden chest with gold fittings
    'B': (51, 0, 0), 'r': (153, 102, 51), 'R': (204, 153, 102), 'm': (102, 51, 0),
    'y': (255, 204, 0), 'Y': (255, 255, 153), 'k': (0, 0, 0),
    # delete: a grey waste bin
    'S': (51, 51, 51), 's': (153, 153, 153), 't': (204, 204, 204), 'T': (255, 255, 255), 'x': (102, 102, 102),
}
FACE_NEW = [
    '..........D..........',
    '.........DgD.........',
    '........DgLgD........',
    '.......DgLGGgD.......',
    '......DgLGGGGgD......',
    '.....DgLGGGGGGgD.....',
    '....DgLWWGGGWWGgD....',
    '...DgLGWWWGGWWGGgD...',
    '..DgLGGWWWWGWWGGGgD..',
    '.DgLGGGWWGWWWWGGGGgD.',
    'DgGGGGGWWGGWWWGGGGGgD',
    '.DgGGGGWWGGGWWGGGGgD.',
    '..DgGGGWWGGGGWGGGgD..',
    '...DgGGGGGGGGGGGgD...',
    '....DgGGGGGGGGGgD....',
    '.....DgGGGGGGGgD.....',
    '......DgGGGGGgD......',
    '.......DgGGGgD.......',
    '........DgggD........',
    '.........DgD.........',
    '..........D..........',
]
FACE_SAVE = [
    '.....................',
    '.....................',
    '....BBBBBBBBBBBBB....',
    '...BRRRRRRRRRRRRRB...',
    '..BRRrrrrrrrrrrrRRB..',
    '..ByyyyyyyyyyyyyyyB..',
    '.BrRrrrrrrrrrrrrrRrB.',
    '.BrRrrrrrrrrrrrrrRrB.',
    '.BmmmmmmmmmmmmmmmmmB.',
    '.ByyyyyyyyyyyyyyyyyB.',
    '.BByyyyyyBBByyyyyyBB.',
    '.BrRrrrrBYyyBrrrrRrB.',
    '.BrRrrrrBykyBrrrrRrB.',
    '.BrRrrrrBykyBrrrrRrB.',
    '.BrRrrrrrBBBrrrrrRrB.',
    '.BrRrrrrrrrrrrrrrRrB.',
    '.BmmmmmmmmmmmmmmmmmB.',
    '.ByyyyyyyyyyyyyyyyyB.',
    '.BrRrrrrrrrrrrrrrRrB.',
    '.BmmmmmmmmmmmmmmmmmB.',
    '..BBBBBBBBBBBBBBBBB..',
]
FACE_DELETE = [
    '.....................',
    '........SSSSS........',
    '........S...S........',
    '..SSSSSSSSSSSSSSSSS..',
    '..StTTTTTTTTTTTTTtS..',
    '..SsssssssssssssssS..',
    '..SSSSSSSSSSSSSSSSS..',
    '...StTtsstsstsstssS..',
    '...StTtsxtsxtsxtsxS..',
    '...StTtsxtsxtsxtsxS..',
    '...StTtsxtsxtsxtsxS..',
    '...StTtsxtsxtsxtsxS..',
    '...StTtsxtsxtsxtsxS..',
    '....StTsxtsxtsxtsS...',
    '....StTsxtsxtsxtsS...',
    '....StTsxtsxtsxtsS...',
    '....StTsxtsxtsxtsS...',
    '....StTsxtsxtsxtsS...',
    '....SttsxtsxtsxtsS...',
    '.....SSSSSSSSSSSS....',
    '.....................',
]


def faces():
    """Nine faces: new, save, delete as normal, hot (lit up), pressed
    (one pixel down and right, darker)."""
    pictures = [art(FACE_NEW, FACE_PALETTE), art(FACE_SAVE, FACE_PALETTE),
                art(FACE_DELETE, FACE_PALETTE)]
    out = []
    for style in ('normal', 'hot', 'pressed'):
        for picture in pictures:
            face = Canvas(25, 23, BLUE_KEY)
            if style == 'hot':
                # Lit up: the colours brighten, the dark outline stays.
                face.paste(picture.map(lambda p: lighter(p) if max(p) > 51 else p), 2, 1)
            elif style == 'pressed':
                face.paste(picture.map(darker), 3, 2)
            else:
                face.paste(picture, 2, 1)
            out.append(face)
    return out


# ----------------------------------------------------------------------------
# Menu images (11 x 11 on the menu background) and the best check (9 x 9)


MENU_PALETTE = {
    'k': (0, 0, 0), 'K': (51, 51, 51), 'b': (0, 51, 153), 'B': (51, 102, 204), 'c': (102, 153, 255),
    'g': (0, 102, 0), 'G': (0, 153, 0), 'L': (102, 204, 102), 'r': (153, 0, 0), 'R': (204, 0, 0),
    'p': (255, 102, 102), 'w': (255, 255, 255), 'y': (255, 204, 0), 'Y': (255, 255, 153),
    'o': (153, 102, 0), 'h': (102, 102, 102), 'l': (204, 204, 204), 'n': (51, 0, 102),
    'v': (153, 51, 255), 'V': (204, 153, 255), 'm': (102, 51, 0), 'd': (204, 153, 102),
}
MENU_IMAGES = {
    146: [  # rewind: back to the start of the song
        '...........',
        '...........',
        'bb...b...b.',
        'bb..bb..bb.',
        'bb.bcb.bcb.',
        'bbbBBbbBBb.',
        'bb.bBb.bBb.',
        'bb..bb..bb.',
        'bb...b...b.',
        '...........',
        '...........',
    ],
    147: [  # best settings: a star for the chosen songs
        '.....n.....',
        '....nyn....',
        '....nyn....',
        'nnnnyYynnnn',
        'nyyyYYYyyyn',
        '.nyyYYYyyn.',
        '..nyyyyyn..',
        '..nyyoyyn..',
        '.nyyonoyyn.',
        '.nyon.noyn.',
        '.non...non.',
    ],
    148: [  # help: a question mark in a blue disc
        '...bbbbb...',
        '..bBBBBBb..',
        '.bBBwwwBBb.',
        'bBBwBBBwBBb',
        'bBBBBBBwBBb',
        'bBBBBBwBBBb',
        'bBBBBwBBBBb',
        'bBBBBBBBBBb',
        '.bBBBwBBBb.',
        '..bBBBBBb..',
        '...bbbbb...',
    ],
    149: [  # song information: the song's sheet
        '.hhhhhh....',
        '.hwwwwhh...',
        '.hwwwwhlh..',
        '.hwkkwhhhh.',
        '.hwwwwwwwh.',
        '.hwkkkkkwh.',
        '.hwwwwwwwh.',
        '.hwkkkkkwh.',
        '.hwwwwwwwh.',
        '.hwkkkwwwh.',
        '.hhhhhhhhh.',
    ],
    150: [  # next song
        '...........',
        '...........',
        '.b...b...bb',
        '.bb..bb..bb',
        '.bcb.bcb.bb',
        '.bBBbbBBbbb',
        '.bBb.bBb.bb',
        '.bb..bb..bb',
        '.b...b...bb',
        '...........',
        '...........',
    ],
    151: [  # play
        '...........',
        '...g.......',
        '...gg......',
        '...gLgg....',
        '...gLGGg...',
        '...gLGGGgg.',
        '...gLGGg...',
        '...gLgg....',
        '...gg......',
        '...g.......',
        '...........',
    ],
    152: [  # stop
        '...........',
        '...........',
        '..rrrrrrr..',
        '..rpppppr..',
        '..rpRRRRr..',
        '..rpRRRRr..',
        '..rpRRRRr..',
        '..rpRRRRr..',
        '..rrrrrrr..',
        '...........',
        '...........',
    ],
    153: None,  # version information: the program's own note, drawn below
    154: [  # exit: a door with an arrow leaving through it
        'mmmmmmm....',
        'mddddm.....',
        'mdmmdm..G..',
        'mdmmdm..GG.',
        'mddddGGGGLG',
        'mddkdGGGGGG',
        'mddddGGGGG.',
        'mdmmdm..GG.',
        'mdmmdm..G..',
        'mddddm.....',
        'mmmmmmm....',
    ],
}
VERSION_NOTE = [
    '.....nn....',
    '.....nvn...',
    '.....nvvn..',
    '.....nnvvn.',
    '.....n.nvn.',
    '.....n..nn.',
    '..nnnn...n.',
    '.nvVvvn....',
    'nvVvvvn....',
    'nvvvvn.....',
    '.nnnn......',
]
CHECK = [
    '.........',
    '.......kk',
    '......kkk',
    'k....kkk.',
    'kk..kkk..',
    'kkkkkk...',
    '.kkkk....',
    '..kk.....',
    '.........',
]


def menu_images():
    out = {}
    for resource, rows in MENU_IMAGES.items():
        picture = art(rows if rows else VERSION_NOTE, MENU_PALETTE)
        out[resource] = picture.fill_transparent(MENU_BACK)
    return out


def check_image():
    return art(CHECK, {'k': (0, 0, 0)}).fill_transparent(MENU_BACK)


# ----------------------------------------------------------------------------
# About animation: eleven 68 x 68 frames of a dancing note on pure blue


DANCER_INK = (0, 0, 0)
DANCER_BODY = (153, 51, 204)
DANCER_SHINE = (204, 102, 255)
DANCER_GLOSS = (255, 204, 255)
GLOVE = (255, 255, 255)
SHOE = (255, 102, 0)
EYE_WHITE = (255, 255, 255)
MOUTH = (204, 0, 51)
CHEEK = (255, 153, 153)


def dancer_parts(step, hop):
    """The note as a little dancer.  step runs from 0 (standing) to 1 (arms
    up, leg kicked out); hop lifts the body without moving the feet."""
    cx, head_y = 29.0, 44.0 - hop
    parts = []

    def limb(points, r, colour=DANCER_INK):
        parts.append(Part(Capsule(points, r), colour, None))

    # Legs from the bottom of the head; the right leg kicks out as step grows.
    left_foot = (cx - 7.0, 62.5)
    right_foot = (cx + 7.0 + 9.0 * step, 62.5 - 9.0 * step)
    limb([(cx - 4.0, head_y + 6.0), (cx - 6.0, 55.0), left_foot], 1.3)
    knee = (cx + 7.0 + 2.0 * step, 55.0 - 2.0 * step - hop * 0.5)
    limb([(cx + 3.0, head_y + 6.0), knee, right_foot], 1.3)
    parts.append(Part(Ellipse(left_foot[0] - 1.5, left_foot[1] + 0.3, 4.0, 2.4), SHOE, DANCER_INK))
    parts.append(Part(Ellipse(right_foot[0] + 1.5, right_foot[1] + 0.3, 4.0, 2.4, -25 * step), SHOE,
                      DANCER_INK))

    # Arms: the left one swings from the hip up over the head, the right one
    # reaches for the flag.
    a = math.radians(200 + 75 * step)
    left_hand = (cx - 9.0 + 13.0 * math.cos(a), head_y - 2.0 + 13.0 * math.sin(a))
    elbow = (cx - 9.0 + 8.0 * math.cos(a + 0.5), head_y - 2.0 + 8.0 * math.sin(a + 0.5))
    limb([(cx - 9.0, head_y - 1.0), elbow, left_hand], 1.2)
    b = math.radians(-10 - 50 * step)
    right_hand = (cx + 9.0 + 12.0 * math.cos(b), head_y - 2.0 + 12.0 * math.sin(b))
    limb([(cx + 9.0, head_y - 1.0), right_hand], 1.2)

    # The note: stem rising from the right of the head, flag waving.
    stem_x = cx + 6.5
    parts.append(Part(Polygon([(stem_x - 1.8, head_y - 1.0), (stem_x - 1.8, 6.0 - hop),
                               (stem_x + 1.8, 6.0 - hop), (stem_x + 1.8, head_y - 1.0)]),
                      DANCER_BODY, DANCER_INK))
    wave = 3.0 * step
    parts.append(Part(Capsule(curve((stem_x, 7.5 - hop), (stem_x + 15.0, 12.0 - hop - wave),
                                    (stem_x + 11.0 + wave, 27.0 - hop - wave)), 2.4),
                      DANCER_BODY, DANCER_INK))

    def head_colour(x, y):
        dx, dy = x - (cx - 4.0), y - (head_y - 3.0)
        if dx * dx + dy * dy < 6.0:
            return DANCER_GLOSS
        if (x - cx) * 0.35 + (y - head_y) < -1.0:
            return DANCER_SHINE
        return DANCER_BODY

    parts.append(Part(Ellipse(cx, head_y, 11.0, 8.0, -20), head_colour, DANCER_INK))

    # Face: eyes, cheeks and a smile that widens with the dance.
    for ex in (cx - 4.5, cx + 2.0):
        parts.append(Part(Ellipse(ex, head_y - 1.0, 2.0, 2.6), EYE_WHITE, DANCER_INK))
        parts.append(Part(Ellipse(ex + 0.6 + step * 0.4, head_y - 0.6, 0.9, 1.3), DANCER_INK, None))
    parts.append(Part(Ellipse(cx - 7.5, head_y + 2.5, 1.6, 1.0), CHEEK, None))
    parts.append(Part(Ellipse(cx + 5.5, head_y + 1.5, 1.6, 1.0), CHEEK, None))
    parts.append(Part(Capsule(curve((cx - 3.0, head_y + 3.0), (cx - 1.0, head_y + 5.0 + 1.5 * step),
                                    (cx + 1.5, head_y + 2.5)), 0.7), MOUTH, None))

    # Gloves last, over everything they touch.
    for hand in (left_hand, right_hand):
        parts.append(Part(Ellipse(hand[0], hand[1], 2.6, 2.6), GLOVE, DANCER_INK))
    return parts


def about_frames():
    """Frame 0 stands, frame 1 bobs down for the bounce, frames 2 to 10 sweep
    from a small lean to the full kick; the view plays 0,1,0,1,2..10,9..1."""
    settings = [(0.0, 0.0, 0.0), (0.0, -2.0, 0.0)]
    for i in range(9):
        t = i / 8.0
        ease = 0.5 - 0.5 * math.cos(math.pi * t)
        settings.append((ease, 2.0 * math.sin(math.pi * t), -4.0 + 16.0 * ease))
    frames = []
    for step, hop, lean in settings:
        pose = Pose(lean, (34.0, 64.0), (0.0, 0.0))
        figure = render(68, 68, dancer_parts(step, hop), pose, samples=3)
        frames.append(figure.fill_transparent(BLUE_KEY))
    return frames


# ----------------------------------------------------------------------------


def pictures():
    """Every file of resources/images/: name -> bytes."""
    files = {}
    a16, a32, b16 = tray_images()
    files['note_a.ico'] = ico8([a32, a16])
    files['note_b.ico'] = ico8([b16])

    folder = art(FOLDER, FOLDER_PALETTE)
    midi_file = art(MIDI_FILE, FILE_PALETTE)
    files['folder.ico'] = ico8([folder])
    files['folder_unchecked.ico'] = ico8([folder.map(grey)])
    files['folder_partly.ico'] = ico8([partly_folder(folder)])
    files['file.ico'] = ico8([midi_file])
    files['file_unchecked.ico'] = ico8([midi_file.map(grey)])
    files['box_empty.ico'] = ico8([box(False, False)])
    files['box_ticked.ico'] = ico8([box(True, False)])
    files['box_partly.ico'] = ico8([box(True, True)])

    names = ['new', 'save', 'delete']
    for i, face in enumerate(faces()):
        style = ('normal', 'hot', 'pressed')[i // 3]
        files['button_%s_%s.bmp' % (names[i % 3], style)] = bmp8(face)

    menu_names = {146: 'rewind', 147: 'best_settings', 148: 'help', 149: 'song_info',
                  150: 'next', 151: 'play', 152: 'stop', 153: 'version', 154: 'exit'}
    for resource, picture in menu_images().items():
        files['menu_%s.bmp' % menu_names[resource]] = bmp8(picture)
    files['check.bmp'] = bmp8(check_image())

    for i, frame in enumerate(about_frames()):
        files['about_%02d.bmp' % i] = bmp8(frame)
    return files


def main():
    """Writes the pictures, or with --check reports the committed files that
    differ from what this script draws (exit code 1)."""
    here = os.path.dirname(os.path.abspath(__file__))
    args = sys.argv[1:]
    check = '--check' in args
    args = [a for a in args if a != '--check']
    out = args[0] if args else os.path.join(here, 'images')
    files = pictures()
    if check:
        stale = []
        for name, data in sorted(files.items()):
            path = os.path.join(out, name)
            if not os.path.isfile(path) or open(path, 'rb').read() != data:
                stale.append(name)
        for name in stale:
            print('differs from its drawing: %s' % name)
        return 1 if stale else 0
    os.makedirs(out, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
