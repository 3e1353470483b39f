#!/usr/bin/env bash
# The evaluator benchmarks of bench/eval/ run as scripts, each a whole
# process against its lua5.4 and python3 twins (start-up and loading
# included on every side): each <name>.zel gets a script header and runs
# through zel, best of three wall-clock times.
#
#   bash bench/eval_scripts.sh [name...]
#
# ZEL names the program that runs the scripts (default: zel of the release
# build, built when missing). Prints seconds and the ratios zel/lua and
# zel/python (below 1: zel is faster).
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
ensure_zel

names=("$@")
[ ${#names[@]} -eq 0 ] && names=(while foreach call fib straight method objects)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # command...: wall-clock seconds of one run, output dropped
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null || { echo "failed: $*" >&2; return 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

best_of_three() {  # command...
  local best="" t
  for _ in 1 2 3; do
    t=$(seconds "$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
}

printf "%-10s %10s %10s %10s %10s %10s\n" "" "zel s" "lua s" "python s" "zel/lua" "zel/py"
for name in "${names[@]}"; do
  {
    echo "Zel [Title: \"$name\"]"
    # The data a program walks, made in the script as its twins make theirs.
    [ -f "bench/eval/$name.prelude.zel" ] && cat "bench/eval/$name.prelude.zel"
    cat "bench/eval/$name.zel"
  } > "$work/$name.zel"
  zel=$(best_of_three "$ZEL" "$work/$name.zel")
  lua=$(best_of_three lua5.4 "bench/eval/$name.lua")
  py=$(best_of_three "$PYTHON" "bench/eval/$name.py")
  awk -v n="$name" -v z="$zel" -v l="$lua" -v p="$py" \
    'BEGIN { printf "%-10s %10.3f %10.3f %10.3f %10.2f %10.2f\n", n, z, l, p, z / l, z / p }'
done
