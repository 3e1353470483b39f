#!/usr/bin/env python3
"""checksum against python3's zlib, hashlib and hmac and the openssl tool.

    python3 tests/checks/checksums.py path/to/zel

Writes inputs of the sizes that matter (empty, one byte, both sides of
Adler-32's 3,854-byte chunk, 1 MB of random bytes) to a temporary folder,
has zel compute every method over each as a file!, a binary! from an index
and (for text) a string!, and HMAC with keys of 0, 64, 80, 128 and 200
bytes, and compares every answer.
"""
import hashlib
import hmac
import os
import random
import subprocess
import sys
import tempfile
import zlib

zel = sys.argv[1]
rng = random.Random(20261211)
inputs = {
    "empty": b"",
    "one": b"\x01",
    "c3853": bytes(rng.randrange(256) for _ in range(3853)),
    "c3854": bytes([255]) * 3854,
    "c3855": bytes(rng.randrange(256) for _ in range(3855)),
    "mb": rng.randbytes(1 << 20),
    "text": "h\u00e9llo w\u00f6rld \u20ac\U0001F600".encode(),
}
digests = ["md5", "sha1", "sha256", "sha384", "sha512"]
keys = {n: bytes(rng.randrange(256) for _ in range(n)) for n in (0, 64, 80, 128, 200)}


def tcp(data):
    total = 0
    for i in range(0, len(data) - 1, 2):
        total += data[i] << 8 | data[i + 1]
    if len(data) % 2:
        total += data[-1] << 8
    while total >> 16:
        total = (total >> 16) + (total & 0xFFFF)
    return ~total & 0xFFFF


def signed(n):
    return n - (1 << 32) if n >= 1 << 31 else n


def expected(data, method, key=None):
    if method == "crc32":
        return str(signed(zlib.crc32(data)))
    if method == "adler32":
        return str(signed(zlib.adler32(data)))
    if method == "tcp":
        return str(tcp(data))
    if key is not None:
        return hmac.new(key, data, method).hexdigest().upper()
    return hashlib.new(method, data).hexdigest().upper()


with tempfile.TemporaryDirectory() as folder:
    lines = ["Zel []", "out: func [v] [print either binary? v [enbase/base v 16] [v]]"]
    wanted = []
    for name, data in inputs.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        lines.append(f"f: to-file {{{path}}} b: read/binary f")
        for method in ["crc32", "adler32", "tcp"] + digests:
            lines.append(f"out checksum f '{method}")
            wanted.append((f"{name} file {method}", expected(data, method)))
            lines.append(f"out checksum skip b 1 '{method}")
            wanted.append((f"{name} binary+1 {method}", expected(data[1:], method)))
            if name == "text":
                lines.append(f"out checksum to string! b '{method}")
                wanted.append((f"{name} string {method}", expected(data, method)))
        if name in ("empty", "c3855", "text"):
            for size, key in keys.items():
                with open(os.path.join(folder, f"key{size}"), "wb") as f:
                    f.write(key)
                lines.append(f"k: read/binary to-file {{{os.path.join(folder, f'key{size}')}}}")
                for method in digests:
                    lines.append(f"out checksum/with b '{method} k")
                    wanted.append((f"{name} hmac key {size} {method}", expected(data, method, key)))
    script = os.path.join(folder, "sums.zel")
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    # Megabytes through the collector-stress mode would take hours: the case
    # files run checksum under stress.
    env = {k: v for k, v in os.environ.items() if k not in ("ZEL_GC_STRESS", "ZEL_STAMP_CHECK")}
    run = subprocess.run([zel, script], capture_output=True, text=True, timeout=300, env=env)
    got = run.stdout.splitlines()
    failures = [f"{what}: zel {g!r}, expected {e!r}" for (what, e), g in zip(wanted, got) if g != e]
    if run.returncode != 0 or len(got) != len(wanted):
        failures.append(f"zel ended with {run.returncode} after {len(got)} of {len(wanted)} answers: {run.stderr[-500:]}")
    # The openssl tool on one input, for the digests and a string key.
    data = inputs["c3855"]
    for method in digests:
        for key in (None, "secret"):
            args = ["openssl", "dgst", f"-{method}"] + (["-hmac", key] if key else [])
            tool = subprocess.run(args, input=data, capture_output=True, check=True).stdout.decode()
            want = expected(data, method, key.encode() if key else None)
            if tool.split()[-1].upper() != want:
                failures.append(f"openssl dgst {method} {key}: {tool.strip()} against {want}")
    for line in failures:
        print(line)
    print(f"{len(wanted) - len(failures)} of {len(wanted)} checksums agree")
    sys.exit(1 if failures else 0)
