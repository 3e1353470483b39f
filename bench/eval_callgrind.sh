#!/usr/bin/env bash
# Instructions per unit of work of the evaluator benchmarks, counted by
# callgrind (steady where wall-clock times are not): smaller runs of the
# programs of bench/eval/ through bench_eval, which runs each three times,
# less a run of a program that does nothing (start-up, loading, the data).
#
#   bash bench/eval_callgrind.sh
#
# Prints, per unit: while and call per loop iteration, foreach per element,
# fib per call of fib, straight per run of its 200-expression block, objects
# per object made.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
build_bench eval
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, program, units of work in one run (bench_eval runs it 3 times)
echo 1 > "$work/none.zel"
sed 's/10000000/100000/' bench/eval/while.zel > "$work/while.zel"
cp bench/eval/foreach.zel "$work/foreach.zel"
sed 's/1000000/100000/' bench/eval/call.zel > "$work/call.zel"
sed 's/^fib 30$/fib 18/' bench/eval/fib.zel > "$work/fib.zel"
sed 's/^loop 20000 body$/loop 1000 body/' bench/eval/straight.zel > "$work/straight.zel"
sed 's/1000000/100000/' bench/eval/objects.zel > "$work/objects.zel"
declare -A units=([while]=100000 [foreach]=1000000 [call]=100000 [fib]=8361 [straight]=1000 [objects]=100000)
names=(while foreach call fib straight objects)

count() {  # program name: instructions of a whole run
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$build/bench/bench_eval" "$work" "$1" 2>&1 |
    awk '/Collected/ { gsub(",", "", $4); print $4 }'
}

count none > "$work/none.count" &
for name in "${names[@]}"; do count "$name" > "$work/$name.count" & done
wait
base=$(cat "$work/none.count")
for name in "${names[@]}"; do
  total=$(cat "$work/$name.count")
  printf "%-10s %10d\n" "$name" $(( (total - base) / (3 * ${units[$name]}) ))
done
