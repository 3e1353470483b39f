#!/usr/bin/env python3
"""os-info and list-env against the process's own view.

    python3 tests/checks/os_info.py path/to/zel

zel runs with an environment of the test's making (a value holding "=", one
empty, one with non-ASCII and with malformed UTF-8) and prints list-env; the
map must hold exactly those variables. os-info's fields come in order, arch
is the word for this machine and version the kernel release's numbers.
"""
import os
import platform
import re
import subprocess
import sys
import tempfile

zel = sys.argv[1]
failures = []
env = {"A": "1", "EQ": "a=b=c", "EMPTY": "", "NAME": "é€", "HOME": "/nowhere"}
raw_env = {k.encode(): v.encode() for k, v in env.items()}
raw_env[b"BAD"] = b"x\xffy"
script = """Zel []
m: list-env
foreach key sort words-of m [print [mold key mold select m key]]
print "--"
o: os-info
print mold words-of o
print [o/arch o/version o/build type? o/name]
"""
with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
    f.write(script)
try:
    out = subprocess.run([zel, f.name], capture_output=True, env=raw_env, timeout=60).stdout.decode()
finally:
    os.unlink(f.name)
env_part, info_part = out.split("--\n")
want = dict(env, BAD="x\ufffdy")
got = {}
for line in env_part.splitlines():
    m = re.fullmatch(r'"([^"]*)" "([^"]*)"', line)
    if not m:
        failures.append(f"list-env line {line!r}")
        continue
    got[m.group(1)] = m.group(2)
if got != want:
    failures.append(f"list-env: got {got}, want {want}")

words, values = info_part.splitlines()[:2]
if words != "[name arch version build]":
    failures.append(f"os-info fields: {words}")
arch = {"x86_64": "x86-64", "aarch64": "ARM64"}.get(platform.machine(), None)
numbers = [int(x) for x in re.match(r"(\d+)\.?(\d*)\.?(\d*)", platform.release()).groups(default="0") if x != ""]
numbers += [0] * (3 - len(numbers))
version = ".".join(str(min(n, 255)) for n in numbers[:3])
parts = values.split()
if arch and parts[0] != arch:
    failures.append(f"arch {parts[0]}, want {arch}")
if parts[1] != version:
    failures.append(f"version {parts[1]}, want {version}")
if parts[3] != "string":
    failures.append(f"name is {parts[3]}")

for line in failures:
    print(line)
print("os-info and list-env as expected" if not failures else f"{len(failures)} differences")
sys.exit(1 if failures else 0)
