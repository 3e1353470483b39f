#!/usr/bin/env bash
# The cost of tracing: recursive fib 20 evaluated under do/trace with a
# tracer that does nothing, against the same fib under plain do, and against
# python3 running it under a sys.settrace tracer that does nothing (it
# returns itself, so that it also receives every line and return event, as
# the Zel tracer receives every event).
#
#   bash bench/tracers.sh [--no-wall] [--no-count]
#
# Wall: best of five whole runs, each less its language's empty program.
# Instructions: callgrind counts of whole runs, less the empty program's.
# Ratios above 1: the first is slower.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
read_bench_flags tracers.sh "$@"
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fib_zel='fib: func [n] [either n < 2 [n] [(fib n - 1) + fib n - 2]]'
printf 'Zel []\n' > "$work/empty.zel"
printf 'Zel []\n%s\nprint do [fib 20]\n' "$fib_zel" > "$work/plain.zel"
printf 'Zel []\n%s\nprint do/trace [fib 20] func [event code offset value ref frame] []\n' "$fib_zel" > "$work/traced.zel"
printf '' > "$work/empty.py"
fib_py='def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)'
printf '%s\nprint(fib(20))\n' "$fib_py" > "$work/plain.py"
printf 'import sys\n%s\ndef tracer(frame, event, arg):\n    return tracer\nsys.settrace(tracer)\nr = fib(20)\nsys.settrace(None)\nprint(r)\n' \
  "$fib_py" > "$work/traced.py"

for name in plain traced; do
  z=$("$ZEL" "$work/$name.zel")
  p=$("$PYTHON" -S "$work/$name.py")
  [ "$z" = 6765 ] && [ "$p" = 6765 ] || fail "$name: zel printed $z, python3 $p"
done

# The table of one measure: its title, the number format, then the empty,
# plain and traced runs' numbers of zel and of python3.
table() {
  awk -v title="$1" -v f="$2" -v z0="$3" -v zp="$4" -v zt="$5" -v p0="$6" -v pp="$7" -v pt="$8" 'BEGIN {
    printf "%-26s %14s %14s %13s\n", title, "plain", "traced", "traced/plain"
    printf "%-26s " f " " f " %13.2f\n", "zel", zp - z0, zt - z0, (zt - z0) / (zp - z0)
    printf "%-26s " f " " f " %13.2f\n", "python3", pp - p0, pt - p0, (pt - p0) / (pp - p0)
    printf "%-26s %14.2f %14.2f\n", "zel/python3", (zp - z0) / (pp - p0), (zt - z0) / (pt - p0)
  }'
}

if [ "$wall" = 1 ]; then
  declare -A s
  for name in empty plain traced; do
    s[zel.$name]=$(best_of_five "$ZEL" "$work/$name.zel")
    s[py.$name]=$(best_of_five "$PYTHON" -S "$work/$name.py")
  done
  table "wall s (less start-up)" "%14.4f" "${s[zel.empty]}" "${s[zel.plain]}" "${s[zel.traced]}" \
        "${s[py.empty]}" "${s[py.plain]}" "${s[py.traced]}"
fi

if [ "$count" = 1 ]; then
  declare -A c
  for name in empty plain traced; do
    count_instructions "$ZEL" "$work/$name.zel" > "$work/$name.zel.count" &
    count_instructions "$PYTHON" -S "$work/$name.py" > "$work/$name.py.count" &
    wait
    c[zel.$name]=$(cat "$work/$name.zel.count")
    c[py.$name]=$(cat "$work/$name.py.count")
  done
  table "instructions (less start)" "%14d" "${c[zel.empty]}" "${c[zel.plain]}" "${c[zel.traced]}" \
        "${c[py.empty]}" "${c[py.plain]}" "${c[py.traced]}"
fi
