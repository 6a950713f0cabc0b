#!/usr/bin/env python3
"""Draws the program's bitmaps and icons into resources/images/.

The pictures themselves are drawn in resources/drawing/, one module per
family (tray note, tree, buttons, menu, About frames); this script writes
them out.

    python3 resources/make_images.py [--check] [output-folder]

Standard library only: the BMP and ICO bytes are written here.  Every
picture is pixel art on a fixed palette, with hard edges, because the
program shows most of them through 8-bit image lists with a 1-bit mask:
soft edges would turn into coloured fringes there.  The menu pictures
are 32-bit with alpha instead: a menu draws its item bitmaps alpha-blended.  Colours come from the
6 x 6 x 6 colour cube (channel steps of 51), which an 8-bit image list holds
exactly, so nothing is dithered away.

Run it again after changing a picture and commit the files it writes.
"""

import os
import sys

from drawing.about import about_frames
from drawing.buttons import faces
from drawing.formats import bmp8, bmp32, ico8
from drawing.menu import check_image, menu_images
from drawing.tray import tray_images
from drawing.tree import FILE_PALETTE, FOLDER, FOLDER_PALETTE, MIDI_FILE, box, grey, partly_folder
from drawing.canvas import art
# ----------------------------------------------------------------------------


def pictures():
    """Every file of resources/images/: name -> bytes."""
    files = {}
    a, b = tray_images()
    files['note_a.ico'] = ico8(list(reversed(a)))
    files['note_b.ico'] = ico8(list(reversed(b)))

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
        files['menu_%s.bmp' % menu_names[resource]] = bmp32(picture)
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
