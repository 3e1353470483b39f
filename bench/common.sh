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

best_seconds() {  # command...: best of three whole runs
  local best="" t
  for _ in 1 2 3; do
    t=$(seconds "$@")
    best=$(awk -v a="$t" -v b="$best" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$best"
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

# The start of a codec benchmark: its flags, zel, valgrind when counting,
# and $work, a folder removed at exit.
codec_bench_start() {  # script name, its arguments...
  read_bench_flags "$@"
  ensure_zel
  if [ $count = 1 ] && ! command -v valgrind >/dev/null; then
    echo "valgrind is needed for the instruction counts (or --no-count)" >&2; exit 1
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# A codec's read and write against python3's: $work/{load,dump,empty}.{zel,py}
# each take the data file as their argument; "load" decodes it and "dump"
# decodes and encodes again, both printing a length that must be the same in
# both languages. Decoding is "load" less "empty", encoding "dump" less
# "load": wall ms (median of REPS, default 3) over the big file, callgrind
# instructions per record (the count python3's "load" prints) over the
# small one. Reads $wall and $count (read_bench_flags).
codec_vs_python() {  # big file, its label, small file, its label, decode name, encode name
  local big=$1 big_label=$2 small=$3 small_label=$4 dec=$5 enc=$6 lang p r op z y records
  local -a cmd
  run_of() { case $1 in zel) cmd=("$ZEL" "$work/$2.zel") ;; py) cmd=("$PYTHON" -S "$work/$2.py") ;; esac; }
  check_answers() {
    for p in load dump; do
      run_of zel $p; z=$("${cmd[@]}" "$1") || fail "${cmd[*]}"
      run_of py $p; y=$("${cmd[@]}" "$1") || fail "${cmd[*]}"
      [ "$z" = "$y" ] || fail "$p: zel answers $z, python3 $y"
    done
  }
  # The table of the two operations: measure (a function of language and
  # program) fills m[lang.prog]; per is the divisor of the differences.
  codec_table() {  # title, unit, number format, divisor, measure
    local -A m
    for lang in zel py; do
      for p in load dump empty; do run_of $lang $p; m[$lang.$p]=$($5 "$lang" "$p"); done
      m[$lang.$dec]=$(awk -v a="${m[$lang.load]}" -v e="${m[$lang.empty]}" -v n="$4" 'BEGIN { print (a - e) / n }')
      m[$lang.$enc]=$(awk -v a="${m[$lang.dump]}" -v b="${m[$lang.load]}" -v n="$4" 'BEGIN { print (a - b) / n }')
    done
    echo "$1"
    for op in $dec $enc; do
      printf "  %-7s zel $3 $2   python3 $3 $2   zel/python3 %6.2f\n" $op "${m[zel.$op]}" "${m[py.$op]}" \
        "$(awk -v a="${m[zel.$op]}" -v b="${m[py.$op]}" 'BEGIN { print a / b }')"
    done
  }
  wall_of() {  # lang prog: the median of REPS runs over the big file
    for ((r = 0; r < ${REPS:-3}; r++)); do ms_of "${cmd[@]}" "$big"; done | median
  }
  count_of() { count_instructions "${cmd[@]}" "$small"; }
  if [ $wall = 1 ]; then
    check_answers "$big"
    codec_table "$big_label: median wall ms of ${REPS:-3} runs" ms "%9.1f" 1 wall_of
  fi
  if [ $count = 1 ]; then
    check_answers "$small"
    records=$(run_of py load; "${cmd[@]}" "$small")
    codec_table "$small_label, $records records: callgrind instructions per record" Ir "%9.0f" "$records" count_of
  fi
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

# Recursive fib in both languages, for the measures of a way of running it
# (cost_vs_plain): fib_programs ROUNDS writes $work/{empty,plain}-ROUNDS
# .zel and .py, the plain ones running fib 20 ROUNDS times, then its answer.
fib_zel='fib: func [n] [either n < 2 [n] [(fib n - 1) + fib n - 2]]'
fib_py='def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)'
fib_programs() {  # rounds
  printf 'Zel []\n' > "$work/empty-$1.zel"
  printf 'Zel []\n%s\nloop %d [r: do [fib 20]]\nprint r\n' "$fib_zel" "$1" > "$work/plain-$1.zel"
  printf '' > "$work/empty-$1.py"
  printf '%s\nfor _ in range(%d):\n    r = fib(20)\nprint(r)\n' "$fib_py" "$1" > "$work/plain-$1.py"
}
# Stops unless the programs of each name end by printing fib 20.
check_fib_answers() {  # rounds, names...
  local n=$1 name z p
  shift
  for name in "$@"; do
    z=$("$ZEL" "$work/$name-$n.zel" | tail -1)
    p=$("$PYTHON" -S "$work/$name-$n.py" | tail -1)
    [ "$z" = 6765 ] && [ "$p" = 6765 ] || fail "$name: zel printed $z, python3 $p"
  done
}

# The cost of running the work some other way (traced, profiled ...)
# against running it plainly, in zel and in python3: wall seconds (best of
# five whole runs of ten rounds) and callgrind instructions (whole runs of
# one round), each less its language's empty program. The caller's
# `programs ROUNDS` writes $work/{empty,plain,WAY}-ROUNDS.{zel,py}. Reads
# $wall and $count (read_bench_flags). Ratios above 1: the first is slower.
cost_vs_plain() {  # way
  local way=$1 name
  cost_table() {  # title, number format, then the empty, plain and WAY numbers of zel and of python3
    awk -v way="$way" -v title="$1" -v f="$2" -v z0="$3" -v zp="$4" -v zt="$5" -v p0="$6" -v pp="$7" -v pt="$8" 'BEGIN {
      printf "%-26s %14s %14s %15s\n", title, "plain", way, way "/plain"
      printf "%-26s " f " " f " %15.2f\n", "zel", zp - z0, zt - z0, (zt - z0) / (zp - z0)
      printf "%-26s " f " " f " %15.2f\n", "python3", pp - p0, pt - p0, (pt - p0) / (pp - p0)
      printf "%-26s %14.2f %14.2f\n", "zel/python3", (zp - z0) / (pp - p0), (zt - z0) / (pt - p0)
    }'
  }
  if [ "$wall" = 1 ]; then
    programs 10
    local -A s
    for name in empty plain "$way"; do
      s[zel.$name]=$(best_of_five "$ZEL" "$work/$name-10.zel")
      s[py.$name]=$(best_of_five "$PYTHON" -S "$work/$name-10.py")
    done
    cost_table "wall s, 10 rounds" "%14.4f" "${s[zel.empty]}" "${s[zel.plain]}" "${s[zel.$way]}" \
      "${s[py.empty]}" "${s[py.plain]}" "${s[py.$way]}"
  fi
  if [ "$count" = 1 ]; then
    programs 1
    local -A c
    for name in empty plain "$way"; do
      count_instructions "$ZEL" "$work/$name-1.zel" > "$work/$name.zel.count" &
      count_instructions "$PYTHON" -S "$work/$name-1.py" > "$work/$name.py.count" &
      wait
      c[zel.$name]=$(cat "$work/$name.zel.count")
      c[py.$name]=$(cat "$work/$name.py.count")
    done
    # %.0f: counts pass 2^31, which awk's %d would clamp.
    cost_table "instructions (less start)" "%14.0f" "${c[zel.empty]}" "${c[zel.plain]}" "${c[zel.$way]}" \
      "${c[py.empty]}" "${c[py.plain]}" "${c[py.$way]}"
  fi
}
