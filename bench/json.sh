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

read_bench_flags json.sh "$@"
ensure_zel
if [ $count = 1 ] && ! command -v valgrind >/dev/null; then
  echo "valgrind is needed for the instruction counts (or --no-count)" >&2; exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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

run_of() {  # lang prog: the command in cmd
  case $1 in
    zel) cmd=("$ZEL" "$work/$2.zel") ;;
    py) cmd=("$PYTHON" -S "$work/$2.py") ;;
  esac
}
check_answers() {  # file
  local p z y
  for p in load dump; do
    run_of zel $p; z=$("${cmd[@]}" "$1") || fail "${cmd[*]}"
    run_of py $p; y=$("${cmd[@]}" "$1") || fail "${cmd[*]}"
    [ "$z" = "$y" ] || fail "$p: zel answers $z, python3 $y"
  done
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

if [ $wall = 1 ]; then
  check_answers "$work/big.json"
  declare -A ms
  for lang in zel py; do
    for p in load dump empty; do
      : > "$work/$lang.$p.ms"
      for ((r = 0; r < ${REPS:-3}; r++)); do
        run_of $lang $p; ms_of "${cmd[@]}" "$work/big.json" >> "$work/$lang.$p.ms"
      done
      ms[$lang.$p]=$(median < "$work/$lang.$p.ms")
    done
    ms[$lang.decode]=$(awk -v a="${ms[$lang.load]}" -v e="${ms[$lang.empty]}" 'BEGIN { print a - e }')
    ms[$lang.encode]=$(awk -v a="${ms[$lang.dump]}" -v b="${ms[$lang.load]}" 'BEGIN { print a - b }')
  done
  echo "20 MB document: median wall ms of ${REPS:-3} runs"
  for op in decode encode; do
    printf "  %-7s zel %9.1f ms   python3 %8.1f ms   zel/python3 %6.2f\n" \
      $op "${ms[zel.$op]}" "${ms[py.$op]}" "$(ratio "${ms[zel.$op]}" "${ms[py.$op]}")"
  done
fi

if [ $count = 1 ]; then
  check_answers "$work/small.json"
  records=$(run_of py load; "${cmd[@]}" "$work/small.json")
  declare -A ir
  for lang in zel py; do
    for p in load dump empty; do
      run_of $lang $p; ir[$lang.$p]=$(count_instructions "${cmd[@]}" "$work/small.json")
      [ -n "${ir[$lang.$p]}" ] || fail "no count for $lang $p"
    done
    ir[$lang.decode]=$(awk -v a="${ir[$lang.load]}" -v e="${ir[$lang.empty]}" -v n="$records" 'BEGIN { printf "%.0f", (a - e) / n }')
    ir[$lang.encode]=$(awk -v a="${ir[$lang.dump]}" -v b="${ir[$lang.load]}" -v n="$records" 'BEGIN { printf "%.0f", (a - b) / n }')
  done
  echo "1 MB document, $records records: callgrind instructions per record"
  for op in decode encode; do
    printf "  %-7s zel %9s Ir   python3 %8s Ir   zel/python3 %6.2f\n" \
      $op "${ir[zel.$op]}" "${ir[py.$op]}" "$(ratio "${ir[zel.$op]}" "${ir[py.$op]}")"
  done
fi
