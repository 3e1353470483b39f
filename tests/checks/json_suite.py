#!/usr/bin/env python3
"""load-json and to-json over the vendored public JSON test suite.

    python3 tests/checks/json_suite.py path/to/zel

tests/data/json-suite holds one file per case (made by
tools/vendor_json_csv_suites.mjs): every y_ case must load through the json
codec's decode of its bytes, and its value must come back the same through
to-json and load-json again; every n_ case must give the error value or
raise script/invalid-data; every i_ case must end without a crash (its
outcome is printed). One zel process goes over all of them.

tests/data/json-bytes holds a few hand-made files at the byte level, whose
outcomes are listed below: a byte order mark is dropped, bytes that are not
UTF-8 are refused by the conversion before any parsing.
"""
import os
import subprocess
import sys
import tempfile

zel = sys.argv[1]
data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "json-suite")
data = os.path.abspath(data)
names = sorted(n for n in os.listdir(data) if n.endswith(".json"))
byte_files = {
    "bom_array.json": "ok",
    "bom_only.json": "refused",
    "invalid_byte.json": "raised access/invalid-utf8",
    "truncated_sequence.json": "raised access/invalid-utf8",
    "utf16le_bom.json": "raised access/invalid-utf8",
}

PROGRAM = r"""Zel []
json: select system/codecs 'json
outcome: func [file /local v w] [
    v: try [json/decode read/binary file]
    case [
        not error? :v [
            w: try [load-json to-json :v]
            either all [not error? :w (mold/all :v) == (mold/all :w)] ["ok"] [
                rejoin ["changed " mold/flat/all :v " " mold/flat/all :w]
            ]
        ]
        v/type = 'user ["refused"]
        true [rejoin ["raised " v/type "/" v/id]]
    ]
]
foreach name read %DATA/ [
    if %.json = suffix? name [print rejoin [form name tab outcome rejoin [%DATA/ name]]]
]
foreach name read %BYTES/ [
    print rejoin ["bytes/" form name tab outcome rejoin [%BYTES/ name]]
]
print "done"
"""

with tempfile.TemporaryDirectory() as tmp:
    script = os.path.join(tmp, "suite.zel")
    with open(script, "w") as f:
        f.write(PROGRAM.replace("DATA", data).replace("BYTES", data.replace("json-suite", "json-bytes")))
    run = subprocess.run([zel, script], capture_output=True, timeout=280)
out = run.stdout.decode("utf-8", "replace").splitlines()
if run.returncode != 0 or not out or out[-1] != "done":
    sys.stderr.write(run.stderr.decode("utf-8", "replace"))
    sys.exit(f"zel did not go over every case (status {run.returncode})")

outcomes = dict(line.split("\t", 1) for line in out[:-1])
failures = []
for name in names:
    got = outcomes.get(name)
    if got is None:
        failures.append(f"{name}: no outcome")
    elif name.startswith("y_") and got != "ok":
        failures.append(f"{name}: {got}")
    elif name.startswith("n_") and got not in ("refused", "raised script/invalid-data"):
        failures.append(f"{name}: {got}")
    elif name.startswith("i_"):
        print(f"{name}: {got}")
for name, expected in byte_files.items():
    got = outcomes.get("bytes/" + name)
    if got != expected:
        failures.append(f"bytes/{name}: {got}, not {expected}")
for failure in failures:
    print("FAIL", failure)
print(f"{len(names)} cases, {len(failures)} failures")
sys.exit(1 if failures else 0)
