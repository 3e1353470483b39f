#!/usr/bin/env python3
"""Deeply nested data through load-json and to-json, untraced.

    python3 tests/checks/json_deep.py path/to/zel

Text nested 100,000 deep (arrays, objects, closed and unclosed) is refused
with load-json's error value, and the process goes on; to-json of blocks
nested past the depth of the run-time's cycle stack raises internal
too-deep (not a stack overflow), nesting within it is written whole, and
the next call starts clean. These run outside the case files: every
evaluation step inside the library would be a trace event there, hundreds
of thousands of them.
"""
import subprocess
import sys
import tempfile

zel = sys.argv[1]

CASES = [
    ('s: append/dup copy "" "[" 100000 load-json s', "error user/message"),
    ('s: append/dup copy "" "{^"a^":" 50000 load-json s', "error user/message"),
    ('s: append/dup append/dup copy "" "[" 100000 "]" 100000 load-json s', "error user/message"),
    ('load-json "[[[1]]]"', "[[[1]]]"),
    ("to-json nested 1100", "error internal/too-deep"),
    ("length? to-json nested 900", "1800"),
    ("try [to-json nested 1100] to-json [[1]]", '"[[1]]"'),
    ('to-json/pretty nested 1100 "  "', "error internal/too-deep"),
]

program = ["Zel []",
           'nested: func [n] [load rejoin [append/dup copy "" "[" n append/dup copy "" "]" n]]',
           "name-of: func [e] [rejoin [e/type '/ e/id]]"]
for code, _ in CASES:
    # load-json's error value (a user error) and a raised error both
    # come out of try as the error: "error TYPE/ID".
    program.append("r: try [%s] print either error? :r [append copy \"error \" name-of r] [mold :r]" % code)
program = "\n".join(program)
with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
    f.write(program + "\nprint \"done\"\n")
run = subprocess.run([zel, f.name], capture_output=True, timeout=280)
out = run.stdout.decode("utf-8", "replace").splitlines()
failures = 0
for (code, expected), got in zip(CASES, out):
    if got != expected:
        failures += 1
        print(f"FAIL {code}\n  expected {expected}\n  got      {got}")
if run.returncode != 0 or out[-1:] != ["done"] or len(out) != len(CASES) + 1:
    sys.stderr.write(run.stderr.decode("utf-8", "replace"))
    sys.exit(f"zel did not run every case (status {run.returncode})")
print(f"{len(CASES)} cases, {failures} failures")
sys.exit(1 if failures else 0)
