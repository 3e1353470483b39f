#!/usr/bin/env bash
# Launching a generated 5,000-line script, whose directives the console
# expands before it runs: one without directives (plain) and one with a
# named macro used on every line (macro), against python3 running the same
# computation (for the macro, a function called on every line). Wall
# seconds, best of five whole processes, with each language's empty program
# taken off; then callgrind's instructions of whole runs when valgrind is
# there. Ratios above 1: zel is slower.
#
#   bash bench/preprocessor.sh [lines] [--no-wall] [--no-count]
#
# ZEL names the program (default: zel of the release build, built when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
lines=5000
if [[ ${1:-} =~ ^[0-9]+$ ]]; then lines=$1; shift; fi
read_bench_flags preprocessor.sh "$@"
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$PYTHON" - "$work" "$lines" <<'PY'
import sys
work, n = sys.argv[1], int(sys.argv[2])
plain_z, plain_p, macro_z, macro_p = [], [], [], []
for i in range(n):
    k = i % 97 + 1
    plain_z.append(f"v: v + ({k} * {k}) - {k}")
    plain_p.append(f"v = v + {k} * {k} - {k}")
    macro_z.append(f"v: v + sq {k} - {k}")
    macro_p.append(f"v = v + sq({k}) - {k}")
def write(name, head, body, tail):
    with open(f"{work}/{name}", "w") as f:
        f.write("\n".join(head + body + tail) + "\n")
write("plain.zel", ["Zel []", "v: 0"], plain_z, ["print v"])
write("plain.py", ["v = 0"], plain_p, ["print(v)"])
write("macro.zel", ["Zel []", "#macro sq: func [x] [x * x]", "v: 0"], macro_z, ["print v"])
write("macro.py", ["def sq(x):", "    return x * x", "v = 0"], macro_p, ["print(v)"])
write("empty.zel", ["Zel []"], [], [])
write("empty.py", ["pass"], [], [])
PY

same_answers plain macro
echo "launch of a $lines-line script (answer $("$ZEL" "$work/plain.zel"))"

if [ "$wall" = 1 ]; then
  echo "wall seconds, best of 5 (zel-start, py-start: less the empty program)"
  wall_table plain macro
fi

if [ "$count" = 1 ]; then
  if command -v valgrind >/dev/null; then
    echo "instructions (callgrind, whole process; less the empty program)"
    printf "%-6s %14s %14s %9s\n" "" zel python3 zel/py
    z0=$(count_instructions "$ZEL" "$work/empty.zel")
    p0=$(count_instructions "$PYTHON" -S "$work/empty.py")
    for name in plain macro; do
      z=$(count_instructions "$ZEL" "$work/$name.zel")
      p=$(count_instructions "$PYTHON" -S "$work/$name.py")
      awk -v n="$name" -v z="$z" -v p="$p" -v z0="$z0" -v p0="$p0" \
        'BEGIN { printf "%-6s %14d %14d %9.2f\n", n, z - z0, p - p0, (z - z0) / (p - p0) }'
    done
  else
    echo "valgrind not found: no instruction counts"
  fi
fi
