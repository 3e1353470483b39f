#!/usr/bin/env bash
# Delimited text to records and back: load-csv and to-csv of a generated
# 20 MB table (lines of 8 fields of letters and digits, one field in twenty
# holding a comma or a doubled quote, so quoted) against python3's
# csv.reader and csv.writer (LF line ends) on the same file. Each language
# runs two programs: "load" reads the file and splits it into records,
# "dump" does the same and then writes the records as text again; both
# print a length, and zel's answers must equal python3's or the script
# stops (the written texts are the same text).
#
# Wall time: median of REPS (default 3) whole-process runs, less the
# language's start-up (an empty program timed right after); reading is the
# "load" run, writing the "dump" run less the "load" run. Ratio zel/python3
# (above 1: zel is slower). Instructions: the same over a 1 MB table under
# valgrind's callgrind, less the empty program's, per record.
#
#   bash bench/csv.sh [--no-wall] [--no-count]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

codec_bench_start csv.sh "$@"

"$PYTHON" - "$work/big.csv" 20000000 "$work/small.csv" 1000000 <<'PY'
import csv, io, random, sys
alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
random.seed(3)
def field():
    text = "".join(random.choice(alphabet) for _ in range(random.randint(1, 12)))
    roll = random.random()
    if roll < 0.025:
        return text + "," + text
    if roll < 0.05:
        return text + '"' + text
    return text
for path, size in ((sys.argv[1], int(sys.argv[2])), (sys.argv[3], int(sys.argv[4]))):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    while out.tell() < size:
        writer.writerow([field() for _ in range(8)])
    with open(path, "w", newline="") as f:
        f.write(out.getvalue())
PY

cat > "$work/load.zel" <<'ZEL'
Zel []
v: load-csv read to file! pick system/options/args 1
print length? v
ZEL
cat > "$work/dump.zel" <<'ZEL'
Zel []
v: load-csv read to file! pick system/options/args 1
print length? to-csv v
ZEL
cat > "$work/empty.zel" <<'ZEL'
Zel []
ZEL
cat > "$work/load.py" <<'PY'
import csv, sys
v = list(csv.reader(open(sys.argv[1], newline="")))
print(len(v))
PY
cat > "$work/dump.py" <<'PY'
import csv, io, sys
v = list(csv.reader(open(sys.argv[1], newline="")))
out = io.StringIO()
csv.writer(out, lineterminator="\n").writerows(v)
print(len(out.getvalue()))
PY
: > "$work/empty.py"

codec_vs_python "$work/big.csv" "20 MB table" "$work/small.csv" "1 MB table" read write
