#!/usr/bin/env python3
"""Draws the example game's sprites with Pillow, 32 x 32 pixels each, into examples/sprites/:

sprite.png       an indexed slime whose background is palette entry 0, transparent in the file
                 (tRNS): bmp2tvx converts it without flags, to Index256 with entry 0 transparent;
sprite_rgba.png  the same slime as RGBA, its background alpha 0: converted with -c4;
slime_kept.png   the slime kept as GBA art is: an indexed PNG with no transparency in the file,
                 entry 0 a teal background and entry 1 a black outline; bmp2tvx's black key
                 would move a black entry (the pupils, at 5) to entry 0 and the teal to 5,
                 making the pupils transparent and the background solid; --key=none keeps
                 every index as it is;
walk.png         a sprite sheet: four 32 x 32 frames of the slime side by side (128 x 32), as it
                 bounces, indexed with entry 0 transparent: converted with --frame=32x32, its
                 tiles come out frame by frame, as the handheld's objects take them;
knight.png       two true-colour (24-bit RGB) sprites drawn with the same colours on a magenta
ghost.png        background, whose colours first appear in different orders: each converted
                 alone would get a palette of its own;
bank1.gpl        the GIMP palette of those colours, magenta first: converted with
                 --palette=bank1.gpl, both sprites get this palette, and the magenta (entry 0)
                 becomes transparent.
"""
import os
import sys

from PIL import Image

SIZE = 32

# The slime: 0 background, 1 outline, 2 body, 3 shine, 4 eye white, 5 pupil (opaque black).
SLIME_COLOURS = [(0, 0, 0), (24, 40, 56), (72, 184, 96), (168, 232, 144), (248, 248, 248),
                 (0, 0, 0)]

# The same slime as GBA art keeps it: entry 0 the transparent colour, a teal no pixel shows, and
# the outline black.
SLIME_KEPT_COLOURS = [(0, 128, 128), (0, 0, 0)] + SLIME_COLOURS[2:]

# The bank's colours, entry 0 first; the names are the palette file's.
BANK1 = [((255, 0, 255), "background"), ((40, 24, 64), "outline"), ((216, 40, 56), "red"),
         ((248, 144, 32), "orange"), ((248, 224, 96), "yellow"), ((248, 248, 248), "white"),
         ((48, 96, 200), "blue")]


def blank():
    return [[0] * SIZE for _ in range(SIZE)]


def slime(lift=0, squash=0.0):
    """`lift` rows higher, and flattened by `squash` (a fraction of its height)."""
    rows = blank()
    top = 13.5 * (1.0 - squash)
    for y in range(0, 30):  # a dome: half an ellipse 13.5 high above row 21.5, 8 below it
        for x in range(1, 31):
            dx = (x - 15.5) / (13.5 * (1.0 + squash / 2))
            dy = (y + lift - 21.5) / (top if y + lift < 22 else 8.0)
            inside = dx * dx + dy * dy
            if inside <= 1.0:
                rows[y][x] = 1 if inside > 0.78 else 2
    for x, y in [(9, 13), (10, 12), (11, 12), (9, 14)]:
        rows[y - lift][x] = 3
    for ex in (11, 19):
        for y in range(16, 21):
            for x in range(ex, ex + 3):
                rows[y - lift][x] = 4
        rows[18 - lift][ex + 1] = rows[19 - lift][ex + 1] = 5
    return rows


def walk():
    """Four frames of the slime bouncing, side by side: resting, squashed, rising, in the air."""
    frames = [slime(), slime(squash=0.25), slime(lift=3), slime(lift=6)]
    return [sum((frame[y] for frame in frames), []) for y in range(SIZE)]


def knight():
    """Outline, then blue, white, red, yellow: the order a tile-by-tile reading meets them."""
    rows = blank()
    for y in range(4, 14):  # helmet
        for x in range(9, 23):
            rows[y][x] = 1 if y in (4, 13) or x in (9, 22) else 6
    for x in range(12, 20):
        rows[9][x] = 5  # visor
    for y in range(14, 28):  # body
        for x in range(7, 25):
            rows[y][x] = 1 if y in (14, 27) or x in (7, 24) else 2
    for y in range(18, 24):  # belt buckle
        for x in range(13, 19):
            rows[y][x] = 4
    for y in range(28, 31):  # feet
        for x in list(range(9, 14)) + list(range(18, 23)):
            rows[y][x] = 1
    return rows


def ghost():
    """Orange, yellow, outline, white: another order than the knight's."""
    rows = blank()
    for y in range(3, 29):
        for x in range(5, 27):
            dx, dy = (x - 15.5) / 10.5, (y - 14.0) / 11.0
            if y < 14 and dx * dx + dy * dy > 1.0:
                continue
            if y > 25 and (x // 4) % 2:
                continue  # the ragged hem
            rows[y][x] = 3 if y > 8 else 4
    for ex in (10, 18):
        for y in range(12, 17):
            for x in range(ex, ex + 4):
                rows[y][x] = 5 if y < 16 else 1
    for x in range(11, 21):
        rows[21][x] = 1  # mouth
    return rows


def indexed(rows, colours, path, transparency=True):
    image = Image.new("P", (len(rows[0]), len(rows)))
    image.putpalette([c for colour in colours for c in colour])
    image.putdata([p for row in rows for p in row])
    if transparency:
        image.save(path, transparency=0)
    else:
        image.save(path)


def rgba(rows, colours, path):
    image = Image.new("RGBA", (SIZE, SIZE))
    image.putdata([colours[p] + ((0,) if p == 0 else (255,)) for row in rows for p in row])
    image.save(path)


def rgb(rows, path):
    image = Image.new("RGB", (SIZE, SIZE))
    image.putdata([BANK1[p][0] for row in rows for p in row])
    image.save(path)


def gimp_palette(path):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("GIMP Palette\nName: bank1\nColumns: 8\n#\n")
        for (r, g, b), name in BANK1:
            f.write(f"{r:3} {g:3} {b:3}\t{name}\n")


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/sprites"
    indexed(slime(), SLIME_COLOURS, os.path.join(out, "sprite.png"))
    rgba(slime(), SLIME_COLOURS, os.path.join(out, "sprite_rgba.png"))
    indexed(slime(), SLIME_KEPT_COLOURS, os.path.join(out, "slime_kept.png"), transparency=False)
    indexed(walk(), SLIME_COLOURS, os.path.join(out, "walk.png"))
    rgb(knight(), os.path.join(out, "knight.png"))
    rgb(ghost(), os.path.join(out, "ghost.png"))
    gimp_palette(os.path.join(out, "bank1.gpl"))
