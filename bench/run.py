#!/usr/bin/env python3
"""Whole-process speed, memory and passes of bmp2tvx against cp of the same file.

Makes each test picture in a temporary folder, times the conversion and a cp of its input to a
file in the same folder side by side with hyperfine (median of many runs, the output already
present from an earlier run as in a rebuild), measures the conversion's peak resident memory with
GNU time and the bytes it reads with strace, and prints one line per case with the targets it
must meet, then a summary line. "passes" is the bytes the process read divided by the input
file's size: how many times the conversion read its picture.

The generic POSIX build (cmake -DBMP2TVX_PORTABLE=ON, in build-portable/ by default) is timed in
the same runs when it exists, and its ratio to cp printed beside the Linux build's; it has no
target.
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


def hyperfine_medians(commands, folder, runs, rounds=5):
    """Medians of `runs` runs of each command (a list of arguments). hyperfine runs all of one
    command's runs before the next command's, so a machine whose speed drifts would favour one of
    them: the runs are made in `rounds` rounds that take the commands in turn."""
    report = os.path.join(folder, "report.json")
    times = [[] for _ in commands]
    for r in range(rounds):
        subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "3" if r == 0 else "1",
                        "--runs", str(-(-runs // rounds)), "--export-json", report]
                       + [shlex.join(c) for c in commands],
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


def bytes_read(command, folder):
    """Every byte the command's read calls returned, seen from outside by strace."""
    trace = os.path.join(folder, "trace.txt")
    subprocess.run(["strace", "-f", "-qq", "-e", "trace=read,pread64,readv,preadv",
                    "-e", "signal=none", "-o", trace] + command,
                   cwd=folder, check=True, stdout=subprocess.DEVNULL)
    with open(trace) as f:
        return sum(int(n) for n in re.findall(r"\) += (\d+)", f.read()))


def cases():
    """name, width, height, bits, colours, flags, time target (x cp), padded table"""
    for side in (64, 128, 256, 512, 768, 1024, 1280, 1536, 2048, 3072, 4096, 6144, 8192):
        yield (f"{side}x{side} 8-bit -> Index256", side, side, 8, 256, [], 0.9, False)
    yield ("4096x4096 8-bit -> Index16 (-c4)", 4096, 4096, 8, 16, ["-c4"], 0.9, False)
    yield ("4096x4096 8-bit, padded table", 4096, 4096, 8, 16, [], 1.0, True)
    yield ("4096x4096 8-bit -> FullColor16", 4096, 4096, 8, 256, ["-c16"], 1.5, False)
    for side in (1024, 4096, 8192):
        yield (f"{side}x{side} 24-bit -> FullColor16", side, side, 24, 256, [], 1.0, False)
    yield ("2048x2048 24-bit, 15 colours -> Index16", 2048, 2048, 24, 15, ["-c4"], 1.5, False)
    yield ("2048x2048 24-bit, 255 colours -> Index256", 2048, 2048, 24, 255, ["-c8"], 1.5,
           False)
    yield ("240x160 8-bit -> Index256", 240, 160, 8, 256, [], 0.7, False)


def measure(tool, portable, case, folder, runs):
    name, width, height, bits, colours, flags, target, padded = case
    picture = os.path.join(folder, "picture.bmp")
    write_bmp(picture, width, height, bits, colours, padded)
    convert = [tool] + flags + ["picture.bmp"]
    commands = [["cp", "picture.bmp", "copy.bmp"], convert]
    if portable:
        commands.append([portable] + flags + ["picture.bmp"])
    subprocess.run(convert, cwd=folder, check=True, stdout=subprocess.DEVNULL)
    medians = hyperfine_medians(commands, folder, runs)
    size = os.path.getsize(picture)
    result = {
        "name": name, "target": target, "cp": medians[0], "tool": medians[1],
        "ratio": medians[1] / medians[0], "peak": peak_memory_kib(convert, folder),
        "limit": size / 1024 + 4096, "passes": bytes_read(convert, folder) / size,
        "portable": medians[2] if portable else None,
    }
    for leftover in ("picture.bmp", "picture.tvx", "copy.bmp", "trace.txt"):
        if os.path.exists(os.path.join(folder, leftover)):
            os.remove(os.path.join(folder, leftover))
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool", nargs="?", default=os.path.join(ROOT, "build", "bmp2tvx"),
                        help="the bmp2tvx to measure (default: build/bmp2tvx)")
    parser.add_argument("--runs", type=int, default=15, help="timed runs of each command")
    parser.add_argument("--portable", default=os.path.join(ROOT, "build-portable", "bmp2tvx"),
                        help="the generic POSIX build, timed beside when it exists")
    parser.add_argument("--only", default="", help="measure only the cases whose name has this")
    args = parser.parse_args()
    missing = [package for program, package in NEEDED.items() if shutil.which(program) is None]
    if missing:
        print(f"bench/run.py needs {', '.join(missing)}: install them (Debian: apt-get install "
              f"{' '.join(missing)}) and run it again.", file=sys.stderr)
        return 2
    tool = os.path.abspath(args.tool)
    portable = os.path.abspath(args.portable) if os.path.exists(args.portable) else None

    started = time.monotonic()
    results = []
    with tempfile.TemporaryDirectory(dir=os.environ.get("BENCH_DIR")) as folder:
        print(f"{'case':41} {'cp':>9} {'bmp2tvx':>9} {'ratio':>6} {'target':>6} {'passes':>6} "
              f"{'peak':>10} {'limit':>10}  {'verdict':7} {'portable':>9} {'ratio':>6}")
        for case in cases():
            if args.only not in case[0]:
                continue
            r = measure(tool, portable, case, folder, args.runs)
            r["ok"] = r["ratio"] <= r["target"] and r["peak"] <= r["limit"]
            results.append(r)
            line = (f"{r['name']:41} {r['cp'] * 1000:7.2f}ms {r['tool'] * 1000:7.2f}ms "
                    f"{r['ratio']:6.2f} {r['target']:5.1f}x {r['passes']:6.2f} "
                    f"{r['peak']:7d}KiB {r['limit']:7.0f}KiB  {'meets' if r['ok'] else 'MISSES':7}")
            if portable:
                line += f" {r['portable'] * 1000:7.2f}ms {r['portable'] / r['cp']:6.2f}"
            print(line, flush=True)
    failures = sum(not r["ok"] for r in results)
    worst = max((r["ratio"] / r["target"] for r in results), default=0)
    summary = (f"{len(results) - failures} of {len(results)} cases meet their targets; the slowest "
               f"is at {worst:.2f} of its time target; {time.monotonic() - started:.0f} s in all")
    if portable:
        ratios = [r["portable"] / r["cp"] for r in results]
        summary += (f"; generic POSIX build from {min(ratios):.2f} to {max(ratios):.2f} x cp "
                    "(no target)")
    else:
        summary += ("; generic POSIX build not measured (cmake -S . -B build-portable "
                    "-DBMP2TVX_PORTABLE=ON && cmake --build build-portable -j)")
    print(summary)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
