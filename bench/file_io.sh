#!/usr/bin/env bash
# Reading and writing files: read/binary and read/lines of a generated text
# file (default 200 MB of lines of 20 to 100 characters, some of them not
# ASCII), and writing what was read back (write and write/lines), against
# python3 doing the same (open().read(), read().splitlines(), write,
# writelines). Each step is a whole process (the read that a write needs is
# in it), best of three, in ms, with the ratio zel / python3 (above 1: zel
# is slower). Beside the wall ratios, callgrind's instruction counts for the
# same steps over a smaller file (default 10 MB), when valgrind is there.
#
#   bash bench/file_io.sh [MB [callgrind MB]]
#
# ZEL names the program (default: zel of the release build, built when
# missing).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
mb=${1:-200}
cg_mb=${2:-10}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$PYTHON" - "$work" "$mb" "$cg_mb" <<'PY'
import random, sys
work, sizes = sys.argv[1], sys.argv[2:]
random.seed(29)
words = ["alpha", "beta", "gamma", "delta", "señal", "größe", "€uro", "x", "lambda", "kappa", "omega"]
line_list = []
for _ in range(4096):
    n = random.randint(20, 100)
    line = ""
    while len(line) < n:
        line += random.choice(words) + " "
    line_list.append(line[:n])
block = ("\n".join(line_list) + "\n").encode()
for name, mb in zip(("big", "small"), sizes):
    target = int(mb) * 1000 * 1000
    with open(f"{work}/{name}.txt", "wb") as f:
        written = 0
        while written < target:
            f.write(block)
            written += len(block)
PY

# The steps, as zel and python3 programs over the file $1, writing to $2.
step_names=(read-binary read-lines write-binary write-lines)
zel_code=(
  'read/binary to-file first system/options/args'
  'read/lines to-file first system/options/args'
  'write to-file second system/options/args read/binary to-file first system/options/args'
  'write/lines to-file second system/options/args read/lines to-file first system/options/args'
)
py_code=(
  'open(sys.argv[1], "rb").read()'
  'open(sys.argv[1], encoding="utf-8").read().splitlines()'
  'open(sys.argv[2], "wb").write(open(sys.argv[1], "rb").read())'
  'open(sys.argv[2], "w", encoding="utf-8").writelines(l + "\n" for l in open(sys.argv[1], encoding="utf-8").read().splitlines())'
)
for i in "${!step_names[@]}"; do
  printf 'Zel []\n%s\n' "${zel_code[$i]}" > "$work/${step_names[$i]}.zel"
  printf 'import sys\n%s\n' "${py_code[$i]}" > "$work/${step_names[$i]}.py"
done

run_ms() {  # command...: its wall time in ms
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

# The written files must equal the file read (its lines all end in LF).
check_copy() {
  cmp -s "$1" "$2" || { echo "file_io: $3 wrote a different file" >&2; exit 1; }
}

echo "files: $mb MB of text lines (best of 3, ms)"
printf "%-14s %10s %10s %10s\n" "step" "zel" "python3" "zel/py"
for step in "${step_names[@]}"; do
  z=$(best_of_three run_ms "$ZEL" "$work/$step.zel" "$work/big.txt" "$work/out.txt")
  [ "${step#write}" != "$step" ] && check_copy "$work/big.txt" "$work/out.txt" "zel $step"
  p=$(best_of_three run_ms "$PYTHON" "$work/$step.py" "$work/big.txt" "$work/out.txt")
  [ "${step#write}" != "$step" ] && check_copy "$work/big.txt" "$work/out.txt" "python3 $step"
  printf "%-14s %10s %10s %10.2f\n" "$step" "$z" "$p" "$(echo "$z / $p" | bc -l)"
done

if command -v valgrind >/dev/null; then
  instructions() {  # command...: callgrind's instruction count
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk '/Collected/ { print $NF }'
  }
  echo
  echo "instructions over $cg_mb MB (callgrind, millions)"
  printf "%-14s %10s %10s %10s\n" "step" "zel" "python3" "zel/py"
  for step in "${step_names[@]}"; do
    z=$(instructions "$ZEL" "$work/$step.zel" "$work/small.txt" "$work/out.txt")
    p=$(instructions "$PYTHON" "$work/$step.py" "$work/small.txt" "$work/out.txt")
    printf "%-14s %10.0f %10.0f %10.2f\n" "$step" "$(echo "$z / 1000000" | bc -l)" \
      "$(echo "$p / 1000000" | bc -l)" "$(echo "$z / $p" | bc -l)"
  done
fi
