"""Menu images (11 x 11, transparent around the picture) and the best check
(9 x 9, on the menu background)."""

from drawing.canvas import MENU_BACK, art


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
        # Transparent where the menu shows through: alpha 0 in the 32-bit bitmap.
        out[resource] = picture
    return out


def check_image():
    return art(CHECK, {'k': (0, 0, 0)}).fill_transparent(MENU_BACK)
