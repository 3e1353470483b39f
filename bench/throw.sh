#!/usr/bin/env bash
# The cost of a `return` caught one and ten calls up, against lua5.4's
# error/pcall and python3's raise/except at the same depths; best of three.
#
#   bash bench/throw.sh
#
# Installs lua5.4 with apt-get when it is missing. Prints each time in ns
# with the ratio zel / other (above 1: zel is slower), and two parts of
# zel's cost: the bare C++ throw over the same depth and the same calls
# returning normally.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench throw_return

{
  "$build/bench/bench_throw_return"
  lua5.4 bench/throw.lua
  python3 bench/throw.py
} | awk '
  { split($2, d, "="); split($3, t, "="); ns[$1, d[2]] = t[2]; if (!seen[$1]++) order[++n] = $1 }
  END {
    printf "%-14s %12s %12s %14s %14s\n", "", "depth 1 ns", "depth 10 ns", "zel/this (1)", "zel/this (10)"
    for (i = 1; i <= n; i++) {
      w = order[i]
      printf "%-14s %12.1f %12.1f %14.2f %14.2f\n", w, ns[w, 1], ns[w, 10],
             ns["zel", 1] / ns[w, 1], ns["zel", 10] / ns[w, 10]
    }
  }'
