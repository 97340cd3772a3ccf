#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: valid 8-bit and 24-bit BMPs with every info-header length,
one file for each way a BMP can be refused, and a few small files of every other kind from the
test suites' pictures (BMPs of 1, 4, 16 and 32 bits, PNGs of every colour type, transparency,
interlacing and damage), some with settings bytes after their end. Usage: make_corpus.py [folder]"""
import os
import struct
import sys


def bmp(width=16, height=8, bits=8, info=40, table=16, gap=0, compression=0, top_down=False,
        offset=None, cut=0, settings=b""):
    bpp = bits // 8 if bits in (8, 24) else 1
    pixels = bytes((i * 7 + 3) & 0xFF for i in range(min(abs(width * height) * bpp, 4096)))
    colours = b"".join(struct.pack("<BBBB", i & 0xFF, (255 - i) & 0xFF, i * 3 & 0xFF, 0) for i in range(table))
    start = 14 + info + len(colours) + gap if offset is None else offset
    head = struct.pack("<2sIHHI", b"BM", 0, 0, 0, start)
    body = struct.pack("<IiiHHIIiiII", info, width, -height if top_down else height, 1, bits,
                       compression, len(pixels), 2835, 2835, table, 0)
    body += b"\xa5" * (info - 40) + colours + b"\x5a" * gap
    data = head + body + pixels + settings
    return data[:len(data) - cut] if cut else data


def corpus():
    files = {}
    for info in (40, 52, 56, 64, 108, 124):
        files[f"pal8-h{info}"] = bmp(info=info)
        files[f"rgb24-h{info}"] = bmp(bits=24, info=info, table=0)
    files.update({
        "pal8-full-table": bmp(table=256, settings=b"\x01\x00\x00\x00"),
        "pal8-topdown": bmp(top_down=True),
        "pal8-gap": bmp(gap=6),
        "pal8-300-entries": bmp(table=300),
        "pal8-no-table": bmp(table=0),
        "pal8-zero-width": bmp(width=0, height=16),
        "pal8-index16-key": bmp(table=256, settings=b"\x01\x80\x80\x80"),
        "rgb24-topdown": bmp(bits=24, table=0, top_down=True),
        "rgb24-with-table": bmp(bits=24, table=4),
        "bad-empty": b"",
        "bad-bm-only": b"BM",
        "bad-signature": b"BA" + bmp()[2:],
        "bad-header-cut": bmp()[:30],
        "bad-info-12": bmp(info=12),
        "rgb16": bmp(bits=16),
        "rgb32": bmp(bits=32),
        "bad-width-20": bmp(width=20),
        "bad-height-neg12": bmp(height=12, top_down=True),
        "bad-rle8": bmp(compression=1),
        "bad-offset-inside": bmp(offset=20),
        "bad-offset-past-end": bmp(offset=100000),
        "bad-pixels-cut": bmp(cut=5),
        "bad-most-negative": bmp(width=-2**31, height=8),
        "bad-huge": bmp(width=65536, height=65536)[:100],
    })
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")
    for name, settings in [
            ("bmpsuite/g/pal1.bmp", b""), ("bmpsuite/g/pal4.bmp", b"\x01"),
            ("bmpsuite/g/rgb16-565.bmp", b"\x02"), ("bmpsuite/q/rgba16-5551.bmp", b"\x01"),
            ("bmpsuite/q/rgb32h52.bmp", b""), ("pngsuite/basn3p01.png", b""),
            ("pngsuite/basi3p02.png", b"\x01"), ("pngsuite/basn0g04.png", b"\x02"),
            ("pngsuite/tbwn0g16.png", b"\x00\x00\x00\x01"), ("pngsuite/basn2c08.png", b""),
            ("pngsuite/basi2c16.png", b"\x02"), ("pngsuite/tbrn2c08.png", b"\x80\x80\x80\x02"),
            ("pngsuite/tbbn3p08.png", b"\x03"), ("pngsuite/tm3n3p02.png", b""),
            ("pngsuite/basn6a08.png", b""), ("pngsuite/xcsn0g01.png", b""),
            ("pngsuite/xdtn0g01.png", b"")]:
        with open(os.path.join(data, name), "rb") as f:
            files[name.replace("/", "-")] = f.read() + settings
    return files


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, data in corpus().items():
        with open(os.path.join(folder, name if name[-4] == "." else name + ".bmp"), "wb") as f:
            f.write(data)
