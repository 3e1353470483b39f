#!/usr/bin/env bash
# The evaluator against lua5.4 and python3 on the same work: a 10,000,000-step
# while loop adding integers, foreach over 1,000,000 values, 1,000,000 calls
# of a 3-argument function with a refinement, recursive fib 30, 20,000
# runs of a block of 200 straight-line expressions, 1,000,000 calls of a
# method of an object that adds to a field (a Lua table with a method, a
# Python class instance), and 1,000,000 objects of three fields made (Lua
# tables, Python class instances). Each program is in
# bench/eval/ as <name>.zel with its .lua and .py twins; each times its own
# work (loading and start-up excluded), zel as the best of three runs.
#
#   bash bench/eval.sh [name...]
#
# Prints seconds and the ratios zel/lua and zel/python (below 1: zel is
# faster). The goal: below 1 against python, below 2 against lua.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench eval

names=("$@")
[ ${#names[@]} -eq 0 ] && names=(while foreach call fib straight method objects)

best_of_three() {  # command...
  local best=""
  for _ in 1 2 3; do
    t=$("$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
}

printf "%-10s %10s %10s %10s %10s %10s\n" "" "zel s" "lua s" "python s" "zel/lua" "zel/py"
"$build/bench/bench_eval" bench/eval "${names[@]}" | while read -r name seconds result; do
  zel=${seconds#seconds=}
  lua=$(best_of_three lua5.4 "bench/eval/$name.lua")
  py=$(best_of_three python3 "bench/eval/$name.py")
  awk -v n="$name" -v z="$zel" -v l="$lua" -v p="$py" \
    'BEGIN { printf "%-10s %10.3f %10.3f %10.3f %10.2f %10.2f\n", n, z, l, p, z / l, z / p }'
done
