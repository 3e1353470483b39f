#!/usr/bin/env bash
# zstd compression against the Debian zstd program, on two inputs: the
# project's own sources (every .cpp, .h and .zel file, concatenated) and a
# generated text (default 8 MB of words and numbers). For levels 1, 3 and
# 19: zel's output size and compression time as ratios to `zstd -N` (the
# whole process, reading the file, best of three); zel's time is
# in-process (time-it, best of three), and its frame must decode (by zel)
# to the input. Ratios are zel / zstd: above 1, zel's output is larger or
# zel is slower. Then callgrind's instruction counts per input byte over
# the first megabyte of the sources (level 19 would take long under
# callgrind over all of them): zel's compress at each level (less the run
# that only reads the file) against the whole `zstd -N` run.
#
#   bash bench/zstd_encode.sh [text MB]
#
# ZEL names the program (default: zel of the release build, built when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codec_inputs "$work" "${1:-8}"

cat > "$work/zel.zel" <<'EOF2'
Zel []
args: system/options/args
data: read/binary to-file args/1
level: to integer! args/2
c: none
t: none
loop 3 [s: to float! time-it [c: compress/level data 'zstd level] if any [none? t s < t] [t: s]]
if data <> decompress c 'zstd [print "round trip failed" quit/return 1]
print [length? c t]
EOF2

levels="1 3 19"
for input in sources text; do
  file="$work/$input"
  printf '%s: %d bytes\n' "$input" "$(wc -c < "$file")"
  printf '%-5s %10s %10s %9s %9s %9s %9s\n' level zel zstd size/zstd "zel s" "zstd s" time/zstd
  for level in $levels; do
    read -r zs zt < <("$ZEL" "$work/zel.zel" "$file" "$level" | tail -1) || fail "zel at level $level"
    ss=$(zstd -q -c "-$level" "$file" | wc -c)
    st=$(best_seconds zstd -q -c "-$level" "$file")
    awk -v l="$level" -v zs="$zs" -v ss="$ss" -v zt="$zt" -v st="$st" 'BEGIN {
      printf "%-5s %10d %10d %9.3f %9.3f %9.3f %9.2f\n", l, zs, ss, zs / ss, zt, st, zt / st }'
  done
  echo
done
echo "(sizes in bytes; time/zstd compares zel in-process with the whole zstd run)"

if command -v valgrind >/dev/null; then
  head -c 1048576 "$work/sources" > "$work/head"
  printf 'Zel []\ndata: read/binary to-file first system/options/args\n' > "$work/read.zel"
  count_instructions "$ZEL" "$work/read.zel" "$work/head" > "$work/read.ir"
  n=$(wc -c < "$work/head")
  printf 'callgrind instructions per input byte over the first %d bytes of the sources\n' "$n"
  printf '%-12s %9s %9s %9s\n' "" zel zstd zel/zstd
  for level in $levels; do
    printf 'Zel []\ndata: read/binary to-file first system/options/args\nc: compress/level data %s %s\n' \
      "'zstd" "$level" > "$work/comp.zel"
    count_instructions "$ZEL" "$work/comp.zel" "$work/head" > "$work/comp.ir" &
    count_instructions zstd -q -c "-$level" "$work/head" > "$work/zstd.ir" &
    wait
    awk -v n="$n" -v l="$level" -v r="$(cat "$work/read.ir")" -v c="$(cat "$work/comp.ir")" -v z="$(cat "$work/zstd.ir")" \
      'BEGIN { printf "%-12s %9.1f %9.1f %9.2f\n", "level " l, (c - r) / n, z / n, (c - r) / z }'
  done
fi
