#!/usr/bin/env python3
"""Works out what bmp2tvx must make of each picture of a suite without its PNG reader or its
readers of 1-, 4-, 16- and 32-bit BMPs: each picture is decoded here (PNGs by Pillow, BMPs from
their headers, cross-checked with Pillow where it reads the file), written as the 8-bit or 24-bit
BMP it must convert like, and that BMP converted by the given bmp2tvx.

  make_expected.py BMP2TVX pngsuite   writes pngsuite/expected.txt and pngsuite/expected/
  make_expected.py BMP2TVX bmpsuite   writes the bmpsuite/expected/ files of the 1-, 4-, 16- and
                                      32-bit BMPs, and says where bmpsuite/expected.txt differs

Both run with the default flags. Transparent pixels: an indexed picture's lowest used transparent
entry is exchanged with entry 0, the other transparent entries' pixels become 0, and the BMP is
converted with no key colour (-r-1) so that nothing else moves; a true-colour picture, written as
FullColor16, has its transparent pixels painted the key colour, black."""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
SIGNATURE = b"\x89PNG\r\n\x1a\n"
PARTLY = "has a partly transparent pixel at ({},{}); the handheld draws a pixel or does not."
SIZE = "does not have width or height a multiple of 8."


class Refused(Exception):
    pass


def bmp8(width, height, table, rows, head=None):
    """An 8-bit BMP: `rows` of indices from the top; `head` the bytes up to the pixels of a file
    whose headers and colour table to keep (bottom-up or top-down as it says)."""
    if head is None:
        head = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 0, 0, 0, 54 + 4 * len(table), 40, width,
                           height, 1, 8, 0, 0, 0, 0, len(table), 0)
        head += b"".join(bytes((b, g, r, 0)) for r, g, b in table)
    else:
        head = bytearray(head)
        head[28:30] = struct.pack("<H", 8)
        head[30:34] = struct.pack("<I", 0)
    top_down = struct.unpack_from("<i", head, 22)[0] < 0
    return bytes(head) + b"".join(bytes(r) for r in (rows if top_down else rows[::-1]))


def bmp24(width, height, pixels):
    """A 24-bit BMP of (red, green, blue) pixels, rows from the top."""
    head = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 0, 0, 0, 54, 40, width, height, 1, 24, 0, 0,
                       0, 0, 0, 0)
    rows = [b"".join(bytes((b, g, r)) for r, g, b in pixels[y * width:(y + 1) * width])
            for y in range(height)]
    return head + b"".join(rows[::-1])


