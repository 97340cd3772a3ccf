#!/usr/bin/env python3
"""Whole-process speed and memory of bmp2tvx against cp of the same file.

Makes the test pictures in a temporary folder, times each conversion and a cp of its input to a
file in the same folder with hyperfine (median of many runs, the output already present from an
earlier run as in a rebuild), measures the conversion's peak resident memory, and prints one line
per case with the target it must meet.

Usage: bench/run.py [path/to/bmp2tvx] [--runs N]
"""
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def write_bmp(path, width, height, bits, colours=256, padded=False):
    """padded: black at entry 5 and, unused, at every entry from `colours` up, as writers that pad
    a short palette to 256 entries leave it; the key search then has to look at every pixel."""
    rnd = random.Random(width * 31 + bits)
    bpp = bits // 8

    def entry(i):
        if padded and (i == 5 or i >= colours):
            return (0, 0, 0)
        return (i, (i * 3) & 255, (i * 7) & 255)
    table = b"" if bits == 24 else b"".join(
        struct.pack("<BBBB", *entry(i), 0) for i in range(256))
    row = bytes(rnd.randrange(colours) for _ in range(width * bpp))
    pixels = b"".join(row[y % 61:] + row[:y % 61] for y in range(height))
    offset = 54 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + table + pixels)


def hyperfine_median(commands, folder, runs):
    report = os.path.join(folder, "report.json")
    subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "3", "--runs", str(runs),
                    "--export-json", report] + commands, cwd=folder, check=True,
                   stdout=subprocess.DEVNULL)
    with open(report) as f:
        return [r["median"] for r in json.load(f)["results"]]


def peak_memory_kib(command, folder):
    # GNU time forks from a small process, so the child's peak is the command's own.
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, cwd=folder, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(out.strip().splitlines()[-1])


def main():
    args = [a for a in sys.argv[1:]]
    runs = 30
    if "--runs" in args:
        i = args.index("--runs")
        runs = int(args[i + 1])
        del args[i:i + 2]
    tool = os.path.abspath(args[0] if args else os.path.join(ROOT, "build", "bmp2tvx"))
    for program, package in (("hyperfine", "hyperfine"), ("/usr/bin/time", "time")):
        if shutil.which(program) is None:
            subprocess.run(["apt-get", "install", "-y", package], check=True,
                           stdout=subprocess.DEVNULL)

    cases = [  # name, width, height, bits, colours, flags, time target, memory checked, padded
        ("4096x4096 8-bit -> Index256", 4096, 4096, 8, 256, [], 1.0, True),
        ("4096x4096 8-bit -> Index16 (-c4)", 4096, 4096, 8, 16, ["-c4"], 1.0, True),
        ("4096x4096 8-bit, padded table", 4096, 4096, 8, 16, [], 1.0, True, True),
        ("4096x4096 24-bit -> FullColor16", 4096, 4096, 24, 256, [], 1.1, True),
        ("240x160 8-bit -> Index256", 240, 160, 8, 256, [], 1.0, False),
    ]
    failures = 0
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as folder:
        print(f"{'case':36} {'cp':>9} {'bmp2tvx':>9} {'ratio':>6} {'target':>7} "
              f"{'peak':>9} {'limit':>9}  verdict")
        for name, width, height, bits, colours, flags, target, check_memory, *rest in cases:
            padded = bool(rest and rest[0])
            picture = f"p{width}_{bits}_{colours}{'_padded' if padded else ''}.bmp"
            path = os.path.join(folder, picture)
            write_bmp(path, width, height, bits, colours, padded)
            convert = " ".join([tool] + flags + [picture])
            subprocess.run(convert, shell=True, cwd=folder, check=True, stdout=subprocess.DEVNULL)
            cp_median, tool_median = hyperfine_median(
                [f"cp {picture} copy.bmp", convert], folder, runs)
            ratio = tool_median / cp_median
            peak = peak_memory_kib([tool] + flags + [picture], folder)
            size_kib = os.path.getsize(path) / 1024
            limit = size_kib + 4096
            ok = ratio <= target and (not check_memory or peak <= limit)
            failures += not ok
            print(f"{name:36} {cp_median * 1000:7.2f}ms {tool_median * 1000:7.2f}ms "
                  f"{ratio:6.2f} {target:6.1f}x {peak:7d}KiB "
                  f"{(f'{limit:7.0f}KiB' if check_memory else '        -'):>9}  "
                  f"{'meets' if ok else 'MISSES'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
