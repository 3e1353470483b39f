#!/usr/bin/env bash
# Start-up to exit: zel running an empty script (a bare header), against
# lua5.4 and python3 -S running empty scripts. The programs take turns for
# RUNS rounds (default 50); prints each one's median milliseconds per run and
# the ratios zel/lua and zel/python (above 1: zel is slower). The goals:
# under 10 ms for zel, and at most twice lua's time. Beside the wall ratios,
# callgrind's instruction counts for one start-up of each (steady where
# wall-clock times swing with the machine's load), when valgrind is there.
#
#   bash bench/startup.sh
#
# ZEL names the program (default: zel of the release build, built when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
ensure_zel
RUNS=${RUNS:-50}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "Zel []" > "$work/empty.zel"
: > "$work/empty.lua"
: > "$work/empty.py"

# One run of the command, in milliseconds (read from the shell's own clock,
# so no timing process is started around it).
run_ms() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", (b - a) * 1000 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The three programs take turns, RUNS rounds, so that a change in the
# machine's load falls on all of them alike; each one's median is reported.
"$ZEL" "$work/empty.zel" >/dev/null  # warm the file cache
lua5.4 "$work/empty.lua"
"$PYTHON" -S "$work/empty.py"
for _ in $(seq "$RUNS"); do
  run_ms "$ZEL" "$work/empty.zel" >> "$work/zel.ms"
  run_ms lua5.4 "$work/empty.lua" >> "$work/lua.ms"
  run_ms "$PYTHON" -S "$work/empty.py" >> "$work/py.ms"
done
zel=$(median < "$work/zel.ms")
lua=$(median < "$work/lua.ms")
py=$(median < "$work/py.ms")
printf "%-10s %10s %10s %10s %10s %10s\n" "" "zel" "lua" "python" "zel/lua" "zel/py"
awk -v z="$zel" -v l="$lua" -v p="$py" \
  'BEGIN { printf "%-10s %10.2f %10.2f %10.2f %10.2f %10.2f\n", "median ms", z, l, p, z / l, z / p }'

# Instructions of one whole run, dynamic loading included.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected/ { gsub(",", "", $4); print $4 }'
}
if command -v valgrind >/dev/null; then
  zi=$(instructions "$ZEL" "$work/empty.zel")
  li=$(instructions lua5.4 "$work/empty.lua")
  pi=$(instructions "$PYTHON" -S "$work/empty.py")
  awk -v z="$zi" -v l="$li" -v p="$pi" \
    'BEGIN { printf "%-10s %10.2f %10.2f %10.2f %10.2f %10.2f\n", "Minstr", z / 1e6, l / 1e6, p / 1e6, z / l, z / p }'
fi
