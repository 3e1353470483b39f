#!/bin/sh
# The cost of a `return` caught one and ten calls up, against Lua 5.4's
# error/pcall and Python's raise/except at the same depths. Builds the
# benchmark, installs lua5.4 when it is missing, runs the three and prints
# each time with its ratio to Zel's.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build/bench"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_TESTS=OFF -DZEL_BENCH=ON >/dev/null
ninja -C "$build" bench_throw_return >/dev/null
if ! command -v lua5.4 >/dev/null 2>&1; then
    apt-get update -qq && apt-get install -y -qq lua5.4 >/dev/null
fi

{
    "$build/bench/bench_throw_return"
    lua5.4 "$here/throw.lua"
    python3 "$here/throw.py"
} | awk '
    { split($2, d, "="); split($3, t, "="); ns[$1, d[2]] = t[2]; if (!seen[$1]++) order[++n] = $1 }
    END {
        printf "%-14s %12s %12s %14s %14s\n", "", "depth 1 ns", "depth 10 ns", "zel/this (1)", "zel/this (10)"
        for (i = 1; i <= n; i++) {
            w = order[i]
            printf "%-14s %12.1f %12.1f %14.2f %14.2f\n", w, ns[w, 1], ns[w, 10], ns["zel", 1] / ns[w, 1], ns["zel", 10] / ns[w, 10]
        }
    }'
