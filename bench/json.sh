#!/usr/bin/env bash
# JSON text to values and back: load-json and to-json of a generated 20 MB
# document (a list of records holding integers, floats, strings with a
# non-ASCII letter, logic values, null, a list and a nested object) against
# python3's json.loads and json.dumps (compact, non-ASCII kept) on the same
# file. Each language runs two programs: "load" reads the file and decodes
# it, "dump" does the same and then encodes the value again; both print a
# length, and zel's answers must equal python3's or the script stops (the
# encoded texts are the same text).
#
# Wall time: median of REPS (default 3) whole-process runs, less the
# language's start-up (an empty program timed right after); decoding is the
# "load" run, encoding the "dump" run less the "load" run. Ratio zel/python3
# (above 1: zel is slower). Instructions: the same over a 1 MB document
# under valgrind's callgrind, less the empty program's, per record.
#
#   bash bench/json.sh [--no-wall] [--no-count]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

codec_bench_start json.sh "$@"

"$PYTHON" - "$work/big.json" 20000000 "$work/small.json" 1000000 <<'PY'
import json, random, sys
random.seed(7)
def record(i):
    return {"id": i, "name": "user%d" % i, "email": "u%d@example.com" % i,
            "score": round(random.random() * 1000, 3), "active": random.random() < 0.5,
            "tags": ["t%d" % random.randint(0, 50) for _ in range(3)],
            "address": {"street": "%d Main St" % random.randint(1, 9999),
                        "city": "Town \u00e9%d" % random.randint(0, 99), "zip": None}}
for path, size in ((sys.argv[1], int(sys.argv[2])), (sys.argv[3], int(sys.argv[4]))):
    records, n = [], 0
    while n < size:
        r = record(len(records))
        records.append(r)
        n += len(json.dumps(r, ensure_ascii=False).encode()) + 2
    with open(path, "w", encoding="utf-8") as f:
        f.write(json.dumps(records, ensure_ascii=False))
PY

cat > "$work/load.zel" <<'ZEL'
Zel []
v: load-json read to file! pick system/options/args 1
print length? v
ZEL
cat > "$work/dump.zel" <<'ZEL'
Zel []
v: load-json read to file! pick system/options/args 1
print length? to-json v
ZEL
cat > "$work/empty.zel" <<'ZEL'
Zel []
ZEL
cat > "$work/load.py" <<'PY'
import json, sys
v = json.loads(open(sys.argv[1], encoding="utf-8").read())
print(len(v))
PY
cat > "$work/dump.py" <<'PY'
import json, sys
v = json.loads(open(sys.argv[1], encoding="utf-8").read())
print(len(json.dumps(v, ensure_ascii=False, separators=(",", ":"))))
PY
: > "$work/empty.py"

codec_vs_python "$work/big.json" "20 MB document" "$work/small.json" "1 MB document" decode encode
