#!/usr/bin/env bash
# The cost of profiling: recursive fib 20 under `profile` against the same
# fib under plain do, and against python3 running it under cProfile (its
# report printed, as profile prints its table) against plain python3.
#
#   bash bench/profiler.sh [--no-wall] [--no-count]
#
# Wall: best of five whole runs of ten rounds, each less its language's
# empty program. Instructions: callgrind counts of whole runs of one round,
# less the empty program's. Ratios above 1: the first is slower.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
codec_bench_start profiler.sh "$@"

# The programs, each running fib 20 ROUNDS times: NAME-ROUNDS.zel and .py.
# Each profiled round prints its report; the last line is fib 20 either way.
programs() {  # rounds
  local n=$1 z
  fib_programs "$n"
  printf 'Zel []\n%s\nloop %d [profile [r: fib 20]]\nprint r\n' "$fib_zel" "$n" > "$work/profiled-$n.zel"
  printf 'import cProfile, pstats\n%s\nfor _ in range(%d):\n    p = cProfile.Profile()\n    p.enable()\n    r = fib(20)\n    p.disable()\n    pstats.Stats(p).sort_stats("calls").print_stats()\nprint(r)\n' \
    "$fib_py" "$n" > "$work/profiled-$n.py"
  check_fib_answers "$n" plain profiled
  # The profiler saw every call: fib's record counts 21891 a round.
  z=$("$ZEL" "$work/profiled-$n.zel")
  grep -q '^#1 *fib *| 21891 ' <<<"$z" || fail "profile: no record of 21891 calls of fib"
}

cost_vs_plain profiled
