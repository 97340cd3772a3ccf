#!/usr/bin/env python3
"""Whole-process speed, memory and passes of bmp2tvx against a floor: cp of the same file.

Makes each test picture in a temporary folder, times the conversion and its floor side by side
with hyperfine (median of many runs, the output already present from an earlier run as in a
rebuild), measures the conversion's peak resident memory with GNU time and the bytes it reads with
strace, and prints one line per case with the targets it must meet, then a summary line. "passes"
is the bytes the process read divided by the input file's size: how many times the conversion read
its picture.

The floor is cp of the input to a file in the same folder, for most cases; for the cases measured
in processor time (user and system), dd of it in 128 KiB blocks, or for PNG files decoding them
with libpng alone (png_decode, built beside bmp2tvx), or for an option the same conversion
without it.

The generic POSIX build (cmake -DBMP2TVX_PORTABLE=ON, in build-portable/ by default), or any other
bmp2tvx named by --portable, is timed in the same runs when it exists, and its ratio to the floor
printed beside; it has no target.
"""
import argparse
import json
import os
import random
import re
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NEEDED = {"hyperfine": "hyperfine", "/usr/bin/time": "time", "strace": "strace"}


def write_bmp(path, width, height, bits, colours=256, padded=False):
    """An 8-bit picture of `colours` colours, or a 24-bit one: of `colours` distinct colours when
    below 256, else of random bytes. padded: black at entry 5 and, unused, at every entry from
    `colours` up, as writers that pad a short palette to 256 entries leave it; the key search then
    has to look at every pixel."""
    rnd = random.Random(width * 31 + bits)

    def entry(i):
        if padded and (i == 5 or i >= colours):
            return (0, 0, 0)
        return (i, (i * 3) & 255, (i * 7) & 255)
    table = b"" if bits == 24 else b"".join(
        struct.pack("<BBBB", *entry(i), 0) for i in range(256))
    if bits == 8:
        row = bytes(rnd.randrange(colours) for _ in range(width))
    elif colours < 256:
        # Colours that stay distinct, none of them black (the key), each pixel one of them.
        palette = [bytes((i + 1, (i * 3 + 1) & 255, (i * 7 + 1) & 255)) for i in range(colours)]
        row = b"".join(palette[rnd.randrange(colours)] for _ in range(width))
    else:
        row = bytes(rnd.randrange(256) for _ in range(width * 3))
    offset = 54 + len(table)
    size = width * height * bits // 8
    header = struct.pack("<2sIHHI", b"BM", offset + size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, size, 0, 0, 0, 0)
    step = bits // 8
    with open(path, "wb") as f:
        f.write(header + info + table)
        for y in range(height):
            shift = (y * 61 % width) * step
            f.write(row[shift:] + row[:shift])