def first_partly(width, alphas):
    for i, a in enumerate(alphas):
        if a not in (0, 255):
            raise Refused(PARTLY.format(i % width, i // width))


def indexed(width, height, table, indices, alpha_of):
    """The 8-bit BMP and flags an indexed picture converts like."""
    first_partly(width, [alpha_of[i] if i < len(alpha_of) else 255 for i in indices])
    clear = sorted({i for i in indices if i < len(alpha_of) and alpha_of[i] == 0})
    flags = []
    if clear:
        t = clear[0]
        table = list(table) + [(0, 0, 0)] * (t + 1 - len(table))
        table[0], table[t] = table[t], table[0]
        swap = {0: t, t: 0}
        indices = [0 if i in clear else swap.get(i, i) for i in indices]
        flags = ["-r-1"]
    rows = [indices[y * width:(y + 1) * width] for y in range(height)]
    return bmp8(width, height, table, rows), flags


def full_color(width, height, pixels, alphas):
    """The 24-bit BMP a true-colour picture converts like: transparent pixels in black."""
    first_partly(width, alphas)
    return bmp24(width, height, [p if a else (0, 0, 0) for p, a in zip(pixels, alphas)]), []


def chunks(data):
    at = 8
    while at + 12 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        crc = data[at + 8 + length:at + 12 + length]
        yield kind, body, len(body) == length and len(crc) == 4 and \
            struct.unpack(">I", crc)[0] == zlib.crc32(kind + body)
        at += 12 + length


def samples16(data, width, height, channels):
    """The 16-bit samples of a non-interlaced PNG, which Pillow gives at 8 bits only."""
    raw = zlib.decompress(b"".join(body for kind, body, _ in chunks(data) if kind == b"IDAT"))
    stride, bpp, prev, out = width * channels * 2, channels * 2, bytearray(width * channels * 2), []
    for y in range(height):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = (line[i - bpp] if i >= bpp else 0), prev[i], (prev[i - bpp] if i >= bpp else 0)
            p = a + b - c
            guess = [0, a, b, (a + b) // 2,
                     a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else
                     b if abs(p - b) <= abs(p - c) else c][f]
            line[i] = (line[i] + guess) & 255
        out += [struct.unpack_from(">" + "H" * channels, line, 2 * channels * x) for x in range(width)]
        prev = line
    return out


def png_equivalent(data):
    if data[:8] != SIGNATURE:
        raise Refused("is not a valid bitmap file.")
    found = {}
    for kind, body, good in chunks(data):
        if not good:
            raise Refused("is a damaged PNG file.")  # Pillow does not check every checksum
        found.setdefault(kind, body)
    try:
        image = Image.open(io.BytesIO(data))
        image.load()
    except Exception:
        raise Refused("is a damaged PNG file.")
    width, height = image.size
    if width % 8 or height % 8:
        raise Refused(SIZE)
    depth, kind = found[b"IHDR"][8], found[b"IHDR"][9]
    trns = found.get(b"tRNS")
    if kind == 3:
        plte = found[b"PLTE"]
        table = [tuple(plte[i:i + 3]) for i in range(0, len(plte), 3)]
        return indexed(width, height, table, list(image.getdata()), list(trns or b""))
    if image.mode == "1":
        raw = [1 if v else 0 for v in image.getdata()]
        grey = [255 * v for v in raw]
    elif image.mode == "I":
        raw = list(image.getdata())
        grey = [v >> 8 for v in raw]
    elif image.mode == "L":
        raw = [v * ((1 << depth) - 1) // 255 for v in image.getdata()]
        grey = list(image.getdata())
    if image.mode in ("1", "I", "L"):
        pixels = [(g, g, g) for g in grey]
        key = struct.unpack(">H", trns)[0] if trns else None
        return full_color(width, height, pixels, [0 if v == key else 255 for v in raw])
    if image.mode in ("LA", "RGBA"):
        rgba = list(image.convert("RGBA").getdata())
        return full_color(width, height, [p[:3] for p in rgba], [p[3] for p in rgba])
    pixels = list(image.getdata())
    raw, key = pixels, struct.unpack(">HHH", trns) if trns else None
    if key and depth == 16:
        assert found[b"IHDR"][12] == 0, "an interlaced 16-bit RGB file with a tRNS colour"
        raw = samples16(data, width, height, 3)
        assert [tuple(v >> 8 for v in s) for s in raw] == pixels
    return full_color(width, height, pixels, [0 if tuple(v) == key else 255 for v in raw])


def widen(value, bits):
    """A field of `bits` bits at 8 bits: its bits repeated from the top, or its top 8."""
    if bits >= 8:
        return value >> (bits - 8)
    out, have = 0, 0
    while have < 8:
        out, have = (out << bits) | value, have + bits
    return out >> (have - 8)


def bmp_equivalent(data):
    offset, info = struct.unpack_from("<II", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if compression not in (0, 3) or bits not in (1, 4, 16, 32):
        return None
    width, top_down, height = abs(width), height < 0, abs(height)
    stride = (width * bits + 31) // 32 * 4
    rows = [data[offset + y * stride:offset + (y + 1) * stride] for y in range(height)]
    rows = rows if top_down else rows[::-1]
    if bits < 8:
        per = 8 // bits
        indices = [[(r[x // per] >> (8 - bits * (x % per + 1))) & ((1 << bits) - 1)
                    for x in range(width)] for r in rows]
        return bmp8(width, height, None, indices, head=data[:offset]), indices
    if compression == 0:
        masks = (0x7C00, 0x3E0, 0x1F, 0) if bits == 16 else (0xFF0000, 0xFF00, 0xFF, 0)
    else:
        masks = struct.unpack_from("<IIII", data, 54)
        masks = masks[:3] + ((masks[3],) if info >= 56 else (0,))
    fields = [((m & -m).bit_length() - 1, bin(m).count("1")) for m in masks]
    words = [int.from_bytes(r[x * bits // 8:(x + 1) * bits // 8], "little")
             for r in rows for x in range(width)]
    colours = [[widen((w >> s) & ((1 << n) - 1), n) if n else 0 for s, n in fields] for w in words]
    alphas = [c[3] for c in colours] if masks[3] and any(c[3] for c in colours) else \
        [255] * len(colours)
    return full_color(width, height, [tuple(c[:3]) for c in colours], alphas)[0], \
        [tuple(c[:3]) for c in colours]


def pillow_agrees(path, decoded):
    """Pillow's reading, where it reads the file: the same indices, or colours that differ at most
    below the five bits a colour keeps on the handheld (Pillow widens by multiplying)."""
    try:
        image = Image.open(path)
        image.load()
    except Exception:
        return "Pillow does not read it"
    if image.mode in ("1", "P"):
        theirs = [min(v, 1) if image.mode == "1" else v for v in image.getdata()]
        return [v for row in decoded for v in row] == theirs
    theirs = list(image.convert("RGB").getdata())
    return all(a >> 3 == b >> 3 for p, q in zip(decoded, theirs) for a, b in zip(p, q))


def convert(tool, bmp, flags):
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "in.bmp"), "wb") as f:
            f.write(bmp)
        run = subprocess.run([tool] + flags + ["in.bmp"], cwd=folder, capture_output=True)
        if run.returncode != 0:
            sys.exit(f"the equivalent BMP was refused: {run.stderr.decode()}")
        with open(os.path.join(folder, "in.tvx"), "rb") as f:
            return f.read()


def golden(suite, name, tvx):
    os.makedirs(os.path.join(HERE, suite, "expected"), exist_ok=True)
    with open(os.path.join(HERE, suite, "expected", name.replace("/", "-")[:-3] + "tvx"),
              "wb") as f:
        f.write(tvx)


def main(tool, suite):
    tool = os.path.abspath(tool)
    if suite == "pngsuite":
        lines = []
        for name in sorted(n for n in os.listdir(os.path.join(HERE, suite)) if n.endswith(".png")):
            with open(os.path.join(HERE, suite, name), "rb") as f:
                data = f.read()
            try:
                bmp, flags = png_equivalent(data)
            except Refused as refusal:
                lines.append(f"{name} 1 {refusal}")
                continue
            golden(suite, name, convert(tool, bmp, flags))
            lines.append(f"{name} 0")
        with open(os.path.join(HERE, suite, "expected.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return
    with open(os.path.join(HERE, suite, "expected.txt")) as f:
        expected = {line.split()[0]: line.split(None, 1)[1].strip() for line in f}
    for name, outcome in expected.items():
        path = os.path.join(HERE, suite, name)
        with open(path, "rb") as f:
            data = f.read()
        if outcome != "0" and "partly" not in outcome:
            continue
        try:
            made = bmp_equivalent(data)
        except Refused as refusal:
            if outcome != f"1 {refusal}":
                print(f"{name}: expected.txt says {outcome!r}; decoded here: 1 {refusal}")
            continue
        if made is None:
            continue
        bmp, decoded = made
        agrees = pillow_agrees(path, decoded)
        print(f"{name}: {'Pillow agrees' if agrees is True else agrees or 'PILLOW DISAGREES'}")
        if outcome != "0":
            print(f"{name}: expected.txt says {outcome!r}; decoded here: 0")
        golden(suite, name, convert(tool, bmp, []))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("pngsuite", "bmpsuite"):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
