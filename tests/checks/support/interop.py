"""What the interoperability checks share: the generated inputs, the tally
of checks, and running one zel script over many files.

The checks (tests/checks/NAME.py) put this folder on their path; the zel
program is their first argument.
"""
import os
import random
import subprocess
import sys

zel = sys.argv[1]
rng = random.Random(20261211)
words = [b"the", b"quick", b"brown", b"fox", b"jumps", b"over", b"lazy", b"dog", b"zel", b"block", b"series"]
failures = []
count = 0


def text(n):
    out = bytearray()
    while len(out) < n:
        out += rng.choice(words) + rng.choice([b" ", b" ", b"\n", b", "])
    return bytes(out[:n])


def mixed(n):
    """Text, random bytes, runs and repeats of earlier stretches."""
    out = bytearray()
    while len(out) < n:
        kind = rng.randrange(4)
        size = rng.randrange(1, 20000)
        if kind == 0:
            out += text(size)
        elif kind == 1:
            out += rng.randbytes(size)
        elif kind == 2:
            out += bytes([rng.randrange(256)]) * size
        else:
            out += bytes(out[-rng.randrange(1, 40000):][:size]) if out else b"x" * size
    return bytes(out[:n])


def small_inputs():
    """Empty, one byte, text and random bytes: the first rows of every table."""
    return {"empty": b"", "one": b"A", "text": text(50000), "random": rng.randbytes(70000)}


def check(ok, what):
    global count
    count += 1
    if not ok:
        failures.append(what)


def run_zel(folder, lines):
    script = os.path.join(folder, "run.zel")
    with open(script, "w") as f:
        f.write("Zel []\n" + "\n".join(lines) + "\n")
    # Megabytes under the collector-stress mode would take far too long: the
    # case files run compress and decompress under stress.
    env = {k: v for k, v in os.environ.items() if k not in ("ZEL_GC_STRESS", "ZEL_STAMP_CHECK")}
    run = subprocess.run([zel, script], capture_output=True, text=True, timeout=600, env=env)
    if run.returncode != 0:
        failures.append(f"zel ended with {run.returncode}: {run.stderr[-800:]} {run.stdout[-800:]}")
    return run.stdout


def zel_path(path):
    return "to-file {" + path + "}"


def finish():
    for line in failures:
        print(line)
    print(f"{count - len(failures)} of {count} interoperability checks agree")
    sys.exit(1 if failures else 0)
