#!/usr/bin/env python3
"""Writes the crash-report dialogs' bitmaps (24-bit .bmp) from the drawings below.
Usage: make-dialog-bitmaps.py [OUTPUT_FOLDER] (default: src/crash/dialogs beside this script).
The colour of the top-left pixel is the transparent one: every bitmap keeps a background border
there. The build does not run this script; its outputs are committed."""
import math
import os
import struct
import sys

BACK = (255, 0, 255)  # transparent (the top-left pixel)

PALETTE = {
    '.': BACK,
    'k': (0, 0, 0),
    'w': (255, 255, 255),
    'l': (210, 210, 210),
    'g': (128, 128, 128),
    'y': (245, 205, 70),
    'o': (190, 130, 30),
    'b': (40, 90, 200),
    'c': (160, 200, 245),
    'G': (40, 150, 60),
    'r': (200, 40, 40),
    'n': (20, 40, 120),
}


def from_drawing(text):
    rows = [r for r in text.strip('\n').split('\n')]
    width = len(rows[0])
    assert all(len(r) == width for r in rows), 'ragged drawing'
    return [[PALETTE[ch] for ch in row] for row in rows]


def write_bmp(path, pixels):
    """A bottom-up 24-bit BMP with 4-byte aligned rows."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def canvas(size):
    return [[BACK] * size for _ in range(size)]


def error_sign():
    """A red disc with a dark rim and a white diagonal cross, 32 x 32."""
    img = canvas(32)
    cx = cy = 15.5
    for y in range(32):
        for x in range(32):
            d = math.hypot(x - cx, y - cy)
            if d <= 13.5:
                img[y][x] = (150, 20, 20) if d > 12.2 else (215, 40, 40)
    for t in range(-6, 7):
        for w in (-1, 0, 1):
            for (x, y) in ((16 + t + w, 16 + t), (16 + t + w, 15 - t)):
                img[y][x] = (255, 255, 255)
    return img


def envelope_with_arrow():
    """A white envelope with a dark outline and flap, a green arrow leaving it, 32 x 32."""
    img = canvas(32)
    left, top, right, bottom = 2, 9, 23, 25
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, right) or y in (top, bottom)
            img[y][x] = (60, 60, 60) if edge else (250, 250, 240)
    # The flap: two lines from the top corners to the middle.
    mid = (left + right) // 2
    span = mid - left
    for i in range(span + 1):
        y = top + (i * 8) // span
        img[y][left + i] = (60, 60, 60)
        img[y][right - i] = (60, 60, 60)
    # The arrow: a shaft to the right and up, with a head.
    green = (30, 150, 50)
    for x in range(17, 27):
        for y in (5, 6):
            img[y][x] = green
    for i in range(6):
        for y in range(6 - i, 6 + i + 1):
            img[y][29 - i] = green
    return img


MODULE_DLL = """
................
..kkkkkkkkkkkk..
..kccccccccccko.
..kcbbbbbbbbcko.
..kccccccccccko.
..kwwwwwwwwwwko.
..kwggggggggwko.
..kwwwwwwwwwwko.
..kwggggggwwwko.
..kwwwwwwwwwwko.
..kwggggggggwko.
..kwwwwwwwwwwko.
..kkkkkkkkkkkko.
...oooooooooooo.
..k.k.k..k.k.k..
................
"""

PACKAGE_BPL = """
................
................
.kkkkkkkkkkkkkk.
.kyyyyyrryyyyyk.
.kyyyyyrryyyyyk.
.kkkkkkkkkkkkkk.
..koooorrooook..
..koooorrooook..
..koooorrooook..
..krrrrrrrrrrk..
..koooorrooook..
..koooorrooook..
..koooorrooook..
..kkkkkkkkkkkk..
................
................
"""

PROGRAM_VCL = """
................
.kkkkkkkkkkkkkk.
.knnnnnnnnnwnwk.
.kkkkkkkkkkkkkk.
.kwwwwwwwwwwwwk.
.kwGGGGwwwwwwwk.
.kwwwwwwwwwwwwk.
.kwcccccccccwwk.
.kwcbbbbbbbcwwk.
.kwcccccccccwwk.
.kwwwwwwwwwwwwk.
.kwwwwwwwGGGwwk.
.kwwwwwwwwwwwwk.
.kkkkkkkkkkkkkk.
................
................
"""

SOURCE_PAS = """
................
..kkkkkkkkk.....
..kwwwwwwwkk....
..kwwwwwwwkwk...
..kwbbbwwwkkkk..
..kwwwwwwwwwwk..
..kwwbbbbbwwwk..
..kwwwwwwwwwwk..
..kwwbbbbwwwwk..
..kwwwwwwwwwwk..
..kwbbbbbbbwwk..
..kwwwwwwwwwwk..
..kwwrrrrwwwwk..
..kwwwwwwwwwwk..
..kkkkkkkkkkkk..
................
"""

# The signs sit at (1, 1) of a row; the box covers the row's pixels 2 to 12, where a click
# counts as one on the sign.
SIGN_PLUS = """
.............
.ggggggggggg.
.gwwwwwwwwwg.
.gwwwwkwwwwg.
.gwwwwkwwwwg.
.gwwwwkwwwwg.
.gwkkkkkkkwg.
.gwwwwkwwwwg.
.gwwwwkwwwwg.
.gwwwwkwwwwg.
.gwwwwwwwwwg.
.ggggggggggg.
.............
"""

SIGN_MINUS = """
.............
.ggggggggggg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.gwkkkkkkkwg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.gwwwwwwwwwg.
.ggggggggggg.
.............
"""

# File name -> pixels; the resource names are in ClDialogBitmaps.rc.
BITMAPS = {
    'ClErrorBitmap.bmp': error_sign(),
    'ClSendBitmap.bmp': envelope_with_arrow(),
    'ClDllBitmap.bmp': from_drawing(MODULE_DLL),
    'ClBplBitmap.bmp': from_drawing(PACKAGE_BPL),
    'ClVclBitmap.bmp': from_drawing(PROGRAM_VCL),
    'ClPasBitmap.bmp': from_drawing(SOURCE_PAS),
    'ClPlusBitmap.bmp': from_drawing(SIGN_PLUS),
    'ClMinusBitmap.bmp': from_drawing(SIGN_MINUS),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'src', 'crash', 'dialogs')
    for name, pixels in BITMAPS.items():
        assert pixels[0][0] == BACK, name + ': the top-left pixel must be the background'
        write_bmp(os.path.join(out, name), pixels)


if __name__ == '__main__':
    main()
