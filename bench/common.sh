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
