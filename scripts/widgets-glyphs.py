#!/usr/bin/env python3
"""Draws the image button's kind glyphs: ten 18 x 18 images in one 180 x 18 bitmap of 16
colours, olive (128, 128, 0) for the transparent pixels. Glyph order: help, no, OK, yes,
cancel, close, retry, all, abort, ignore. Usage: widgets-glyphs.py OUT.bmp"""
import math
import struct
import sys

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GRAY, RED, LIME, YELLOW, BLUE, \
    FUCHSIA, AQUA, WHITE = range(16)
S = 18


class Glyph:
    def __init__(self):
        self.px = [[OLIVE] * S for _ in range(S)]

    def each(self, inside, colour):
        for y in range(S):
            for x in range(S):
                if inside(x + 0.5, y + 0.5):
                    self.px[y][x] = colour

    def disk(self, cx, cy, r, colour):
        self.each(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r, width, colour):
        self.each(lambda x, y: r - width <= math.hypot(x - cx, y - cy) <= r, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        def near(x, y):
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
            return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
        self.each(near, colour)

    def rect(self, x0, y0, x1, y1, colour):
        self.each(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, colour)


def check(g, dx, colour):
    g.line(3 + dx, 9, 7 + dx, 13.5, 2.6, colour)
    g.line(7 + dx, 13.5, 15 + dx, 4, 2.6, colour)


def glyphs():
    out = []
    g = Glyph()  # help: a question mark in a blue disk
    g.disk(9, 9, 8.5, BLUE)
    g.ring(9, 9, 8.5, 1, NAVY)
    g.each(lambda x, y: 1.6 <= math.hypot(x - 9, y - 6.5) <= 3.4 and not (x < 9 and y > 6.5),
           WHITE)
    g.rect(8, 9, 10, 11, WHITE)
    g.rect(8, 13, 10, 15, WHITE)
    out.append(g)
    g = Glyph()  # no: a red ring crossed out
    g.disk(9, 9, 8.5, WHITE)
    g.ring(9, 9, 8.5, 2.4, RED)
    g.line(4, 4, 14, 14, 2.4, RED)
    out.append(g)
    g = Glyph()  # OK: a green check mark
    check(g, 0, GREEN)
    out.append(g)
    g = Glyph()  # yes: a check mark in a green disk
    g.disk(9, 9, 8.5, GREEN)
    g.line(4.5, 9, 7.5, 12.5, 2.2, WHITE)
    g.line(7.5, 12.5, 13.5, 5.5, 2.2, WHITE)
    out.append(g)
    g = Glyph()  # cancel: a red cross
    g.line(4, 4, 14, 14, 3, RED)
    g.line(14, 4, 4, 14, 3, RED)
    out.append(g)
    g = Glyph()  # close: a door with an arrow leaving it
    g.rect(3, 2, 11, 16, NAVY)
    g.rect(4.5, 3.5, 9.5, 14.5, TEAL)
    g.rect(8, 8.5, 9, 9.5, YELLOW)
    g.line(10, 9, 16, 9, 2, GREEN)
    g.line(16, 9, 13.5, 6.5, 2, GREEN)
    g.line(16, 9, 13.5, 11.5, 2, GREEN)
    out.append(g)
    g = Glyph()  # retry: a circular arrow
    g.each(lambda x, y: 4.5 <= math.hypot(x - 9, y - 9.5) <= 7 and not (x > 9 and y < 9.5),
           TEAL)
    g.line(9, 3.7, 15, 3.7, 1, TEAL)
    g.each(lambda x, y: x >= 11 and abs(y - 3.7) <= (16 - x) * 0.9 and x <= 16, TEAL)
    out.append(g)
    g = Glyph()  # all: two check marks
    check(g, -2, GREEN)
    check(g, 2, LIME)
    out.append(g)
    g = Glyph()  # abort: a red octagon with a white bar
    g.each(lambda x, y: abs(x - 9) <= 8 and abs(y - 9) <= 8 and abs(x - 9) + abs(y - 9) <= 11,
           RED)
    g.rect(4, 8, 14, 10, WHITE)
    out.append(g)
    g = Glyph()  # ignore: an arrow past a bar
    g.line(2, 9, 13, 9, 2.4, BLUE)
    g.line(13, 9, 9, 5, 2.4, BLUE)
    g.line(13, 9, 9, 13, 2.4, BLUE)
    g.rect(14.5, 3, 16, 15, GRAY)
    out.append(g)
    return out


def write_bmp(path, images):
    width, height = S * len(images), S
    row = (width * 4 + 31) // 32 * 4
    pixels = bytearray()
    for y in reversed(range(height)):
        line = [c for g in images for c in g.px[y]]
        packed = bytearray((line[i] << 4) | line[i + 1] for i in range(0, width, 2))
        pixels += packed + bytes(row - len(packed))
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, 'wb') as f:
        f.write(header + info + palette + pixels)


if __name__ == '__main__':
    write_bmp(sys.argv[1], glyphs())
