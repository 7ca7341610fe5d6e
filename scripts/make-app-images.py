#!/usr/bin/env python3
"""Writes the main window's image strips (16 and 32 pixels), the dialogs' strip and the program
icon from the pixel drawings below. Usage: make-app-images.py OUTPUT_FOLDER. Magenta is
transparent."""
import struct
import sys

PALETTE = {
    '.': (255, 0, 255),  # transparent (mask colour)
    'k': (0, 0, 0),
    'w': (255, 255, 255),
    'l': (200, 200, 200),
    'g': (128, 128, 128),
    'y': (240, 200, 60),
    'o': (200, 140, 20),
    'b': (40, 90, 200),
    'c': (150, 190, 240),
    'G': (40, 150, 60),
    'm': (192, 220, 192),  # the key column's money green
    'r': (200, 40, 40),
}

GLYPHS = [
    # 0 new
    """
................
...kkkkkkkk.....
...kwwwwwwkk....
...kwwwwwwkwk...
...kwwwwwwkkkk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kwwwwwwwwwk..
...kkkkkkkkkkk..
................
""",
    # 1 open
    """
................
................
..kkkk..........
.kyyyyk.........
.kyyyykkkkkkk...
.kyyyyyyyyyyk...
.kyyykkkkkkkkkkk
.kyyko.........k
.kykooooooooook.
.kykooooooooook.
.kkooooooooook..
.kkooooooooook..
.kkkkkkkkkkkk...
................
................
................
""",
    # 2 save
    """
................
.kkkkkkkkkkkkkk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbkwwwwwwwwkbk.
.kbbkkkkkkkkbbk.
.kbbbbbbbbbbbbk.
.kbbkkkkkkkkbbk.
.kbbklllkkkkbbk.
.kbbklllkkkkbbk.
.kbbklllkkkkbbk.
.kbbklllkkkkbbk.
..kkkkkkkkkkkkk.
................
................
""",
    # 3 sort
    """
................
...k.......kkkk.
..kkk.........k.
.kkkkk.......k..
...k........k...
...k.......kkkk.
...k............
...k............
...k.......kkkk.
...k......k...k.
...k......kkkkk.
.kkkkk....k...k.
..kkk.....k...k.
...k............
................
................
""",
    # 4 join
    """
................
kkkkkk....kkkkkk
kbbbbk....kGGGGk
kkkkkk....kkkkkk
kwwwwk....kwwwwk
kkkkkk....kkkkkk
...kk......kk...
....kk....kk....
.....kkkkkk.....
..kkkkkkkkkkkk..
..kbbbbbkGGGGk..
..kkkkkkkkkkkk..
..kwwwwwkmmmmk..
..kkkkkkkkkkkk..
..kwwwwwkmmmmk..
..kkkkkkkkkkkk..
""",
    # 5 browse for a CSV file
    """
................
..kkkkkkkkk.....
..kwwwwwwwkk....
..kwkkkkkwkwk...
..kwkckckwkkkk..
..kwkkkkkkkwwk..
..kwkckckckwwk..
..kwkkkkkkkwwk..
..kwkckckckwwk..
..kwkkkkkkkwwk..
..kwwwwwwwwwwk..
..kwwwwwwkkkkkkk
..kwwwwwwkyyyyyk
..kkkkkkkkyyyyyk
.........kkkkkkk
................
""",
    # 6 batch file
    """
................
kkkkkkkkkkkkkkkk
kbbbbbbbbbbbbwbk
kkkkkkkkkkkkkkkk
kkkkkkkkkkkkkkkk
kkwkkkkkkkkkkkkk
kkkwkkkkkkkkkkkk
kkkkwkkkkkkkkkkk
kkkwkkkkkkkkkkkk
kkwkkkwwwwkkkkkk
kkkkkkkkkkkkkkkk
kkkkkkkkkkkkkkkk
kkkkkkkkkkkkkkkk
kkkkkkkkkkkkkkkk
kkkkkkkkkkkkkkkk
................
""",
    # 7 help
    """
................
.....kkkkkk.....
...kkbbbbbbkk...
..kbbbwwwwbbbk..
..kbbwwbbwwbbk..
.kbbbbbbbwwbbbk.
.kbbbbbbwwbbbbk.
.kbbbbbwwbbbbbk.
.kbbbbbwwbbbbbk.
.kbbbbbbbbbbbbk.
..kbbbbwwbbbbk..
..kbbbbwwbbbbk..
...kkbbbbbbkk...
.....kkkkkk.....
................
................
""",
    # 8 settings
    """
................
.kkkkkkkkkkkkkk.
.kwwwwwwwwwwwwk.
.kwkkkkwwwwwwwk.
.kwkGwkwkkkkkwk.
.kwkwGkwwwwwwwk.
.kwkkkkwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwkkkkwwwwwwwk.
.kwkGwkwkkkkkwk.
.kwkwGkwwwwwwwk.
.kwkkkkwwwwwwwk.
.kwwwwwwwwwwwwk.
.kkkkkkkkkkkkkk.
................
................
""",
]


def rows_of(glyph):
    rows = [r for r in glyph.strip('\n').split('\n')]
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), glyph
    return rows


def scaled(rows, factor):
    out = []
    for r in rows:
        line = ''.join(ch * factor for ch in r)
        out.extend([line] * factor)
    return out


def bmp_24(pixels):
    """pixels: list of rows of RGB, top first. A bottom-up 24-bit BMP."""
    height = len(pixels)
    width = len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def strip(size, indices=None):
    factor = size // 16
    chosen = GLYPHS if indices is None else [GLYPHS[i] for i in indices]
    glyphs = [scaled(rows_of(g), factor) for g in chosen]
    pixels = []
    for y in range(size):
        row = []
        for g in glyphs:
            row.extend(PALETTE[ch] for ch in g[y])
        pixels.append(row)
    return bmp_24(pixels)


def icon_image(rows):
    """One 32-bit icon image (BITMAPINFOHEADER, BGRA bottom-up, AND mask)."""
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):
        for ch in row:
            if ch == '.':
                xor += bytes((0, 0, 0, 0))
            else:
                r, g, b = PALETTE[ch]
                xor += bytes((b, g, r, 255))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, ch in enumerate(row):
            if ch == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0,
                       0, 0)
    return info + bytes(xor) + bytes(mask)


def icon():
    base = rows_of(GLYPHS[4])
    images = [icon_image(scaled(base, f)) for f in (1, 2, 3)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for f, img in zip((1, 2, 3), images):
        size = 16 * f
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    return out


def main():
    folder = sys.argv[1]
    with open(f'{folder}/Images16.bmp', 'wb') as f:
        f.write(strip(16))
    with open(f'{folder}/Images32.bmp', 'wb') as f:
        f.write(strip(32))
    # The join window's and the dialogs' own list: 0 browse, 1 batch file, 2 save.
    with open(f'{folder}/DialogImages16.bmp', 'wb') as f:
        f.write(strip(16, [5, 6, 2]))
    with open(f'{folder}/Kolvane.ico', 'wb') as f:
        f.write(icon())


main()
