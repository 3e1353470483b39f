# Shared by the benchmark scripts (sourced from the repository root):
# lua5.4 installed when missing, a benchmark program built in release, and
# the best of three timed runs.

ensure_lua() {
  if ! command -v lua5.4 >/dev/null; then
    echo "installing lua5.4"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends lua5.4 >/dev/null
  fi
}

build=build/bench
build_bench() {  # program name, as bench_<name>
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEL_BENCH=ON -DZEL_TESTS=OFF >/dev/null
  cmake --build "$build" --target "bench_$1" >/dev/null
}

best_of_three() {  # command...: the least of the three numbers it prints
  local best="" t
  for _ in 1 2 3; do
    t=$("$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
}

# The python3 interpreter itself: a version-manager shim in front of it
# would add its own start-up to every run.
PYTHON=${PYTHON:-$(python3 -c 'import sys; print(sys.executable)')}

# The zel program the whole-process benchmarks run: $ZEL, by default zel of
# the release build, brought up to date with the sources.
ensure_zel() {
  if [ -z "${ZEL:-}" ]; then
    ZEL=build/release/zel
    [ -f build/release/build.ninja ] ||
      cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    ninja -C build/release zel >/dev/null
  fi
}

# Whole-process timing: stop with a message, the median of numbers on
# standard input, and the wall milliseconds of one run of a command.
fail() { echo "FAILED: $*" >&2; exit 1; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms_of() {  # command...: wall ms of one run
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null || fail "$*"
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", (b - a) * 1000 }'
}

# Whole-process timing for the scripts that compare with python3.
seconds() {  # command...: wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null </dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

best_of_five() {  # command...: the least of five runs' seconds
  local best="" t
  for _ in 1 2 3 4 5; do
    t=$(seconds "$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
}

# One line of a table of whole-process seconds against zel's: the
# language's seconds with the work and without it (start-up or set-up), the
# work alone, and zel's work over this language's.
wall_line() {  # name, seconds, seconds without the work, zel's two
  awk -v n="$1" -v a="$2" -v s="$3" -v za="$4" -v zs="$5" \
    'BEGIN { w = a - s; zw = za - zs; if (w <= 0) w = 0.001
             printf "%-8s %9.3f %9.3f %9.3f %9.2f\n", n, a, s, w, zw / w }'
}

count_instructions() {  # command...: callgrind's instructions of a whole run (children not traced)
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected/ { gsub(",", "", $4); print $4 }'
}

# The same answer from both languages, or stop: same_answers NAME... with
# $work/NAME.zel and $work/NAME.py.
same_answers() {
  local name z p
  for name in "$@"; do
    z=$("$ZEL" "$work/$name.zel")
    p=$("$PYTHON" -S "$work/$name.py")
    if [ "$z" != "$p" ]; then
      echo "$name: zel printed $z, python3 $p" >&2
      exit 1
    fi
  done
}

# The wall-time table of NAME... against python3, each less its language's
# empty program ($work/empty.zel, $work/empty.py): best of five runs.
wall_table() {
  local name
  declare -A wall
  for name in empty "$@"; do
    wall[zel.$name]=$(best_of_five "$ZEL" "$work/$name.zel")
    wall[py.$name]=$(best_of_five "$PYTHON" -S "$work/$name.py")
  done
  printf "%-6s %9s %9s %10s %10s %9s %13s\n" "s" zel python3 "zel-start" "py-start" zel/py "zel/py-start"
  for name in "$@"; do
    awk -v n="$name" -v z="${wall[zel.$name]}" -v p="${wall[py.$name]}" \
        -v z0="${wall[zel.empty]}" -v p0="${wall[py.empty]}" \
      'BEGIN { printf "%-6s %9.3f %9.3f %10.3f %10.3f %9.2f %13.2f\n", n, z, p, z - z0, p - p0, z / p, (z - z0) / (p - p0) }'
  done
}

# Instructions of $work/NAME-counted and $work/NAME-none in both languages,
# into $work/NAME.{zel,py}.{count,none}, two runs at a time.
count_both() {
  local name
  for name in "$@"; do
    count_instructions "$ZEL" "$work/$name-counted.zel" > "$work/$name.zel.count" &
    count_instructions "$ZEL" "$work/$name-none.zel" > "$work/$name.zel.none" &
    wait
    count_instructions "$PYTHON" -S "$work/$name-counted.py" > "$work/$name.py.count" &
    count_instructions "$PYTHON" -S "$work/$name-none.py" > "$work/$name.py.none" &
    wait
  done
}

# The --no-wall and --no-count flags of the whole-process comparisons, into
# $wall and $count (1 or 0).
read_bench_flags() {  # script name, its arguments...
  local name=$1 a
  shift
  wall=1 count=1
  for a in "$@"; do
    case $a in
      --no-wall) wall=0 ;;
      --no-count) count=0 ;;
      *) echo "usage: bash bench/$name [--no-wall] [--no-count]" >&2; exit 2 ;;
    esac
  done
}

# Two texts of comma-separated fields (lines of 8 fields of 1 to 12 letters
# and digits, from a fixed seed): about 10 MB and 1 MB.
make_csv_texts() {  # big file, small file
  "$PYTHON" - "$1" 10000000 "$2" 1000000 <<'PY'
import random, sys
alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
random.seed(1)
for path, size in ((sys.argv[1], int(sys.argv[2])), (sys.argv[3], int(sys.argv[4]))):
    lines, n = [], 0
    while n < size:
        line = ",".join("".join(random.choice(alphabet) for _ in range(random.randint(1, 12))) for _ in range(8))
        lines.append(line)
        n += len(line) + 1
    open(path, "w").write("\n".join(lines) + "\n")
PY
}

# The two inputs of the compression benchmarks, into a folder: "sources", the
# project's .cpp, .h and .zel files concatenated, and "text", the given
# megabytes of words and numbers from a fixed seed.
codec_inputs() {  # folder, text megabytes
  git ls-files '*.cpp' '*.h' '*.zel' | xargs cat > "$1/sources"
  "$PYTHON" - "$1/text" "$2" <<'PY'
import random, sys
random.seed(41)
words = ["series", "block", "word", "value", "the", "of", "and", "compress", "level", "zel", "a", "to", "in"]
out, size = [], 0
target = int(sys.argv[2]) * 1000 * 1000
while size < target:
    line = " ".join(random.choice(words) if random.random() < 0.85 else str(random.randrange(100000))
                    for _ in range(random.randint(4, 16))) + "\n"
    out.append(line)
    size += len(line)
open(sys.argv[1], "w").write("".join(out))
PY
}
