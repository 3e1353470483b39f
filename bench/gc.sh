#!/usr/bin/env bash
# The collector under a script-like load, against lua5.4 and python3 doing
# the same: `churn` makes 1,000,000 short-lived blocks and strings (a block
# of three values, a string built from a number) while 1,000 blocks stay
# live in a ring; each program is bench/gc/<name>.zel with its .lua and .py
# twins, each timing its own work, zel as the best of three runs. Then the
# collector's pauses: the longest cycle (mark and sweep, started by an
# allocation) and the longest compaction (at the evaluator's safe point),
# for `churn` and for `big_heap`, which keeps 200,000 blocks and their
# strings live while it replaces them one by one.
#
#   bash bench/gc.sh
#
# Prints seconds, the ratios zel/lua and zel/python (below 1: zel is
# faster), then the collector's figures.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench gc

figures=$("$build/bench/bench_gc" bench/gc churn big_heap)
printf "%-10s %10s %10s %10s %10s %10s\n" "" "zel s" "lua s" "python s" "zel/lua" "zel/py"
name=churn
zel=$(echo "$figures" | awk '$1 == "churn" { sub("seconds=", "", $2); print $2 }')
lua=$(best_of_three lua5.4 "bench/gc/$name.lua")
py=$(best_of_three "$PYTHON" "bench/gc/$name.py")
awk -v n="$name" -v z="$zel" -v l="$lua" -v p="$py" \
  'BEGIN { printf "%-10s %10.3f %10.3f %10.3f %10.2f %10.2f\n", n, z, l, p, z / l, z / p }'
echo
echo "$figures" | cut -d' ' -f1,3-
