#!/usr/bin/env python3
"""Draws the example game's backgrounds with Pillow into examples/backgrounds/:

field.png  a 512 x 512 true-colour (RGB) landscape of 64 x 64 cells: grass, flowers, trees, a
           lake with its beach and a bridge, a stone wall and a sandy path. Its 28 colours come
           in families (greens, blues, sands, greys, wood, tree and flower colours) whose cells
           mix at most two, so no cell has more than 15 colours, but no fewer than three
           16-colour banks hold them all. Converted with -c4 --map, its cells repeat and mirror
           one another (edges facing up and down, left and right, are flips of one tile), so 64
           distinct tiles stand for its 4,096 cells;
dial.png   a 256 x 256 indexed compass dial whose background, outside the dial, is entry 0 and
           transparent in the file (tRNS): converted with -c8 --map=affine for an affine
           background, at most 256 distinct tiles and no flips.
"""
import math
import os
import sys

from PIL import Image

GRASS = [(56, 144, 56), (72, 168, 64), (48, 120, 48), (96, 184, 80)]
FLOWER = [(224, 48, 64), (248, 216, 64), (248, 248, 240)]
WATER = [(40, 88, 200), (56, 112, 224), (32, 72, 176), (88, 144, 240), (232, 240, 248)]
SAND = [(224, 200, 136), (208, 184, 120), (240, 216, 160), (192, 168, 104)]
STONE = [(128, 128, 136), (152, 152, 160), (104, 104, 112), (176, 176, 184), (56, 56, 64)]
TREE = [(24, 88, 40), (32, 104, 48), (112, 72, 40), (88, 56, 32)]
WOOD = [(160, 112, 64), (136, 88, 48), (96, 64, 32)]

CELLS = 64  # the field is CELLS x CELLS cells of 8 x 8 pixels


def mix(seed, x, y):
    """A small fixed hash: the same picture on every run and every system."""
    h = (seed * 0x9E3779B1 + x * 0x85EBCA77 + y * 0xC2B2AE3D) & 0xFFFFFFFF
    h ^= h >> 15
    h = (h * 0x2C1B3C6D) & 0xFFFFFFFF
    return h ^ (h >> 12)


def speckle(colours, seed):
    return [[colours[mix(seed, x, y) % len(colours)] for x in range(8)] for y in range(8)]


def terrain(cx, cy):
    dx, dy = (cx - 42) / 15.0, (cy - 20) / 11.0
    if dx * dx + dy * dy <= 1.0:
        return "bridge" if cy in (19, 20) else "water"
    if dx * dx + dy * dy <= 1.45:
        return "sand"
    if (cx in (6, 26) and 36 <= cy <= 56) or (cy in (36, 56) and 6 <= cx <= 26 and cx != 16):
        return "stone"
    if cy == 30 or cx == 16 and cy > 30:
        return "sand"  # the path, through the wall's gate
    if 6 < cx < 26 and 36 < cy < 56 and mix(3, cx, cy) % 3 == 0:
        return "flower"
    return "tree" if mix(4, cx, cy) % 11 == 0 else "grass"


