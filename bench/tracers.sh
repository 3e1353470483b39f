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
programs() {  # rounds
  local n=$1
  fib_programs "$n"
  printf 'Zel []\n%s\nloop %d [r: do/trace [fib 20] func [event code offset value ref frame] []]\nprint r\n' \
    "$fib_zel" "$n" > "$work/traced-$n.zel"
  printf 'import sys\n%s\ndef tracer(frame, event, arg):\n    return tracer\nfor _ in range(%d):\n    sys.settrace(tracer)\n    r = fib(20)\n    sys.settrace(None)\nprint(r)\n' \
    "$fib_py" "$n" > "$work/traced-$n.py"
  check_fib_answers "$n" plain traced
}

cost_vs_plain traced
