"""Writers."""

import struct


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


def bmp32(canvas):
    """A 32-bit BMP with alpha, transparent pixels all zero.  Every other
    pixel is opaque, so its colour is already premultiplied, which is what
    a menu needs of its item bitmaps to blend them over its background."""
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        for p in canvas.pixels[y]:
            pixels += b'\0\0\0\0' if p is None else struct.pack('<BBBB', p[2], p[1], p[0], 255)
    offset = 14 + 40
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 32, 0, len(pixels),
                       2835, 2835, 0, 0)
    return header + info + bytes(pixels)


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
