#!/usr/bin/env python3
"""make/bmp2tvx.mk on a game's worth of sprites, against a plain loop over the same sprites.

Draws 2,000 sprites, 32 x 32 indexed PNGs, in 20 folders of 100 (one folder a creature), each with
a flags file that names its folder's palette file (-c4 --palette=bankNN.gpl), in a temporary
folder; builds them with the rules as a Makefile in the layout of devkitPro's template does (make
inside the build folder, the folders on VPATH, each sprite's .tvx.o a prerequisite of the game),
and times with hyperfine:

- a make with nothing to do, after a full build: at most 1 s;
- a full serial make (make -j1, from an empty build folder) against a serial shell loop that, for
  each sprite, runs bmp2tvx with the same flags and the assembler, and writes the header the game
  includes, as the rules do, and nothing else: at most 1.3 times the loop.

It needs hyperfine, GNU make and arm-none-eabi-as (Debian: hyperfine, make, binutils-arm-none-eabi)
and says so when one is missing. --rules names another bmp2tvx.mk to time (an older one, say).
"""
import argparse
import json
import os
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = 20
SIDE = 32


def write_png(path, rows, palette):
    """A 4-bit indexed PNG of `rows` (lists of indices) with the colours of `palette`."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    packed = b"".join(b"\0" + bytes(r[x] << 4 | r[x + 1] for x in range(0, SIDE, 2)) for r in rows)
    header = struct.pack(">IIBBBBB", SIDE, SIDE, 4, 3, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"PLTE", b"".join(bytes(c) for c in palette))
                + chunk(b"IDAT", zlib.compress(packed, 9)) + chunk(b"IEND", b""))


def bank(folder):
    """A creature's 16 colours: entry 0 its teal background, then shades of its own hue."""
    return [(0, 128, 128)] + [((folder * 40 + i * 16) & 255, (i * 15) & 255, (folder * 12) & 255)
                              for i in range(1, 16)]


