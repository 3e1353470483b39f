#!/usr/bin/env bash
# compress and decompress against gzip and python3's zlib, on two inputs:
# the project's own sources (every .cpp, .h and .zel file, concatenated)
# and a generated text (default 8 MB of words and numbers). For levels 1, 6
# and 9: the compressed size and the compression time as ratios of zel's to
# `gzip -N` (the whole process, reading the file) and to python3's
# zlib.compress at the same level (in memory); then decompression of the
# zlib stream against python3's zlib.decompress. Times are in-process for
# zel and python3 (time-it, time.perf_counter), best of three. Ratios are
# zel / other: above 1, zel's output is larger or zel is slower. Then
# callgrind's instruction counts for level 6 and for decompression of the
# sources, each less the run that only reads the file, against python3
# doing the same.
#
#   bash bench/deflate.sh [text MB]
#
# ZEL names the program (default: zel of the release build, built when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
mb=${1:-8}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

codec_inputs "$work" "$mb"

# zel: sizes and best-of-three times (seconds) of compress at the level, and
# of decompress of its zlib stream, which must give the input back.
cat > "$work/zel.zel" <<'EOF2'
Zel []
args: system/options/args
data: read/binary to-file args/1
level: to integer! args/2
best: func [code /local t b] [b: none loop 3 [t: to float! time-it code if any [none? b t < b] [b: t]] b]
c: none
tc: best [c: compress/level data 'zlib level]
d: none
td: best [d: decompress c 'zlib]
if d <> data [print "round trip failed" quit/return 1]
write/binary to-file args/3 c
print [length? c tc td]
EOF2
cat > "$work/py.py" <<'EOF2'
import sys, time, zlib
data = open(sys.argv[1], "rb").read()
level = int(sys.argv[2])
def best(step):
    b = None
    for _ in range(3):
        t = time.perf_counter()
        r = step()
        t = time.perf_counter() - t
        b = t if b is None or t < b else b
    return b, r
tc, c = best(lambda: zlib.compress(data, level))
zel_stream = open(sys.argv[3], "rb").read()
td, d = best(lambda: zlib.decompress(zel_stream))
assert d == data
print(len(c), tc, td)
EOF2

gzip_run() {  # file level: size, best-of-three seconds
  local best="" t
  for _ in 1 2 3; do
    t=$(seconds gzip "-$2" -c "$1")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$(gzip "-$2" -c "$1" | wc -c) $best"
}

for input in sources text; do
  file="$work/$input"
  printf '%s: %d bytes\n' "$input" "$(wc -c < "$file")"
  printf '%-5s %10s %10s %10s %9s %9s %9s %9s %9s %9s\n' level zel gzip python3 \
    size/gz size/py comp/gz comp/py dec/py
  for level in 1 6 9; do
    read -r zs ztc ztd < <("$ZEL" "$work/zel.zel" "$file" "$level" "$work/zel.z" | tail -1) ||
      fail "zel at level $level"
    read -r gs gt < <(gzip_run "$file" "$level")
    read -r ps ptc ptd < <("$PYTHON" "$work/py.py" "$file" "$level" "$work/zel.z")
    awk -v l="$level" -v zs="$zs" -v gs="$gs" -v ps="$ps" -v ztc="$ztc" -v gt="$gt" -v ptc="$ptc" \
        -v ztd="$ztd" -v ptd="$ptd" 'BEGIN {
      printf "%-5s %10d %10d %10d %9.3f %9.3f %9.2f %9.2f %9.2f\n", l, zs, gs, ps, zs / gs, zs / ps, ztc / gt, ztc / ptc, ztd / ptd }'
  done
  echo
done
echo "(sizes in bytes: zel and python3 zlib streams, gzip files; comp and dec are time ratios)"

if command -v valgrind >/dev/null; then
  # Whole runs over the sources: reading alone, then compress at level 6,
  # then decompress as well; the differences are the codec's.
  cat > "$work/read.zel" <<'EOF2'
Zel []
data: read/binary to-file first system/options/args
EOF2
  cat > "$work/comp.zel" <<'EOF2'
Zel []
data: read/binary to-file first system/options/args
c: compress/level data 'zlib 6
EOF2
  cat > "$work/both.zel" <<'EOF2'
Zel []
data: read/binary to-file first system/options/args
d: decompress compress/level data 'zlib 6 'zlib
EOF2
  printf 'import sys, zlib\ndata = open(sys.argv[1], "rb").read()\n' > "$work/read.py"
  printf 'import sys, zlib\ndata = open(sys.argv[1], "rb").read()\nc = zlib.compress(data, 6)\n' > "$work/comp.py"
  printf 'import sys, zlib\ndata = open(sys.argv[1], "rb").read()\nd = zlib.decompress(zlib.compress(data, 6))\n' > "$work/both.py"
  for step in read comp both; do
    count_instructions "$ZEL" "$work/$step.zel" "$work/sources" > "$work/$step.zel.ir" &
    count_instructions "$PYTHON" -S "$work/$step.py" "$work/sources" > "$work/$step.py.ir" &
    wait
  done
  gz=$(count_instructions gzip -6 -c "$work/sources")
  n=$(wc -c < "$work/sources")
  awk -v n="$n" -v gz="$gz" -v zr="$(cat "$work/read.zel.ir")" -v zc="$(cat "$work/comp.zel.ir")" \
      -v zb="$(cat "$work/both.zel.ir")" -v pr="$(cat "$work/read.py.ir")" -v pc="$(cat "$work/comp.py.ir")" \
      -v pb="$(cat "$work/both.py.ir")" 'BEGIN {
    printf "callgrind instructions per input byte over the sources (%d bytes)\n", n
    printf "%-12s %9s %9s %9s %9s %9s\n", "", "zel", "python3", "gzip -6", "zel/py", "zel/gzip"
    printf "%-12s %9.1f %9.1f %9.1f %9.2f %9.2f\n", "compress 6", (zc - zr) / n, (pc - pr) / n, gz / n, (zc - zr) / (pc - pr), (zc - zr) / gz
    printf "%-12s %9.1f %9.1f %9s %9.2f\n", "decompress", (zb - zc) / n, (pb - pc) / n, "", (zb - zc) / (pb - pc)
  }'
fi
