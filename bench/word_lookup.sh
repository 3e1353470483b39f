#!/usr/bin/env bash
# Word lookup speed: a bound word's value by index (global and on the
# argument stack) against a lookup by symbol in the word table.
#
#   bash bench/word_lookup.sh [rounds]      (default 200)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=ON -DZEL_TESTS=OFF >/dev/null
cmake --build "$build" --target bench_word_lookup >/dev/null
"$build/bench/bench_word_lookup" "${1:-200}"
