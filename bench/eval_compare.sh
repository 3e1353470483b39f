#!/usr/bin/env bash
# The evaluator against python3 and lua5.4 doing the same work, in one run:
# recursive fib, a 3-argument call with a refinement, a method call on an
# object, make object! of three fields, a counting while loop, foreach over a
# block, straight-line assignments and arithmetic, and start-up to exit of an
# empty script. Each program is bench/eval/<name>.zel with its .py and .lua
# twins, a whole script taking its size as its one argument and printing its
# answer; the three answers must agree or the script stops.
#
# Wall time: each program runs as a whole process, REPS times (default 5),
# the three languages in turn, each run less the start-up of its language
# (the empty program, timed right after it); the median gives the time of
# the work alone, and the ratios zel/python3 and zel/lua5.4 (above 1: zel is
# slower). Start-up itself is timed over batches of 20 runs.
#
# Instructions: each program runs once more, smaller, under valgrind's
# callgrind; its count less the empty program's, divided by the units of
# work, gives instructions per unit (per call, iteration, object, value,
# assignment; start-up: the empty program's whole count).
#
#   bash bench/eval_compare.sh [--no-wall] [--no-count] [name...]
#
# Names: fib call method objects while foreach straight startup (the
# default), and map_keys (string keys in a map!, no target). ZEL names the
# zel program (default: zel of the release build, built when missing);
# python3 runs with -S and a fixed hash seed.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
export LC_ALL=C PYTHONHASHSEED=0

source bench/common.sh

wall=1 count=1 names=()
for a in "$@"; do
  case $a in
    --no-wall) wall=0 ;;
    --no-count) count=0 ;;
    -*) echo "usage: bash bench/eval_compare.sh [--no-wall] [--no-count] [name...]" >&2; exit 2 ;;
    *) names+=("$a") ;;
  esac
done
[ ${#names[@]} -eq 0 ] && names=(fib call method objects while foreach straight startup)

# name: program, size of the timed runs, size of the counted runs, unit,
# units of work per size (an awk expression of s), target ("py < 0.8" and
# the like: every bound on the ratios it names must hold).
declare -A prog size csize unit units target
workload() {
  prog[$1]=$2 size[$1]=$3 csize[$1]=$4 unit[$1]=$5 units[$1]=$6 target[$1]=$7
}
workload fib      fib      31       20     call       "2 * fib(s + 1) - 1" "py < 0.8, lua <= 2.5"
workload call     call     2000000  50000  call       "s"                  "py < 0.8, lua <= 2.5"
workload method   method   2000000  50000  call       "s"                  "py < 0.8, lua <= 2.5"
workload objects  objects  200000   5000   object     "s"                  "py < 1.0"
workload while    while    10000000 200000 iteration  "s"                  "lua <= 2"
workload foreach  foreach  20000000 200000 value      "s"                  "lua <= 2"
workload straight straight 100000   1000   assignment "200 * s"            "lua <= 2"
workload startup  empty    1        1      start-up   "1"                  "lua <= 2"
workload map_keys map_keys 200000   10000  key        "s"                  ""
for name in "${names[@]}"; do
  [ -n "${prog[$name]:-}" ] || { echo "unknown workload: $name" >&2; exit 2; }
done

langs=(zel py lua)
declare -A label=([zel]=zel [py]=python3 [lua]=lua5.4)
ensure_lua
ensure_zel
if [ $count = 1 ] && ! command -v valgrind >/dev/null; then
  echo "valgrind is needed for the instruction counts (or --no-count)" >&2; exit 1
fi

command_of() {  # lang name: the command running its program, in cmd
  local file="bench/eval/${prog[$2]}"
  case $1 in
    zel) cmd=("$ZEL" "$file.zel") ;;
    py) cmd=("$PYTHON" -S "$file.py") ;;
    lua) cmd=(lua5.4 "$file.lua") ;;
  esac
}

fail() { echo "FAILED: $*" >&2; exit 1; }

answers_agree() {  # name size answers...: stop when they differ
  local name=$1 size=$2; shift 2
  [ "$1" = "$2" ] && [ "$1" = "$3" ] ||
    fail "$name $size: answers differ: zel '$1', python3 '$2', lua5.4 '$3'"
}

