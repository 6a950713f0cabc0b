"""Tree images (16 x 16): folder, file, check boxes."""

from drawing.canvas import art


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