def cell(kind, variant):
    """The cell's pixels, 8 rows of 8 colours."""
    if kind == "water":
        rows = speckle(WATER[:4], 10 + variant % 8)
        rows[variant % 8][1:4] = [WATER[4]] * 3  # a wave's crest
        return rows
    if kind == "bridge":  # planks across, water showing between them
        rows = speckle(WATER[:4], 14)
        for y in range(0, 8, 3):
            rows[y] = [WOOD[(x + y) % 2] for x in range(8)]
            rows[y + 1] = [WOOD[2]] * 8
        return rows
    if kind == "stone":  # bricks: dark mortar between rows of grey blocks
        rows = speckle(STONE[:4], 20)
        for y in range(8):
            for x in range(8):
                if y in (3, 7) or x == (1 if y < 3 else 5):
                    rows[y][x] = STONE[4]
        return rows
    rows = speckle(SAND if kind == "sand" else GRASS, 30 + variant % 12)
    if kind == "flower":
        for i, (x, y) in enumerate([(2, 1), (1, 2), (3, 2), (2, 3), (5, 5), (4, 6), (6, 6),
                                    (5, 7)]):
            rows[y][x] = FLOWER[(i // 4 + variant) % 2]
        rows[2][2] = rows[6][5] = FLOWER[2]
    if kind == "tree":
        for y in range(7):
            for x in range(8):
                if (x - 3.5) ** 2 + (y - 3) ** 2 <= 11:
                    rows[y][x] = TREE[(x + y) % 2]
        rows[6][3:5] = [TREE[2], TREE[3]]
        rows[7][3:5] = [TREE[2], TREE[3]]
    if kind in ("grass", "sand") and variant & 8:
        rows = [row[::-1] for row in rows]  # mirrored: the same tile, flipped in the map
    return rows


def edge(inner, outer, seed):
    """A cell of `inner` meeting `outer` along its top edge, the border wavy."""
    rows = speckle(inner, seed)
    outside = speckle(outer, seed + 1)
    for x in range(8):
        for y in range(2 + (mix(seed, x, 0) % 2)):
            rows[y][x] = outside[y][x]
    return rows


def turned(rows, side):
    """`rows` (facing up) facing `side`: down and right are flips of up and left."""
    if side in ("left", "right"):
        rows = [list(column) for column in zip(*rows)]
    if side == "down":
        rows = rows[::-1]
    if side == "right":
        rows = [row[::-1] for row in rows]
    return rows


# Which neighbour a cell shows an edge towards: (its kind, the neighbour's) -> the two families.
EDGES = {("sand", "water"): (SAND, WATER[:4]), ("grass", "sand"): (GRASS, SAND),
         ("grass", "stone"): (GRASS, STONE[:4])}


def field():
    kinds = [[terrain(cx, cy) for cx in range(CELLS)] for cy in range(CELLS)]
    pixels = [[None] * (CELLS * 8) for _ in range(CELLS * 8)]
    for cy in range(CELLS):
        for cx in range(CELLS):
            kind = kinds[cy][cx]
            rows = cell(kind, mix(5, cx, cy))
            for side, nx, ny in [("up", cx, cy - 1), ("down", cx, cy + 1), ("left", cx - 1, cy),
                                 ("right", cx + 1, cy)]:
                if 0 <= nx < CELLS and 0 <= ny < CELLS and (kind, kinds[ny][nx]) in EDGES:
                    rows = turned(edge(*EDGES[(kind, kinds[ny][nx])], 40), side)
                    break
            for y in range(8):
                pixels[cy * 8 + y][cx * 8:cx * 8 + 8] = rows[y]
    image = Image.new("RGB", (CELLS * 8, CELLS * 8))
    image.putdata([p for row in pixels for p in row])
    return image


def dial():
    """Entry 0 outside the dial; a navy face, a gold rim with ticks, spokes and a red needle."""
    size, centre = 256, 127.5
    colours = [(0, 0, 0), (24, 32, 80), (232, 184, 48), (200, 208, 232), (216, 48, 48),
               (248, 248, 248)]
    data = []
    for y in range(size):
        for x in range(size):
            dx, dy = x - centre, y - centre
            r = math.hypot(dx, dy)
            angle = math.degrees(math.atan2(dy, dx)) % 360
            if r > 120:
                p = 0
            elif r > 110:
                p = 5 if r < 116 and angle % 30 < 2 else 2
            elif abs(dx) < 2 or abs(dy) < 2 or abs(abs(dx) - abs(dy)) < 2:
                p = 3
            elif abs(dx) + abs(dy) * 4 < 64 and dy < 0 or abs(dx) * 4 + abs(dy) < 64 and dx > 0:
                p = 4
            else:
                p = 1
            data.append(p)
    image = Image.new("P", (size, size))
    image.putpalette([c for colour in colours for c in colour])
    image.putdata(data)
    return image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "examples/backgrounds"
    os.makedirs(out, exist_ok=True)
    field().save(os.path.join(out, "field.png"))
    dial().save(os.path.join(out, "dial.png"), transparency=0)