units_of() {  # name size
  awk -v s="$2" "function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2) }
                 BEGIN { printf \"%d\", ${units[$1]} }"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ms_per_run() {  # runs command...: wall milliseconds per run, output dropped
  local runs=$1 start end; shift
  start=$EPOCHREALTIME
  for ((k = 0; k < runs; k++)); do "$@" >/dev/null || fail "$*"; done
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" -v n="$runs" 'BEGIN { printf "%.3f\n", (b - a) * 1000 / n }'
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Wall time. Each repetition runs, for each language in turn, the program
# and right after it the empty one (three times), so that the start-up taken
# off was measured under the same load; start-up itself is 20 runs in a row.
declare -A ms answer
if [ $wall = 1 ]; then
  reps=${REPS:-5}
  for name in "${names[@]}"; do
    s=${size[$name]}
    got=()
    for lang in "${langs[@]}"; do  # the answer, and a warm file cache
      command_of $lang "$name"
      got+=("$("${cmd[@]}" "$s")") || fail "${cmd[*]} $s"
    done
    answers_agree "$name" "$s" "${got[@]}"
    answer[$name]=${got[0]}
    for ((r = 0; r < reps; r++)); do
      for lang in "${langs[@]}"; do
        command_of $lang startup
        if [ "$name" = startup ]; then
          ms_per_run 20 "${cmd[@]}" "$s"
        else
          empty=("${cmd[@]}")
          command_of $lang "$name"
          t=$(ms_per_run 1 "${cmd[@]}" "$s")
          e=$(ms_per_run 3 "${empty[@]}" 1)
          awk -v t="$t" -v e="$e" 'BEGIN { print t - e }'
        fi >> "$work/$name.$lang.ms"
      done
    done
    for lang in "${langs[@]}"; do ms[$name.$lang]=$(median < "$work/$name.$lang.ms"); done
  done
fi

# Instructions, three programs under callgrind at a time.
declare -A ir
if [ $count = 1 ]; then
  counted=(startup)
  for name in "${names[@]}"; do [ "$name" != startup ] && counted+=("$name"); done
  counting() {  # lang name
    command_of "$1" "$2"
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "${cmd[@]}" "${csize[$2]}" \
      > "$work/$2.$1.out" 2> "$work/$2.$1.cg" || fail "callgrind of ${cmd[*]} ${csize[$2]}"
  }
  running=0
  for name in "${counted[@]}"; do
    for lang in "${langs[@]}"; do
      if [ $running -ge 3 ]; then wait -n || fail "a callgrind run"; running=$((running - 1)); fi
      counting $lang "$name" &
      running=$((running + 1))
    done
  done
  for ((; running > 0; running--)); do wait -n || fail "a callgrind run"; done
  for name in "${counted[@]}"; do
    answers_agree "$name" "${csize[$name]}" \
      "$(cat "$work/$name.zel.out")" "$(cat "$work/$name.py.out")" "$(cat "$work/$name.lua.out")"
    n=$(units_of "$name" "${csize[$name]}")
    for lang in "${langs[@]}"; do
      total=$(awk '/Collected/ { gsub(",", "", $4); print $4 }' "$work/$name.$lang.cg")
      [ -n "$total" ] || fail "no count for $name in ${label[$lang]}: $(cat "$work/$name.$lang.cg")"
      if [ "$name" = startup ]; then
        ir[$name.$lang]=$total
      else
        ir[$name.$lang]=$(awk -v t="$total" -v b="${ir[startup.$lang]}" -v n="$n" 'BEGIN { printf "%.1f", (t - b) / n }')
      fi
    done
  done
fi

# Does every bound of a target hold? target zel/py zel/lua
verdict() {
  [ -z "$1" ] && { echo "-"; return; }
  awk -v t="$1" -v py="$2" -v lua="$3" 'BEGIN {
    n = split(t, bound, ", "); ok = 1
    for (i = 1; i <= n; i++) {
      split(bound[i], p, " "); v = (p[1] == "py") ? py : lua
      if (p[2] == "<" && !(v < p[3])) ok = 0
      if (p[2] == "<=" && !(v <= p[3])) ok = 0
    }
    print ok ? "met" : "not met"
  }'
}

if [ $wall = 1 ]; then
  echo "Answers (zel = python3 = lua5.4) and median wall ms of $reps runs, less start-up:"
  for name in "${names[@]}"; do
    printf "  %-9s %-10s %s %-10s %s %9.2f  %s %9.2f  %s %9.2f\n" "$name" "${answer[$name]:--}" \
      "size" "${size[$name]}" zel "${ms[$name.zel]}" python3 "${ms[$name.py]}" lua5.4 "${ms[$name.lua]}"
  done
  echo
fi
printf "%-9s %-14s %8s %8s | %12s %12s %12s | %-21s %s\n" workload unit zel/py3 zel/lua \
  "Ir zel" "Ir python3" "Ir lua5.4" "target (wall ratios)" ""
for name in "${names[@]}"; do
  rpy=- rlua=- met=-
  if [ $wall = 1 ]; then
    rpy=$(awk -v a="${ms[$name.zel]}" -v b="${ms[$name.py]}" 'BEGIN { printf "%.2f", a / b }')
    rlua=$(awk -v a="${ms[$name.zel]}" -v b="${ms[$name.lua]}" 'BEGIN { printf "%.2f", a / b }')
    met=$(verdict "${target[$name]}" "$rpy" "$rlua")
  fi
  printf "%-9s %-14s %8s %8s | %12s %12s %12s | %-21s %s\n" "$name" "per ${unit[$name]}" "$rpy" "$rlua" \
    "${ir[$name.zel]:--}" "${ir[$name.py]:--}" "${ir[$name.lua]:--}" "${target[$name]:--}" "$met"
done
