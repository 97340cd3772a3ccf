#!/usr/bin/env python3
"""Draws examples/logo.bmp: a 64 x 32, 8-bit picture of a small ship over a starry sky.

It uses 16 colours (entry 0 is the black sky, which becomes transparent by default), so it converts
to every layout: Index256 by default, Index16 with -c4 and FullColor16 with -c16.
"""
import struct
import sys

WIDTH, HEIGHT = 64, 32
PALETTE = [  # red, green, blue
    (0, 0, 0), (255, 255, 255), (248, 208, 48), (232, 96, 32), (40, 120, 224), (120, 200, 248),
    (200, 48, 48), (96, 96, 112), (168, 168, 184), (56, 160, 72), (136, 216, 120), (80, 40, 120),
    (248, 152, 200), (24, 24, 40), (160, 104, 56), (248, 248, 160),
]


def draw():
    rows = [[0] * WIDTH for _ in range(HEIGHT)]  # top row first
    for i in range(40):  # stars, placed by a fixed little generator
        x, y = (i * 37 + 11) % WIDTH, (i * 23 + 5) % HEIGHT
        rows[y][x] = 1 if i % 3 else 15
    hull = ["    88888888        ", "  8888888888888     ", " 88855558888888888  ",
            "8888555588888888888 ", " 66666666666666666  ", "  777777777777777   "]
    for dy, line in enumerate(hull):
        for dx, ch in enumerate(line):
            if ch != " ":
                rows[12 + dy][20 + dx] = int(ch)
    for dx in range(6):  # exhaust flame
        rows[15][14 + dx] = 2 if dx % 2 else 3
        rows[16][15 + dx] = 3
    for x in range(WIDTH):  # ground
        rows[HEIGHT - 3][x] = 9
        rows[HEIGHT - 2][x] = 10 if x % 4 else 9
        rows[HEIGHT - 1][x] = 14
    return rows


def bmp(rows):
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    pixels = b"".join(bytes(row) for row in reversed(rows))  # BMP rows are stored bottom-up
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835,
                       len(PALETTE), 0)
    return header + info + table + pixels


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/logo.bmp"
    with open(out, "wb") as f:
        f.write(bmp(draw()))