def sprite(n):
    """Sprite n of a creature: a body whose size and stripes change with n, and two eyes."""
    radius = 8 + n % 7
    rows = []
    for y in range(SIDE):
        row = []
        for x in range(SIDE):
            dx, dy = x - 16, y - 17
            if dx * dx + dy * dy > radius * radius:
                row.append(0)
            elif dy == -radius // 2 and abs(dx) == 3:
                row.append(15)
            else:
                row.append(1 + (y // (1 + n % 4) + x // 5) % 14)
        rows.append(row)
    return rows


def draw(folder, count):
    """The sprites, flags files and palette files; returns (picture, flags, palette) triples."""
    per_folder = -(-count // FOLDERS)
    made = []
    for f in range(FOLDERS):
        art = os.path.join(folder, "art", f"creature{f:02}")
        os.makedirs(art)
        colours = bank(f)
        palette = os.path.join(art, f"bank{f:02}.gpl")
        with open(palette, "w") as out:
            out.write("GIMP Palette\n" + "".join(f"{r} {g} {b}\n" for r, g, b in colours))
        for n in range(per_folder):
            if len(made) == count:
                break
            name = f"creature{f:02}_{n:03}"
            write_png(os.path.join(art, name + ".png"), sprite(n), colours)
            flags = ["-c4", f"--palette={os.path.basename(palette)}"]
            with open(os.path.join(art, name + ".bmp2tvx"), "w") as out:
                out.write(" ".join(flags) + "\n")
            made.append((os.path.join(art, name + ".png"), flags[:1], palette))
    return made


def incbin(name):
    """The assembly the rules give the assembler for NAME.tvx, and the header they write."""
    c = name + "_tvx"
    return ("\n".join([f'    .section .rodata.{c}, "a", %progbits', "    .balign 4",
                       f"    .global {c}, {c}_end, {c}_size", f"{c}:",
                       f'    .incbin "{name}.tvx"', f"{c}_end:", "    .balign 4", f"{c}_size:",
                       f"    .4byte {c}_end - {c}"]),
            "\n".join([f"extern const unsigned char {c}[];",
                       f"extern const unsigned char {c}_end[];",
                       f"extern const unsigned int {c}_size;"]))


def write_loop(folder, made, bmp2tvx, assembler):
    """loop.sh: for each sprite, bmp2tvx with its flags and the palette's path, then the assembler
    and the header the game includes, as a person would write it by hand."""
    lines = ["set -e"]
    for picture, flags, palette in made:
        name = os.path.splitext(os.path.basename(picture))[0]
        assembly, header = incbin(name)
        lines.append(shlex.join([bmp2tvx] + flags + [f"--palette={palette}",
                                                     f"--output={name}.tvx", picture]))
        lines.append(f"printf '%s\\n' {shlex.quote(assembly)} | {shlex.quote(assembler)} "
                     f"-o {name}.tvx.o")
        lines.append(f"printf '%s\\n' {shlex.quote(header)} > {name}_tvx.h")
    with open(os.path.join(folder, "loop.sh"), "w") as out:
        out.write("\n".join(lines) + "\n")


def write_makefile(folder, rules, assembler):
    art = os.path.join(folder, "art")
    with open(os.path.join(folder, "Makefile"), "w") as out:
        out.write(f"VPATH := $(wildcard {art}/*)\nAS := {assembler}\ninclude {rules}\n"
                  f"PICTURES := $(sort $(notdir $(wildcard $(addsuffix /*.png,$(VPATH)))))\n"
                  "all: $(addsuffix .tvx.o,$(basename $(PICTURES)))\n")


def hyperfine(folder, commands, runs, prepare=None):
    """The median seconds of each command (shell command lines), run in `folder`. A machine whose
    speed drifts would favour one command if all its runs came first, so the commands take turns:
    `runs` rounds of one run each, after one run of each to warm up."""
    report = os.path.join(folder, "report.json")
    times = [[] for _ in commands]
    for r in range(runs + 1):
        subprocess.run(["hyperfine", "--style", "none", "--runs", "1", "--export-json", report]
                       + (["--prepare", prepare] if prepare else []) + commands,
                       cwd=folder, check=True, stdout=subprocess.DEVNULL)
        with open(report) as f:
            for i, result in enumerate(json.load(f)["results"]):
                if r > 0:
                    times[i] += result["times"]
    return [statistics.median(t) for t in times]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bmp2tvx", default=os.path.join(ROOT, "build", "bmp2tvx"))
    parser.add_argument("--rules", default=os.path.join(ROOT, "make", "bmp2tvx.mk"))
    parser.add_argument("--make", default="make")
    parser.add_argument("--pictures", type=int, default=2000)
    parser.add_argument("--runs", type=int, default=3, help="runs of each full build")
    args = parser.parse_args()
    assembler = shutil.which("arm-none-eabi-as")
    missing = [name for name, found in (("hyperfine", shutil.which("hyperfine")),
                                        ("make", shutil.which(args.make)),
                                        ("arm-none-eabi-as", assembler)) if not found]
    if missing:
        sys.exit(f"{sys.argv[0]}: needs {', '.join(missing)} (Debian: hyperfine, make, "
                 "binutils-arm-none-eabi)")
    if not os.access(args.bmp2tvx, os.X_OK):
        sys.exit(f"{sys.argv[0]}: no bmp2tvx at {args.bmp2tvx}: build it, or give --bmp2tvx")
    bmp2tvx = os.path.abspath(args.bmp2tvx)
    rules = os.path.abspath(args.rules)
    with tempfile.TemporaryDirectory() as folder:
        made = draw(folder, args.pictures)
        write_loop(folder, made, bmp2tvx, assembler)
        write_makefile(folder, rules, assembler)
        make = f"{shlex.quote(args.make)} -s -j1 -C build -f ../Makefile BMP2TVX={bmp2tvx}"
        loop, full = hyperfine(folder, ["cd build && sh ../loop.sh", make], args.runs,
                               "rm -rf build && mkdir build")
        (nothing,) = hyperfine(folder, [make], max(10, args.runs))
        print(f"{len(made)} sprites in {FOLDERS} folders, each with a flags file naming its "
              f"folder's palette; {rules}")
        print(f"make with nothing to do: {nothing:.3f} s (target: at most 1 s)")
        print(f"full serial make: {full:.2f} s, a serial loop of bmp2tvx and the assembler: "
              f"{loop:.2f} s, {full / loop:.2f} x (target: at most 1.3 x)")
        met = nothing <= 1 and full <= 1.3 * loop
        print("both targets met" if met else "a target missed")
        return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
