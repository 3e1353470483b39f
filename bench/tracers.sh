#!/usr/bin/env bash
# The cost of tracing: recursive fib 20 evaluated under do/trace with a
# tracer that does nothing, against the same fib under plain do, and against
# python3 running it under a sys.settrace tracer that does nothing (it
# returns itself, so that it also receives every line and return event, as
# the Zel tracer receives every event).
#
#   bash bench/tracers.sh [--no-wall] [--no-count]
#
# Wall: best of five whole runs of ten rounds, each less its language's
# empty program. Instructions: callgrind counts of whole runs of one round,
# less the empty program's.
# Ratios above 1: the first is slower.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
read_bench_flags tracers.sh "$@"
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The programs, each running fib 20 ROUNDS times: NAME-ROUNDS.zel and .py.
fib_zel='fib: func [n] [either n < 2 [n] [(fib n - 1) + fib n - 2]]'
fib_py='def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)'
programs() {  # rounds
  local n=$1
  printf 'Zel []\n' > "$work/empty-$n.zel"
  printf 'Zel []\n%s\nloop %d [r: do [fib 20]]\nprint r\n' "$fib_zel" "$n" > "$work/plain-$n.zel"
  printf 'Zel []\n%s\nloop %d [r: do/trace [fib 20] func [event code offset value ref frame] []]\nprint r\n' \
    "$fib_zel" "$n" > "$work/traced-$n.zel"
  printf '' > "$work/empty-$n.py"
  printf '%s\nfor _ in range(%d):\n    r = fib(20)\nprint(r)\n' "$fib_py" "$n" > "$work/plain-$n.py"
  printf 'import sys\n%s\ndef tracer(frame, event, arg):\n    return tracer\nfor _ in range(%d):\n    sys.settrace(tracer)\n    r = fib(20)\n    sys.settrace(None)\nprint(r)\n' \
    "$fib_py" "$n" > "$work/traced-$n.py"
  for name in plain traced; do
    z=$("$ZEL" "$work/$name-$n.zel")
    p=$("$PYTHON" -S "$work/$name-$n.py")
    [ "$z" = 6765 ] && [ "$p" = 6765 ] || fail "$name: zel printed $z, python3 $p"
  done
}

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

# Wall: ten rounds, so that the work stands well above the start-up.
if [ "$wall" = 1 ]; then
  programs 10
  declare -A s
  for name in empty plain traced; do
    s[zel.$name]=$(best_of_five "$ZEL" "$work/$name-10.zel")
    s[py.$name]=$(best_of_five "$PYTHON" -S "$work/$name-10.py")
  done
  table "wall s, 10 rounds" "%14.4f" "${s[zel.empty]}" "${s[zel.plain]}" "${s[zel.traced]}" \
        "${s[py.empty]}" "${s[py.plain]}" "${s[py.traced]}"
fi

# Instructions: one round.
if [ "$count" = 1 ]; then
  programs 1
  declare -A c
  for name in empty plain traced; do
    count_instructions "$ZEL" "$work/$name-1.zel" > "$work/$name.zel.count" &
    count_instructions "$PYTHON" -S "$work/$name-1.py" > "$work/$name.py.count" &
    wait
    c[zel.$name]=$(cat "$work/$name.zel.count")
    c[py.$name]=$(cat "$work/$name.py.count")
  done
  table "instructions (less start)" "%14d" "${c[zel.empty]}" "${c[zel.plain]}" "${c[zel.traced]}" \
        "${c[py.empty]}" "${c[py.plain]}" "${c[py.traced]}"
fi
