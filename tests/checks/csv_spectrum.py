#!/usr/bin/env python3
"""load-csv over the vendored csv-spectrum tables.

    python3 tests/checks/csv_spectrum.py path/to/zel

tests/data/csv-spectrum holds each table with the records it must give (made
by tools/vendor_json_csv_suites.mjs). zel reads every table through the csv
codec's decode of its bytes with load-csv/header/as-records and answers the
records as to-json text; python3 writes the expectation the same compact way
and the two texts must be equal. location_coordinates ships an expectation
that is not its table (another phone number, one object instead of a list):
it is checked against the records its table does hold.
"""
import json
import os
import subprocess
import sys
import tempfile

zel = sys.argv[1]
data = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "csv-spectrum"))
names = sorted(n[:-4] for n in os.listdir(data) if n.endswith(".csv"))

PROGRAM = r"""Zel []
foreach name read %DATA/ [
    if %.csv = suffix? name [
        text: to string! read/binary rejoin [%DATA/ name]
        print rejoin [form name tab to-json load-csv/header/as-records text]
    ]
]
print "done"
"""

BY_HAND = {
    "location_coordinates": [{
        "Contact Phone Number": "2095257564",
        "Location Coordinates": "37\ufffd36'37.8\"N 121\ufffd2'17.9\"W",
        "Cities": "Modesto",
        "Counties": "Stanislaus",
    }],
}

with tempfile.TemporaryDirectory() as tmp:
    script = os.path.join(tmp, "spectrum.zel")
    with open(script, "w") as f:
        f.write(PROGRAM.replace("DATA", data))
    run = subprocess.run([zel, script], capture_output=True, timeout=280)
out = run.stdout.decode("utf-8").splitlines()
if run.returncode != 0 or not out or out[-1] != "done":
    sys.stderr.write(run.stderr.decode("utf-8", "replace"))
    sys.exit(f"zel did not read every table (status {run.returncode})")
got = dict(line.split("\t", 1) for line in out[:-1])

failures = 0
for name in names:
    if name in BY_HAND:
        expected = BY_HAND[name]
    else:
        with open(os.path.join(data, name + ".json"), encoding="utf-8") as f:
            expected = json.load(f)
    text = json.dumps(expected, separators=(",", ":"), ensure_ascii=False)
    if got.get(f"{name}.csv") != text:
        failures += 1
        print(f"FAIL {name}\n  expected {text}\n  got      {got.get(name + '.csv')}")
print(f"{len(names)} tables, {failures} failures")
sys.exit(1 if failures else 0)
