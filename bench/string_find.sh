#!/usr/bin/env bash
# Searching 10 MB of text for a 20-character pattern near its end, exact and
# case-insensitive, against python3's str.find and lua5.4's string.find with
# plain matching (both case-insensitive through lower() copies); best of
# five, in ms, with the ratio zel / other (above 1: zel is slower).
#
#   bash bench/string_find.sh
#
# Installs lua5.4 with apt-get when it is missing. "with lower()" times the
# other languages' case-insensitive search including making the copies.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench string_find

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
files=("$dir/text" "$dir/pattern" "$dir/other-case")
{
  "$build/bench/bench_string_find" "${files[@]}"
  python3 bench/string_find.py "${files[@]}"
  lua5.4 bench/string_find.lua "${files[@]}"
} | awk '
  { name[++n] = $1; exact[n] = $2; folded[n] = $3; lowered[n] = $4 }
  END {
    printf "%-8s %10s %10s %14s %12s %12s\n", "", "exact ms", "folded ms", "with lower() ms", "zel/this ex", "zel/this fo"
    for (i = 1; i <= n; i++)
      printf "%-8s %10.2f %10.2f %14s %12.2f %12.2f\n", name[i], exact[i], folded[i],
             lowered[i] == "" ? "-" : sprintf("%.2f", lowered[i]), exact[1] / exact[i], folded[1] / folded[i]
  }'
