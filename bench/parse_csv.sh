#!/usr/bin/env bash
# Splitting comma-separated text into fields: a PARSE rule that collects
# every field of a generated 10 MB text (lines of 8 fields of 1 to 12
# letters and digits) against python3's re.findall and str.split (lines,
# then commas) and lua5.4's string.gmatch doing the same. Each program reads
# the file, splits it and prints the number of fields; the four answers
# must agree or the script stops.
#
# Wall time: each program runs as a whole process REPS times (default 5),
# each run less the start-up of its language (an empty program timed right
# after it); the median, and the ratio zel / other (above 1: zel is slower).
# Instructions: each program runs once more over a 1 MB text under
# valgrind's callgrind; its count less the empty program's, per field.
#
#   bash bench/parse_csv.sh [--no-wall] [--no-count]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

read_bench_flags parse_csv.sh "$@"
ensure_lua
ensure_zel
if [ $count = 1 ] && ! command -v valgrind >/dev/null; then
  echo "valgrind is needed for the instruction counts (or --no-count)" >&2; exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_csv_texts "$work/big.csv" "$work/small.csv"

cat > "$work/split.zel" <<'ZEL'
Zel []
text: read to file! pick system/options/args 1
field: complement make bitset! ",^/"
fields: parse text [collect some [keep some field [#"," | #"^/"]]]
print length? fields
ZEL
cat > "$work/empty.zel" <<'ZEL'
Zel []
ZEL
cat > "$work/fields_re.py" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
print(len(re.findall(r"[^,\n]+", text)))
PY
cat > "$work/fields_split.py" <<'PY'
import sys
text = open(sys.argv[1]).read()
print(sum(len(line.split(",")) for line in text.split("\n") if line))
PY
: > "$work/empty.py"
cat > "$work/gmatch.lua" <<'LUA'
local f = assert(io.open(arg[1], "rb"))
local text = f:read("a")
f:close()
local n = 0
for _ in text:gmatch("[^,\n]+") do n = n + 1 end
print(n)
LUA
: > "$work/empty.lua"

progs=(zel re split gmatch)
declare -A label=([zel]="zel parse" [re]="python3 re" [split]="python3 split" [gmatch]="lua5.4 gmatch")
command_of() {  # prog, empty?: the command in cmd
  case $1 in
    zel) cmd=("$ZEL" "$work/$([ "$2" = empty ] && echo empty || echo split).zel") ;;
    re | split) cmd=("$PYTHON" -S "$work/$([ "$2" = empty ] && echo empty || echo "fields_$1").py") ;;
    gmatch) cmd=(lua5.4 "$work/$([ "$2" = empty ] && echo empty || echo gmatch).lua") ;;
  esac
}

answers() {  # file: the answers of the four programs, which must agree
  local first="" got
  for p in "${progs[@]}"; do
    command_of $p work
    got=$("${cmd[@]}" "$1") || fail "${cmd[*]}"
    [ -z "$first" ] && first=$got
    [ "$got" = "$first" ] || fail "${label[$p]} answers $got, zel $first"
  done
  echo "$first"
}

declare -A ms ir
if [ $wall = 1 ]; then
  fields=$(answers "$work/big.csv")
  for ((r = 0; r < ${REPS:-5}; r++)); do
    for p in "${progs[@]}"; do
      command_of $p work
      t=$(ms_of "${cmd[@]}" "$work/big.csv")
      command_of $p empty
      e=$(ms_of "${cmd[@]}" "$work/big.csv")
      awk -v t="$t" -v e="$e" 'BEGIN { print t - e }' >> "$work/$p.ms"
    done
  done
  for p in "${progs[@]}"; do ms[$p]=$(median < "$work/$p.ms"); done
  echo "10 MB, $fields fields: median wall ms of ${REPS:-5} runs, less start-up"
  for p in "${progs[@]}"; do
    printf "  %-15s %9.2f ms   zel/this %6.2f\n" "${label[$p]}" "${ms[$p]}" \
      "$(awk -v a="${ms[zel]}" -v b="${ms[$p]}" 'BEGIN { print a / b }')"
  done
fi

if [ $count = 1 ]; then
  small=$(answers "$work/small.csv")
  total_of() {  # prog, empty?: instructions of one run over the small text
    command_of "$1" "$2"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "${cmd[@]}" "$work/small.csv" \
      2>&1 >/dev/null | awk '/Collected/ { gsub(",", "", $4); print $4 }'
  }
  echo "1 MB, $small fields: callgrind instructions per field, less start-up"
  for p in "${progs[@]}"; do
    t=$(total_of $p work) e=$(total_of $p empty)
    [ -n "$t" ] && [ -n "$e" ] || fail "no count for ${label[$p]}"
    ir[$p]=$(awk -v t="$t" -v e="$e" -v n="$small" 'BEGIN { printf "%.1f", (t - e) / n }')
  done
  for p in "${progs[@]}"; do
    printf "  %-15s %9s Ir   zel/this %6.2f\n" "${label[$p]}" "${ir[$p]}" \
      "$(awk -v a="${ir[zel]}" -v b="${ir[$p]}" 'BEGIN { print a / b }')"
  done
fi
