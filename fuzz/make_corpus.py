#!/usr/bin/env python3
"""Writes the seed corpora of fuzz_convert and fuzz_palette.

fuzz_convert's: valid 8-bit and 24-bit BMPs with every info-header length, one file for each way a
BMP can be refused, and a few small files of every other kind from the test suites' pictures (BMPs
of 1, 4, 16 and 32 bits, PNGs of every colour type, transparency, interlacing and damage), some
with settings bytes after their end that ask for --key=none, a built-in palette, a frame size
or a map.

fuzz_palette's: a palette in each form --palette reads (JASC, GIMP, a hex list, a tile image file,
pictures with a colour table from the suites) and each way such a file is refused.

Usage: make_corpus.py [folder [palette-folder]]"""
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
        "pal8-keep-indices": bmp(table=256, settings=b"\x05"),
        "pal8-palette-greys": bmp(table=16, settings=b"\x18"),
        "rgb24-palette-ramp": bmp(bits=24, table=0, settings=b"\x0c"),
        "pal8-frames-16x16": bmp(width=32, height=16, table=16, settings=b"\x81"),
        "pal8-map-banks": bmp(width=32, height=16, table=256, settings=b"\x01\x00\x00\x00\x01"),
        "pal8-map-kept-banks": bmp(width=32, height=16, table=256,
                                   settings=b"\xa5\x00\x00\x00\x05"),
        "pal8-map-affine": bmp(width=32, height=16, table=16, settings=b"\x0e\x00\x00\x00\x02"),
        "rgb24-map-banks": bmp(bits=24, width=32, height=16, table=0,
                               settings=b"\xe9\x80\x80\x80\x01"),
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
            ("pngsuite/basn6a08.png", b"\x04"), ("pngsuite/xcsn0g01.png", b""),
            ("pngsuite/tp1n3p08.png", b"\x05"), ("pngsuite/basn3p04.png", b"\x21"),
            ("pngsuite/xdtn0g01.png", b"")]:
        with open(os.path.join(data, name), "rb") as f:
            files[name.replace("/", "-")] = f.read() + settings
    return files


def palette_corpus():
    jasc = "JASC-PAL\r\n0100\r\n4\r\n0 0 0\r\n255 0 0\r\n0 255 132\r\n8 132 255\r\n"
    files = {
        "jasc.pal": jasc,
        "gimp.gpl": "GIMP Palette\nName: p\nColumns: 4\n# bank 0\n  0   0   0\tBlack\n"
                    "255   0   0\tRed\n  0 255 132\n  8 132 255\tOrange\n",
        "hex.hex": "000000\n#FF0000\n00ff84\n\n0884FF\n",
        "bad-jasc-count.pal": jasc.replace("\r\n4\r\n", "\r\n5\r\n"),
        "bad-jasc-version.pal": jasc.replace("0100", "0200"),
        "bad-gimp-line.gpl": "GIMP Palette\n1 2 3\n1 2\n",
        "bad-hex-line.hex": "000000\n12345\n",
        "bad-257.hex": "".join(f"{i:06X}\n" for i in range(257)),
        "bad-not-a-palette.txt": "hello\n",
        "empty.gpl": "GIMP Palette\n",
    }
    files = {name: text.encode("ascii") for name, text in files.items()}
    # A tile image file of Index16 with one tile, and one of FullColor16, which has no palette.
    files["index16.bin"] = struct.pack("<HHHH", 0, 1, 1, 1) + bytes(range(32)) + bytes(32)
    files["fullcolor16.bin"] = struct.pack("<HHHH", 2, 1, 1, 1) + bytes(128)
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data")
    for name in ("bmpsuite/g/pal4.bmp", "bmpsuite/g/pal8.bmp", "bmpsuite/g/rgb24.bmp",
                 "pngsuite/basn3p04.png", "pngsuite/basn2c08.png"):
        with open(os.path.join(data, name), "rb") as f:
            files[name.replace("/", "-")] = f.read()
    return files


def write(folder, files, default_suffix):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name if "." in name else name + default_suffix), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    here = os.path.dirname(__file__)
    write(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "corpus"), corpus(), ".bmp")
    write(sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "corpus-palette"),
          palette_corpus(), "")
