#!/usr/bin/env python3
"""decompress 'zstd against frames the Debian zstd program makes.

    python3 tests/checks/zstd_interop.py path/to/zel

Over a table of inputs (empty, one byte, text, random bytes, long runs,
1 MB and 8 MB of mixed data), frames made by `zstd` at levels 1 to 19, with
`--ultra -22`, `--long=27`, `--no-check`, `-C`, small blocks (`-B`), and
fed through standard input with `--no-content-size` (a window descriptor
and no content size), two frames concatenated with a skippable frame
between them: each decodes to the original bytes, also with a size given
that is too small or too large. Refusals: a frame made
with a dictionary (`-D`) and a frame whose checksum is changed.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from interop import check, finish, mixed, run_zel, small_inputs, text, zel_path  # noqa: E402


inputs = small_inputs()
inputs.update({
    "runs": b"a" * 100000 + b"b" * 300 + bytes(range(256)) * 40 + b"\0" * 3000000,
    "mixed1": mixed(1 << 20),
    "mixed8": mixed(8 << 20),
})
# Options per input; the big input gets fewer levels to keep the check short.
options = [[f"-{level}"] for level in range(1, 20)] + [
    ["--ultra", "-22"], ["--long=27"], ["--no-check"], ["-C"], ["-B1024"], ["-3", "-B4096", "--no-check"]]
big_options = [["-1"], ["-3"], ["-19"], ["--ultra", "-22"], ["--long=27"], ["-C"], ["-B65536"]]


def zstd(args, data):
    return subprocess.run(["zstd", "-q", "-c"] + args, input=data, capture_output=True, check=True).stdout


with tempfile.TemporaryDirectory() as folder:
    frames = []  # (label, frame bytes, expected bytes or None for a refusal)
    for name, data in inputs.items():
        for opts in (big_options if name == "mixed8" else options):
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write(data)
            frames.append((f"zstd {' '.join(opts)} of {name}",
                           subprocess.run(["zstd", "-q", "-c"] + opts + [path], capture_output=True,
                                          check=True).stdout, data))
        frames.append((f"stdin --no-content-size of {name}", zstd(["-3", "--no-content-size"], data), data))
    a, b = inputs["text"], inputs["random"]
    skippable = (0x184D2A53).to_bytes(4, "little") + (5).to_bytes(4, "little") + b"skip!"
    frames.append(("two frames", zstd(["-3"], a) + zstd(["-19"], b), a + b))
    frames.append(("two frames and a skippable frame", zstd(["-3"], a) + skippable + zstd(["-1"], b), a + b))

    # Refusals.
    samples = os.path.join(folder, "samples")
    os.mkdir(samples)
    for i in range(40):
        with open(os.path.join(samples, f"s{i}"), "wb") as f:
            f.write(text(2000 + i * 37))
    dictionary = os.path.join(folder, "dict")
    subprocess.run(["zstd", "-q", "--train", "-r", samples, "-o", dictionary, "--maxdict=4096"],
                   capture_output=True, check=True)
    frames.append(("a frame with a dictionary ID", zstd(["-3", "-D", dictionary], text(3000)), None))
    good = bytearray(zstd(["-3", "--check"], a))
    good[-1] ^= 0x40
    frames.append(("a wrong content checksum", bytes(good), None))

    lines = []
    for i, (label, frame, expected) in enumerate(frames):
        src = os.path.join(folder, f"in{i}")
        with open(src, "wb") as f:
            f.write(frame)
        out = zel_path(os.path.join(folder, f"out{i}"))
        if expected is None:
            lines.append(f"e: try [decompress read/binary {zel_path(src)} 'zstd] "
                         f"print [{i} either error? e [e/id] ['decoded]]")
        else:
            lines.append(f"write/binary {out} decompress read/binary {zel_path(src)} 'zstd")
    # A size given: too small (the second attempt takes the size reported),
    # and larger than the output.
    sized = os.path.join(folder, "sized")
    with open(sized, "wb") as f:
        f.write(zstd(["-3", "--no-content-size"], a))
    for size in (10, 2 * len(a)):
        lines.append(f"write/binary {zel_path(sized + str(size))} "
                     f"decompress/size read/binary {zel_path(sized)} 'zstd {size}")
    printed = run_zel(folder, lines)
    for i, (label, frame, expected) in enumerate(frames):
        if expected is None:
            found = [line for line in printed.splitlines() if line.startswith(f"{i} ")]
            check(found and "invalid-data" in found[0], f"{label}: not refused with invalid-data: {found}")
            continue
        try:
            with open(os.path.join(folder, f"out{i}"), "rb") as f:
                check(f.read() == expected, f"{label}: zel decodes other bytes")
        except OSError:
            check(False, f"{label}: zel gave nothing")
    for size in (10, 2 * len(a)):
        try:
            with open(sized + str(size), "rb") as f:
                check(f.read() == a, f"decompress/size {size}: zel decodes other bytes")
        except OSError:
            check(False, f"decompress/size {size}: zel gave nothing")

finish()
