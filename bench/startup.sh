#!/usr/bin/env bash
# Start-up to exit: zel running an empty script (a bare header), against
# lua5.4 and python3 -S running empty scripts. Each program runs RUNS times
# in a row (default 50); prints the mean milliseconds per run and the ratios
# zel/lua and zel/python (above 1: zel is slower). The goals: under 10 ms
# for zel, and at most twice lua's time. Beside the wall ratios, callgrind's
# instruction counts for one start-up of each (steady where wall-clock
# times swing with the machine's load), when valgrind is there.
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

mean_ms() {  # command...: mean wall-clock milliseconds of RUNS runs
  local start end
  "$@" >/dev/null  # warm the file cache
  start=$(date +%s%N)
  for _ in $(seq "$RUNS"); do "$@" >/dev/null; done
  end=$(date +%s%N)
  awk -v a="$start" -v b="$end" -v n="$RUNS" 'BEGIN { printf "%.2f\n", (b - a) / n / 1e6 }'
}

zel=$(mean_ms "$ZEL" "$work/empty.zel")
lua=$(mean_ms lua5.4 "$work/empty.lua")
py=$(mean_ms "$PYTHON" -S "$work/empty.py")
printf "%-10s %10s %10s %10s %10s %10s\n" "" "zel ms" "lua ms" "python ms" "zel/lua" "zel/py"
awk -v z="$zel" -v l="$lua" -v p="$py" \
  'BEGIN { printf "%-10s %10.2f %10.2f %10.2f %10.2f %10.2f\n", "startup", z, l, p, z / l, z / p }'

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