def write_png(path, width, height, rows, colour_type, bit_depth, palette=b""):
    """A PNG of the given rows (bytes each, as the file stores them before filtering)."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + (chunk(b"PLTE", palette) if palette else b"")
                + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def shifted_rows(row, height, step):
    """`height` rows, each `row` turned by a different number of pixels of `step` bytes."""
    width = len(row) // step
    return [row[(y * 61 % width) * step:] + row[:(y * 61 % width) * step] for y in range(height)]


def write_indexed_png(path, side):
    """A 4-bit indexed PNG of 16 colours in random order."""
    rnd = random.Random(side)
    row = bytes(rnd.randrange(16) << 4 | rnd.randrange(16) for _ in range(side // 2))
    palette = b"".join(bytes((i * 16, 255 - i * 16, i * 5)) for i in range(16))
    write_png(path, side, side, shifted_rows(row, side, 1), 3, 4, palette)


def write_rgba_png(path, side):
    """An RGBA PNG drawn as sprites are: runs of 1 to 16 pixels of one of 254 opaque colours or
    transparent (a quarter of them), in random order."""
    rnd = random.Random(side + 1)
    colours = [bytes((i + 1, (i * 3 + 1) & 255, (i * 7 + 1) & 255, 255)) for i in range(254)]
    row = b""
    while len(row) < 4 * side:
        pixel = b"\0\0\0\0" if rnd.randrange(4) == 0 else colours[rnd.randrange(254)]
        row += pixel * rnd.randrange(1, 17)
    write_png(path, side, side, shifted_rows(row[:4 * side], side, 4), 6, 8)


def write_background(path, side, families=14):
    """A 24-bit background as artists draw them: 400 cell patterns, each in one family of 15
    colours out of `families`, placed at random and mirrored at random, so that the cells repeat
    and each family fits a 16-colour bank."""
    rnd = random.Random(side + 2)
    patterns = []
    for p in range(400):
        family = p % families
        colours = [bytes(((family * 17 + 3) & 255, (c * 16 + 8) & 255, (family * 9 + c * 5 + 1)
                          & 255)) for c in range(15)]
        patterns.append([[colours[rnd.randrange(15)] for _ in range(8)] for _ in range(8)])
    cells = side // 8
    rows = [b""] * side
    for cy in range(cells):
        for _ in range(cells):
            pattern = patterns[rnd.randrange(400)]
            flip = rnd.randrange(4)
            for y in range(8):
                row = pattern[7 - y if flip & 2 else y]
                rows[cy * 8 + y] += b"".join(row[::-1] if flip & 1 else row)
    offset = 54
    header = struct.pack("<2sIHHI", b"BM", offset + side * side * 3, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, side, -side, 1, 24, 0, side * side * 3, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + b"".join(rows))


def write_bank(path, colours):
    """The GIMP palette of write_bmp's 24-bit colours, at entry 0 a magenta that none of them
    shares on the handheld."""
    with open(path, "w") as f:
        f.write("GIMP Palette\n255 0 255 key\n")
        for i in range(colours):
            f.write(f"{(i * 7 + 1) & 255} {(i * 3 + 1) & 255} {i + 1}\n")


def hyperfine_medians(commands, folder, runs, rounds=5):
    """Medians of `runs` runs of each command (a list of arguments): of the time each took, and of
    the processor time (user and system) it used. hyperfine runs all of one command's runs before
    the next command's, so a machine whose speed drifts would favour one of them: the runs are
    made in `rounds` rounds that take the commands in turn. hyperfine gives only the mean
    processor time of a round's runs: the median of those is taken."""
    report = os.path.join(folder, "report.json")
    times = [[] for _ in commands]
    cpu = [[] for _ in commands]
    for r in range(rounds):
        subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "3" if r == 0 else "1",
                        "--runs", str(-(-runs // rounds)), "--export-json", report]
                       + [shlex.join(c) for c in commands],
                       cwd=folder, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(report) as f:
            for i, result in enumerate(json.load(f)["results"]):
                times[i] += result["times"]
                cpu[i].append(result["user"] + result["system"])
    return [statistics.median(t) for t in times], [statistics.median(c) for c in cpu]


def peak_memory_kib(command, folder):
    # GNU time forks from a small process, so the child's peak is the command's own.
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, cwd=folder, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(out.strip().splitlines()[-1])


def bytes_read(command, folder):
    """Every byte the command's read calls returned, seen from outside by strace."""
    trace = os.path.join(folder, "trace.txt")
    subprocess.run(["strace", "-f", "-qq", "-e", "trace=read,pread64,readv,preadv",
                    "-e", "signal=none", "-o", trace] + command,
                   cwd=folder, check=True, stdout=subprocess.DEVNULL)
    with open(trace) as f:
        return sum(int(n) for n in re.findall(r"\) += (\d+)", f.read()))


def bmp(width, height, bits, colours=256, padded=False):
    return lambda path: write_bmp(path, width, height, bits, colours, padded)


def case(name, make, flags, target, picture="picture.bmp", floor="cp", clock="wall",
         per_pixel=False, side=0, floor_flags=()):
    """One conversion and what it is held to: `target` times its floor's time, which is cp of the
    picture, dd of it in 128 KiB blocks (both reading and writing the same bytes), or decoding it
    with libpng (png); measured as time passed (wall) or processor time (cpu). Its peak memory
    may be the input's size, or with `per_pixel` one byte a pixel, and 4 MiB more."""
    return {"name": name, "make": make, "flags": flags, "target": target, "picture": picture,
            "floor": floor, "clock": clock, "per_pixel": per_pixel, "side": side,
            "floor_flags": list(floor_flags)}


def cases():
    for side in (64, 128, 256, 512, 768, 1024, 1280, 1536, 2048, 3072, 4096, 6144, 8192):
        yield case(f"{side}x{side} 8-bit -> Index256", bmp(side, side, 8), [], 0.9)
    yield case("4096x4096 8-bit -> Index16 (-c4)", bmp(4096, 4096, 8, 16), ["-c4"], 0.9)
    yield case("4096x4096 8-bit, padded table", bmp(4096, 4096, 8, 16, True), [], 1.0)
    yield case("4096x4096 8-bit -> FullColor16", bmp(4096, 4096, 8), ["-c16"], 1.5)
    yield case("4096x4096 8-bit -> FullColor16, cpu", bmp(4096, 4096, 8), ["-c16"], 2.4,
               floor="dd", clock="cpu")
    for side in (1024, 4096, 8192):
        yield case(f"{side}x{side} 24-bit -> FullColor16", bmp(side, side, 24), [], 1.0)
    yield case("2048x2048 24-bit, 15 colours -> Index16", bmp(2048, 2048, 24, 15), ["-c4"], 1.5)
    yield case("2048x2048 24-bit, 255 colours -> Index256", bmp(2048, 2048, 24, 255), ["-c8"],
               1.5)
    yield case("240x160 8-bit -> Index256", bmp(240, 160, 8), [], 0.7)
    # The cost of one small picture in processor time, which a game's build pays thousands of
    # times: mostly the process's start.
    yield case("240x160 8-bit -> Index256, cpu", bmp(240, 160, 8), [], 0.8, floor="dd",
               clock="cpu")
    # Processor time against reading and writing the same bytes: the colour numbering that
    # true-colour PNGs take too, and the mapping onto a palette file, colours in random order.
    yield case("2048x2048 24-bit, 255 colours, cpu", bmp(2048, 2048, 24, 255), ["-c8"], 1.5,
               floor="dd", clock="cpu")
    yield case("2048x2048 24-bit --palette (255), cpu", bmp(2048, 2048, 24, 255),
               ["--palette=bank.gpl"], 1.5, floor="dd", clock="cpu")
    # A sprite sheet written frame by frame against the same conversion in the usual order.
    yield case("2048x2048 sheet, --frame=32x32, cpu", bmp(2048, 2048, 8, 16),
               ["-c4", "--frame=32x32"], 1.1, floor="tool", clock="cpu", floor_flags=["-c4"])
    # A background's distinct tiles and map, of 4-bit tiles in banks or of 8-bit tiles, against
    # the same picture converted as it is.
    yield case("1024x1024 background, -c4 --map, cpu", lambda p: write_background(p, 1024),
               ["-c4", "--map"], 2.0, floor="tool", clock="cpu", floor_flags=["-c8"])
    yield case("1024x1024 background, -c8 --map, cpu", lambda p: write_background(p, 1024),
               ["-c8", "--map"], 2.0, floor="tool", clock="cpu", floor_flags=["-c8"])
    # PNG files against decoding them with libpng alone.
    yield case("2048x2048 4-bit PNG -> Index16 (-c4)", lambda p: write_indexed_png(p, 2048),
               ["-c4"], 1.15, "picture.png", "png", "cpu", True, 2048)
    yield case("2048x2048 RGBA PNG, 255 colours -> Index256",
               lambda p: write_rgba_png(p, 2048), ["-c8"], 1.15, "picture.png", "png", "cpu",
               True, 2048)


def floor_command(case, png_decode, tool):
    if case["floor"] == "tool":
        return [tool] + case["floor_flags"] + ["--output=floor.tvx", case["picture"]]
    if case["floor"] == "png":
        return [png_decode, case["picture"]]
    if case["floor"] == "dd":
        return ["dd", f"if={case['picture']}", "of=copy", "bs=128k", "status=none"]
    return ["cp", case["picture"], "copy"]


def measure(tool, portable, png_decode, case, folder, runs):
    picture = os.path.join(folder, case["picture"])
    case["make"](picture)
    write_bank(os.path.join(folder, "bank.gpl"), 255)
    convert = [tool] + case["flags"] + [case["picture"]]
    commands = [floor_command(case, png_decode, tool), convert]
    subprocess.run(convert, cwd=folder, check=True, stdout=subprocess.DEVNULL)
    # The other build is timed only where it converts the picture: an older one may not read it.
    side = [portable] + case["flags"] + [case["picture"]] if portable else None
    if side and subprocess.run(side, cwd=folder, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL).returncode == 0:
        commands.append(side)
    wall, cpu = hyperfine_medians(commands, folder, runs)
    medians = cpu if case["clock"] == "cpu" else wall
    size = os.path.getsize(picture)
    result = {
        "name": case["name"], "target": case["target"], "floor": medians[0],
        "floor_name": case["floor"] + (" cpu" if case["clock"] == "cpu" else ""),
        "tool": medians[1], "ratio": medians[1] / medians[0],
        "peak": peak_memory_kib(convert, folder),
        "limit": (case["side"] ** 2 if case["per_pixel"] else size) / 1024 + 4096,
        "passes": bytes_read(convert, folder) / size,
        "portable": medians[2] if len(commands) > 2 else None,
    }
    for leftover in os.listdir(folder):
        os.remove(os.path.join(folder, leftover))
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool", nargs="?", default=os.path.join(ROOT, "build", "bmp2tvx"),
                        help="the bmp2tvx to measure (default: build/bmp2tvx)")
    parser.add_argument("--runs", type=int, default=15, help="timed runs of each command")
    parser.add_argument("--portable", default=os.path.join(ROOT, "build-portable", "bmp2tvx"),
                        help="another bmp2tvx (by default the generic POSIX build), timed beside "
                        "when it exists")
    parser.add_argument("--only", default="", help="measure only the cases whose name has this")
    args = parser.parse_args()
    missing = [package for program, package in NEEDED.items() if shutil.which(program) is None]
    if missing:
        print(f"bench/run.py needs {', '.join(missing)}: install them (Debian: apt-get install "
              f"{' '.join(missing)}) and run it again.", file=sys.stderr)
        return 2
    tool = os.path.abspath(args.tool)
    portable = os.path.abspath(args.portable) if os.path.exists(args.portable) else None
    png_decode = os.path.join(os.path.dirname(tool), "png_decode")
    chosen = [c for c in cases() if args.only in c["name"]]
    if any(c["floor"] == "png" for c in chosen) and not os.path.exists(png_decode):
        print(f"bench/run.py needs {png_decode}, which the build makes where libpng is found.",
              file=sys.stderr)
        return 2

    started = time.monotonic()
    results = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as folder:
        print(f"{'case':44} {'floor':>8} {'':>9} {'bmp2tvx':>9} {'ratio':>6} {'target':>6} "
              f"{'passes':>6} {'peak':>10} {'limit':>10}  {'verdict':7} {'portable':>9} "
              f"{'ratio':>6}")
        for case in chosen:
            r = measure(tool, portable, png_decode, case, folder, args.runs)
            r["ok"] = r["ratio"] <= r["target"] and r["peak"] <= r["limit"]
            results.append(r)
            line = (f"{r['name']:44} {r['floor_name']:>8} {r['floor'] * 1000:7.2f}ms "
                    f"{r['tool'] * 1000:7.2f}ms {r['ratio']:6.2f} {r['target']:5.2f}x "
                    f"{r['passes']:6.2f} {r['peak']:7d}KiB {r['limit']:7.0f}KiB  "
                    f"{'meets' if r['ok'] else 'MISSES':7}")
            if r["portable"]:
                line += f" {r['portable'] * 1000:7.2f}ms {r['portable'] / r['floor']:6.2f}"
            elif portable:
                line += f" {'-':>9} {'-':>6}"
            print(line, flush=True)
    failures = sum(not r["ok"] for r in results)
    worst = max((r["ratio"] / r["target"] for r in results), default=0)
    summary = (f"{len(results) - failures} of {len(results)} cases meet their targets; the slowest "
               f"is at {worst:.2f} of its time target; {time.monotonic() - started:.0f} s in all")
    if portable:
        ratios = [r["portable"] / r["floor"] for r in results if r["portable"]] or [0]
        summary += (f"; generic POSIX build from {min(ratios):.2f} to {max(ratios):.2f} x its "
                    "floor (no target)")
    else:
        summary += ("; generic POSIX build not measured (cmake -S . -B build-portable "
                    "-DBMP2TVX_PORTABLE=ON && cmake --build build-portable)")
    print(summary)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
