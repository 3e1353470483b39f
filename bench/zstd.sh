#!/usr/bin/env bash
# zstd decompression and the LZ packed format against the Debian tools, on
# two inputs: the project's own sources (every .cpp, .h and .zel file,
# concatenated) and a generated text (default 8 MB of words and numbers).
#
# zstd: files made by `zstd -3` and `zstd -19` are decompressed by zel
# (`decompress ... 'zstd`, in-process with time-it, best of three) and by
# `zstd -d` (the whole process, best of three); the ratio is zel / zstd.
# LZ: bench_lz packs and unpacks the input (in-process, best of three);
# its size, packing time and unpacking time are given as ratios to
# `gzip -6` and `gzip -d` (whole processes, best of three). Ratios above 1:
# zel is slower or its output larger. Then callgrind's instruction counts:
# zel's decompression of the `zstd -3` file of the sources (less the run
# that only reads it) against `zstd -d`, and bench_lz's pack and unpack
# (less its read-only run) against `gzip -6` and `gzip -d`.
#
#   bash bench/zstd.sh [text MB]
#
# ZEL names the program (default: zel of the release build, built when
# missing), LZ the bench_lz program (default: built in build/bench).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
if [ -z "${LZ:-}" ]; then
  build_bench lz
  LZ="$build/bench/bench_lz"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codec_inputs "$work" "${1:-8}"

# In-process timing of the decoder: the least of three runs, after which the
# output must equal the original file.
cat > "$work/zel.zel" <<'EOF2'
Zel []
args: system/options/args
packed: read/binary to-file args/1
original: read/binary to-file args/2
d: none
t: none
loop 3 [s: to float! time-it [d: decompress packed 'zstd] if any [none? t s < t] [t: s]]
if d <> original [print "zstd output differs" quit/return 1]
print t
EOF2

for input in sources text; do
  file="$work/$input"
  printf '%s: %d bytes\n' "$input" "$(wc -c < "$file")"
  printf '%-10s %10s %10s %9s\n' "zstd file" "zel s" "zstd -d s" "zel/zstd"
  for level in 3 19; do
    zstd -q -f "-$level" "$file" -o "$work/$input.$level.zst"
    zt=$("$ZEL" "$work/zel.zel" "$work/$input.$level.zst" "$file" | tail -1) || fail "zel on zstd -$level"
    st=$(best_seconds zstd -q -d -c "$work/$input.$level.zst")
    awk -v l="-$level" -v zt="$zt" -v st="$st" 'BEGIN { printf "%-10s %10.4f %10.4f %9.2f\n", l, zt, st, zt / st }'
  done
  read -r ls lpack lunpack < <("$LZ" "$file") || fail "bench_lz"
  gs=$(gzip -6 -c "$file" | wc -c)
  gzip -6 -c "$file" > "$work/$input.gz"
  gc=$(best_seconds gzip -6 -c "$file")
  gd=$(best_seconds gzip -d -c "$work/$input.gz")
  printf '%-10s %10s %10s %9s\n' "LZ" "zel" "gzip -6" "zel/gzip"
  awk -v ls="$ls" -v gs="$gs" -v lp="$lpack" -v lu="$lunpack" -v gc="$gc" -v gd="$gd" 'BEGIN {
    printf "%-10s %10d %10d %9.3f\n", "size", ls, gs, ls / gs
    printf "%-10s %10.4f %10.4f %9.2f\n", "pack s", lp / 1000, gc, lp / 1000 / gc
    printf "%-10s %10.4f %10.4f %9.2f\n", "unpack s", lu / 1000, gd, lu / 1000 / gd }'
  echo
done

if command -v valgrind >/dev/null; then
  src="$work/sources"
  zstd -q -f -3 "$src" -o "$work/src.zst"
  gzip -6 -c "$src" > "$work/src.gz"
  printf 'Zel []\npacked: read/binary to-file first system/options/args\n' > "$work/read.zel"
  printf 'Zel []\npacked: read/binary to-file first system/options/args\nd: decompress packed %s\n' "'zstd" > "$work/dec.zel"
  count_instructions "$ZEL" "$work/read.zel" "$work/src.zst" > "$work/read.ir" &
  count_instructions "$ZEL" "$work/dec.zel" "$work/src.zst" > "$work/dec.ir" &
  count_instructions zstd -q -d -c "$work/src.zst" > "$work/zstd.ir" &
  wait
  count_instructions "$LZ" "$src" read > "$work/lzread.ir" &
  count_instructions "$LZ" "$src" once > "$work/lzonce.ir" &
  wait
  count_instructions gzip -6 -c "$src" > "$work/gz.ir" &
  count_instructions gzip -d -c "$work/src.gz" > "$work/gunzip.ir" &
  wait
  n=$(wc -c < "$src")
  awk -v n="$n" -v r="$(cat "$work/read.ir")" -v d="$(cat "$work/dec.ir")" -v z="$(cat "$work/zstd.ir")" \
      -v lr="$(cat "$work/lzread.ir")" -v lo="$(cat "$work/lzonce.ir")" -v g="$(cat "$work/gz.ir")" \
      -v gd="$(cat "$work/gunzip.ir")" 'BEGIN {
    printf "callgrind instructions per output byte over the sources (%d bytes)\n", n
    printf "%-22s %9.1f %9s %9.1f %9.2f\n", "zstd -3 decompress", (d - r) / n, "zstd -d", z / n, (d - r) / z
    printf "%-22s %9.1f %9s %9.1f %9.2f\n", "LZ pack + unpack", (lo - lr) / n, "gzip -6+d", (g + gd) / n, (lo - lr) / (g + gd) }'
fi
