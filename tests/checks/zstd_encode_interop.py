#!/usr/bin/env python3
"""compress 'zstd against the Debian zstd program.

    python3 tests/checks/zstd_encode_interop.py path/to/zel

Every level from 1 to 19 over inputs of each size class (up to 16 KB, up
to 128 KB, up to 256 KB, above) and each kind (text, random bytes, long
runs, mixed binary), and 2.2 MB of mixed data at levels 1 and 3, whose
frames declare a window smaller than the input: `zstd -t` accepts every
frame, and both `zstd -d` and our own decoder give back the input. A table
of the corpus's total size at every level shows level 19 below level 3 and
level 3 below level 1.
"""
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from interop import check, finish, mixed, run_zel, text, zel_path  # noqa: E402

rng = random.Random(41)


def runs(n):
    out = bytearray()
    while len(out) < n:
        out += bytes([rng.randrange(256)]) * rng.randrange(1, 3000)
    return bytes(out[:n])


sizes = {"16k": 12000, "128k": 100000, "256k": 200000, "big": 300000}
kinds = {"text": text, "random": rng.randbytes, "runs": runs, "mixed": mixed}
levels = range(1, 20)

with tempfile.TemporaryDirectory() as folder:
    inputs = {}
    for size_name, n in sizes.items():
        for kind, make in kinds.items():
            name = f"{kind}-{size_name}"
            inputs[name] = make(n)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(inputs[name])
    level_sets = {name: levels for name in inputs}
    inputs["windowed-mixed"] = mixed(2200000)
    level_sets["windowed-mixed"] = [1, 3]
    with open(os.path.join(folder, "windowed-mixed"), "wb") as f:
        f.write(inputs["windowed-mixed"])
    lines = []
    for name in inputs:
        src = zel_path(os.path.join(folder, name))
        lines.append(f"data: read/binary {src}")
        for level in level_sets[name]:
            out = zel_path(os.path.join(folder, f"{name}.{level}.zst"))
            lines.append(f"z: compress/level data 'zstd {level} write/binary {out} z "
                         f"print [\"{name}\" {level} length? z equal? data decompress z 'zstd]")
    printed = run_zel(folder, lines)
    results = {}
    for line in printed.splitlines():
        parts = line.split()
        if len(parts) == 4:
            results[(parts[0], int(parts[1]))] = (int(parts[2]), parts[3] == "true")
    frames = []
    for name in inputs:
        for level in level_sets[name]:
            found = results.get((name, level))
            check(found is not None, f"{name} level {level}: no frame")
            if found:
                check(found[1], f"{name} level {level}: our decoder gives other bytes")
                frames.append((name, level))
    paths = [os.path.join(folder, f"{name}.{level}.zst") for name, level in frames]
    tested = subprocess.run(["zstd", "-t", "-q"] + paths, capture_output=True, text=True)
    check(tested.returncode == 0, f"zstd -t refuses: {tested.stderr[-800:]}")
    outdir = os.path.join(folder, "out")
    os.mkdir(outdir)
    subprocess.run(["zstd", "-d", "-q", "-f", "--output-dir-flat", outdir] + paths, capture_output=True)
    for name, level in frames:
        try:
            with open(os.path.join(outdir, f"{name}.{level}"), "rb") as f:
                check(f.read() == inputs[name], f"{name} level {level}: zstd -d gives other bytes")
        except OSError:
            check(False, f"{name} level {level}: zstd -d gave nothing")
    for level in (1, 3):
        with open(os.path.join(folder, f"windowed-mixed.{level}.zst"), "rb") as f:
            check(f.read(5)[4] == 0x80, f"windowed-mixed level {level}: not a windowed frame")
    corpus = [name for name in inputs if name != "windowed-mixed"]
    total = {level: sum(results.get((name, level), (0, False))[0] for name in corpus) for level in levels}
    print(f"{'level':>5} {'bytes':>10}  (corpus {sum(len(inputs[name]) for name in corpus)} bytes)")
    for level in levels:
        print(f"{level:>5} {total[level]:>10}")
    check(total[19] < total[3] < total[1], f"sizes do not fall with the level: {total[1]} {total[3]} {total[19]}")

finish()
