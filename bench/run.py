#!/usr/bin/env python3
"""Whole-process speed and memory of bmp2tvx against cp of the same file, at every size.

Makes each test picture in a temporary folder, times the conversion and a cp of its input to a
file in the same folder side by side with hyperfine (median of many runs, the output already
present from an earlier run as in a rebuild), measures the conversion's peak resident memory with
GNU time, and prints one line per case with the target it must meet, then a summary line.

The generic POSIX build (cmake -DBMP2TVX_PORTABLE=ON, in build-portable/ by default) is timed in
the same runs when it exists, and its ratio to cp printed beside the Linux build's; it has no
target.

Usage: bench/run.py [path/to/bmp2tvx] [--runs N] [--portable path/to/bmp2tvx]
"""
import json
import os
import random
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

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
    offset = 54 + len(table)
    size = width * height * bpp
    header = struct.pack("<2sIHHI", b"BM", offset + size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, size, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + table)
        for y in range(height):
            shift = (y * 61) % len(row)
            f.write(row[shift:] + row[:shift])


def hyperfine_medians(commands, folder, runs, rounds=5):
    """Medians of `runs` runs of each command. hyperfine runs all of one command's runs before the
    next command's, so a machine whose speed drifts would favour one of them: the runs are made in
    `rounds` rounds that take the commands in turn."""
    report = os.path.join(folder, "report.json")
    times = [[] for _ in commands]
    for r in range(rounds):
        subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "3" if r == 0 else "1",
                        "--runs", str(-(-runs // rounds)), "--export-json", report] + commands,
                       cwd=folder, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(report) as f:
            for i, result in enumerate(json.load(f)["results"]):
                times[i] += result["times"]
    return [statistics.median(t) for t in times]


def peak_memory_kib(command, folder):
    # GNU time forks from a small process, so the child's peak is the command's own.
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, cwd=folder, check=True,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    return int(out.strip().splitlines()[-1])


def cases():
    """name, width, height, bits, colours, flags, time target (x cp), padded table"""
    for side in (64, 128, 256, 512, 768, 1024, 1280, 1536, 2048, 3072, 4096, 6144, 8192):
        yield (f"{side}x{side} 8-bit -> Index256", side, side, 8, 256, [], 0.9, False)
    yield ("4096x4096 8-bit -> Index16 (-c4)", 4096, 4096, 8, 16, ["-c4"], 0.9, False)
    yield ("4096x4096 8-bit, padded table", 4096, 4096, 8, 16, [], 1.0, True)
    for side in (1024, 4096, 8192):
        yield (f"{side}x{side} 24-bit -> FullColor16", side, side, 24, 256, [], 1.0, False)
    yield ("240x160 8-bit -> Index256", 240, 160, 8, 256, [], 0.7, False)


def main():
    args = list(sys.argv[1:])
    runs = 15
    portable = os.path.join(ROOT, "build-portable", "bmp2tvx")
    for option in ("--runs", "--portable"):
        if option in args:
            i = args.index(option)
            if option == "--runs":
                runs = int(args[i + 1])
            else:
                portable = args[i + 1]
            del args[i:i + 2]
    tool = os.path.abspath(args[0] if args else os.path.join(ROOT, "build", "bmp2tvx"))
    portable = os.path.abspath(portable) if os.path.exists(portable) else None
    for program, package in (("hyperfine", "hyperfine"), ("/usr/bin/time", "time")):
        if shutil.which(program) is None:
            subprocess.run(["apt-get", "install", "-y", package], check=True,
                           stdout=subprocess.DEVNULL)

    started = time.monotonic()
    failures = 0
    count = 0
    worst = 0.0
    portable_ratios = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as folder:
        print(f"{'case':36} {'cp':>9} {'bmp2tvx':>9} {'ratio':>6} {'target':>6} "
              f"{'peak':>10} {'limit':>10}  {'verdict':7} {'portable':>9} {'ratio':>6}")
        for name, width, height, bits, colours, flags, target, padded in cases():
            picture = os.path.join(folder, "picture.bmp")
            write_bmp(picture, width, height, bits, colours, padded)
            convert = " ".join([tool] + flags + ["picture.bmp"])
            commands = ["cp picture.bmp copy.bmp", convert]
            if portable:
                commands.append(" ".join([portable] + flags + ["picture.bmp"]))
            subprocess.run(convert, shell=True, cwd=folder, check=True, stdout=subprocess.DEVNULL)
            medians = hyperfine_medians(commands, folder, runs)
            cp_median, tool_median = medians[0], medians[1]
            ratio = tool_median / cp_median
            peak = peak_memory_kib([tool] + flags + ["picture.bmp"], folder)
            limit = os.path.getsize(picture) / 1024 + 4096
            ok = ratio <= target and peak <= limit
            count += 1
            failures += not ok
            worst = max(worst, ratio / target)
            line = (f"{name:36} {cp_median * 1000:7.2f}ms {tool_median * 1000:7.2f}ms "
                    f"{ratio:6.2f} {target:5.1f}x {peak:7d}KiB {limit:7.0f}KiB  "
                    f"{'meets' if ok else 'MISSES':7}")
            if portable:
                portable_ratios.append(medians[2] / cp_median)
                line += f" {medians[2] * 1000:7.2f}ms {medians[2] / cp_median:6.2f}"
            print(line, flush=True)
            for leftover in ("picture.bmp", "picture.tvx", "copy.bmp"):
                if os.path.exists(os.path.join(folder, leftover)):
                    os.remove(os.path.join(folder, leftover))
    summary = (f"{count - failures} of {count} cases meet their targets; the slowest is at "
               f"{worst:.2f} of its time target; {time.monotonic() - started:.0f} s in all")
    if portable_ratios:
        summary += (f"; generic POSIX build from {min(portable_ratios):.2f} to "
                    f"{max(portable_ratios):.2f} x cp (no target)")
    else:
        summary += ("; generic POSIX build not measured (cmake -S . -B build-portable "
                    "-DBMP2TVX_PORTABLE=ON && cmake --build build-portable -j)")
    print(summary)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
