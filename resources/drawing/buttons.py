"""Button faces (25 x 23 on pure blue): new, save, delete."""

from drawing.canvas import BLUE_KEY, Canvas, art, darker, lighter
from drawing.tree import grey


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
