#!/usr/bin/env python3
"""compress and decompress against python3's zlib and gzip and Debian gzip.

    python3 tests/checks/deflate_interop.py path/to/zel

Both ways, over a table of inputs (empty, one byte, text, random bytes,
long runs, 1 MB of mixed data): every stream zel makes at levels 1 to 9 and
without a level is decoded by python3 (raw, zlib and gzip windows) and the
gzip ones by `gzip -t` and `gzip -dc`; streams python3 makes with the
fixed code, Huffman codes only, run-length matches and stored blocks, a
`gzip -9` file with its name and time, and `gzip.compress` output are
decoded by zel.
"""
import gzip
import os
import shutil
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from interop import check, finish, mixed, run_zel, small_inputs, zel_path  # noqa: E402


inputs = small_inputs()
inputs.update({
    "two": b"AB",
    "runs": b"a" * 100000 + b"b" * 300 + bytes(range(256)) * 40 + b"\0" * 70000,
    "mixed": mixed(1 << 20),
})
levels = [None] + list(range(1, 10))
methods = {"deflate": -15, "zlib": 15, "gzip": 31}


with tempfile.TemporaryDirectory() as folder:
    # Our streams, decoded by python3 and by gzip.
    lines = []
    for name, data in inputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        lines.append(f"b: read/binary {zel_path(os.path.join(folder, name))}")
        for method in methods:
            for level in levels:
                out = os.path.join(folder, f"{name}.{method}.{level}")
                call = f"compress b '{method}" if level is None else f"compress/level b '{method} {level}"
                lines.append(f"write/binary {zel_path(out)} {call}")
    run_zel(folder, lines)
    for name, data in inputs.items():
        for method, wbits in methods.items():
            for level in levels:
                what = f"zel {method} level {level} of {name}"
                path = os.path.join(folder, f"{name}.{method}.{level}")
                try:
                    with open(path, "rb") as f:
                        stream = f.read()
                except OSError:
                    check(False, f"{what}: no output")
                    continue
                try:
                    check(zlib.decompress(stream, wbits) == data, f"{what}: python3 decodes other bytes")
                except zlib.error as e:
                    check(False, f"{what}: python3 refuses it: {e}")
                check(len(stream) <= len(data) + len(data) // 2048 + 32, f"{what}: past the bound")
                if method == "gzip":
                    t = subprocess.run(["gzip", "-t", path], capture_output=True)
                    check(t.returncode == 0, f"{what}: gzip -t: {t.stderr!r}")
                    d = subprocess.run(["gzip", "-dc", path], capture_output=True)
                    check(d.returncode == 0 and d.stdout == data, f"{what}: gzip -dc")

    # Streams made by others, decoded by zel.
    made = {}
    for name, data in inputs.items():
        for strategy, label in [(zlib.Z_FIXED, "fixed"), (zlib.Z_HUFFMAN_ONLY, "huffman"), (zlib.Z_RLE, "rle"),
                                (zlib.Z_DEFAULT_STRATEGY, "default")]:
            for method, wbits in methods.items():
                for level in ([0, 1, 6, 9] if label == "default" else [1, 6, 9]):
                    c = zlib.compressobj(level, zlib.DEFLATED, wbits, 9, strategy)
                    made[(name, method, f"{label}{level}")] = (c.compress(data) + c.flush(), data)
        made[(name, "gzip", "module")] = (gzip.compress(data, mtime=1234567890), data)
        named = os.path.join(folder, f"named-{name}.txt")
        with open(named, "wb") as f:
            f.write(data)
        os.utime(named, (1500000000, 1500000000))
        subprocess.run(["gzip", "-9", "-k", "-f", named], check=True)
        with open(named + ".gz", "rb") as f:
            stream = f.read()
        check(stream[3] & 8 and int.from_bytes(stream[4:8], "little") == 1500000000,
              f"gzip -9 of {name}: no name or time in the header")
        made[(name, "gzip", "gzip-9-named")] = (stream, data)
    lines = []
    for i, ((name, method, label), (stream, data)) in enumerate(made.items()):
        src = os.path.join(folder, f"in{i}")
        with open(src, "wb") as f:
            f.write(stream)
        lines.append(f"write/binary {zel_path(os.path.join(folder, f'out{i}'))} "
                     f"decompress read/binary {zel_path(src)} '{method}")
    run_zel(folder, lines)
    for i, ((name, method, label), (stream, data)) in enumerate(made.items()):
        what = f"{label} {method} stream of {name}"
        try:
            with open(os.path.join(folder, f"out{i}"), "rb") as f:
                check(f.read() == data, f"{what}: zel decodes other bytes")
        except OSError:
            check(False, f"{what}: zel gave nothing")

finish()
