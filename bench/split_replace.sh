#!/usr/bin/env bash
# The base library's split and replace/all over a generated 10 MB text of
# comma-separated fields: `split text ","` against python3's str.split and
# lua5.4's string.gmatch counting the fields, and `replace/all text "," ";"`
# against python3's str.replace and lua5.4's string.gsub with a plain
# pattern. Each program reads the file, does the work and prints a count;
# the answers must agree.
#
# Wall time: REPS whole-process runs (default 5), each less its language's
# start-up; the median and the ratio zel / other (above 1: zel is slower).
# Instructions: one more run over 1 MB under callgrind, less start-up.
#
#   bash bench/split_replace.sh [--no-wall] [--no-count]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

read_bench_flags split_replace.sh "$@"
ensure_lua
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_csv_texts "$work/big.csv" "$work/small.csv"

cat > "$work/split.zel" <<'ZEL'
Zel []
text: read to file! pick system/options/args 1
print length? split text ","
ZEL
cat > "$work/replace.zel" <<'ZEL'
Zel []
text: read to file! pick system/options/args 1
replace/all text "," ";"
print index? find/last text ";"
ZEL
printf 'Zel []\n' > "$work/empty.zel"
cat > "$work/split.py" <<'PY'
import sys
print(len(open(sys.argv[1]).read().split(",")))
PY
cat > "$work/replace.py" <<'PY'
import sys
text = open(sys.argv[1]).read().replace(",", ";")
print(text.rfind(";") + 1)
PY
: > "$work/empty.py"
cat > "$work/split.lua" <<'LUA'
local f = assert(io.open(arg[1], "rb")) local text = f:read("a") f:close()
local n = 0
for _ in text:gmatch("[^,]+") do n = n + 1 end
print(n)
LUA
cat > "$work/replace.lua" <<'LUA'
local f = assert(io.open(arg[1], "rb")) local text = f:read("a") f:close()
text = text:gsub(",", ";")
print(#text:match("^.*;"))
LUA
: > "$work/empty.lua"

command_of() {  # language, task (split, replace or empty): the command in cmd
  case $1 in
    zel) cmd=("$ZEL" "$work/$2.zel") ;;
    python3) cmd=("$PYTHON" -S "$work/$2.py") ;;
    lua5.4) cmd=(lua5.4 "$work/$2.lua") ;;
  esac
}
langs=(zel python3 lua5.4)

for task in split replace; do
  first=""
  for l in "${langs[@]}"; do
    command_of $l $task
    got=$("${cmd[@]}" "$work/small.csv") || fail "${cmd[*]}"
    [ -z "$first" ] && first=$got
    [ "$got" = "$first" ] || fail "$l $task answers $got, zel $first"
  done
  declare -A ms=() ir=()
  if [ $wall = 1 ]; then
    for ((r = 0; r < ${REPS:-5}; r++)); do
      for l in "${langs[@]}"; do
        command_of $l $task; t=$(ms_of "${cmd[@]}" "$work/big.csv")
        command_of $l empty; e=$(ms_of "${cmd[@]}" "$work/big.csv")
        awk -v t="$t" -v e="$e" 'BEGIN { print t - e }' >> "$work/$task.$l.ms"
      done
    done
    echo "$task, 10 MB: median wall ms of ${REPS:-5} runs, less start-up"
    for l in "${langs[@]}"; do ms[$l]=$(median < "$work/$task.$l.ms"); done
    for l in "${langs[@]}"; do
      printf "  %-8s %9.2f ms   zel/this %6.2f\n" "$l" "${ms[$l]}" "$(awk -v a="${ms[zel]}" -v b="${ms[$l]}" 'BEGIN { print a / b }')"
    done
  fi
  if [ $count = 1 ] && command -v valgrind >/dev/null; then
    echo "$task, 1 MB: callgrind instructions per byte, less start-up"
    for l in "${langs[@]}"; do
      for kind in $task empty; do
        command_of $l $kind
        n=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "${cmd[@]}" "$work/small.csv" 2>&1 >/dev/null |
          awk '/Collected/ { gsub(",", "", $4); print $4 }')
        [ $kind = empty ] && e=$n || t=$n
      done
      ir[$l]=$(awk -v t="$t" -v e="$e" -v n="$(stat -c %s "$work/small.csv")" 'BEGIN { printf "%.1f", (t - e) / n }')
    done
    for l in "${langs[@]}"; do
      printf "  %-8s %9s Ir   zel/this %6.2f\n" "$l" "${ir[$l]}" "$(awk -v a="${ir[zel]}" -v b="${ir[$l]}" 'BEGIN { print a / b }')"
    done
  fi
done
