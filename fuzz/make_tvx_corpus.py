#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_tvx_valid: small tile image files of every layout, map files of
both kinds, and files damaged in each way a reader must notice. Usage: make_tvx_corpus.py [folder]

The files are named .bin, not .tvx, so that git does not take them for build output."""
import os
import struct
import sys

FIXED = {0: 8 + 32, 1: 8 + 512, 2: 8}
TILE = {0: 32, 1: 64, 2: 128}


def tvx(fmt, across, down, count=None, extra=0):
    tiles = across * down
    count = tiles & 0xFFFF if count is None else count
    length = FIXED.get(fmt, 8) + TILE.get(fmt, 0) * tiles + extra
    body = bytes((i * 13 + 5) & 0xFF for i in range(max(length - 8, 0)))
    return struct.pack("<HHHH", fmt, across, down, count) + body


def tvm(kind, across, down, banks, extra=0):
    entries = across * down * (1 if kind == 1 else 2) + extra
    body = bytes((i * 29 + 3) & 0xFF for i in range(32 * banks + max(entries, 0)))
    return struct.pack("<HHHH", kind, across, down, banks) + body


def corpus():
    files = {}
    for fmt, name in ((0, "index16"), (1, "index256"), (2, "fullcolor16")):
        files[f"{name}-1x1"] = tvx(fmt, 1, 1)
        files[f"{name}-3x2"] = tvx(fmt, 3, 2)
        files[f"{name}-no-tiles"] = tvx(fmt, 0, 5)
        files[f"bad-{name}-count"] = tvx(fmt, 3, 2, count=5)
        files[f"bad-{name}-long"] = tvx(fmt, 1, 1, extra=2)
        files[f"bad-{name}-short"] = tvx(fmt, 2, 1, extra=-1)
    files.update({
        "bad-empty": b"",
        "bad-header-cut": tvx(0, 1, 1)[:7],
        "bad-format-3": tvx(3, 1, 1),
        "bad-largest-header": struct.pack("<HHHH", 2, 0xFFFF, 0xFFFF, 0x0001),
        "map-regular-5x3-2-banks": tvm(0, 5, 3, 2),
        "map-regular-70x40": tvm(0, 70, 40, 1),
        "map-affine-3x2": tvm(1, 3, 2, 0),
        "map-affine-33x33": tvm(1, 33, 33, 0),
        "bad-map-17-banks": tvm(0, 1, 1, 17),
        "bad-map-kind-2": tvm(2, 1, 1, 0),
        "bad-map-short": tvm(0, 2, 2, 1, extra=-1),
    })
    return files


if __name__ == "__main__":
    here = os.path.dirname(__file__)
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus-tvx")
    os.makedirs(folder, exist_ok=True)
    for name, data in corpus().items():
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(data)
