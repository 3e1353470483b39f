#!/usr/bin/env bash
# Calendar arithmetic: one day added to a date 1,000,000 times, its weekday
# read after each step, against python3's datetime.date with a timedelta
# and lua5.4's os.date over seconds (a day is 86400 of them) doing the same.
# The three must end on the same day and weekday.
#
# Each program is a whole process, best of three; the "-start" column takes
# off the start-up of an empty script of the same language. Then
# callgrind's instructions per day for zel and python3 (a run of 100,000
# days less a run of none). Ratios above 1: zel is slower.
#
#   bash bench/date_add.sh
#
# Installs lua5.4 with apt-get when it is missing. ZEL names the program
# (default: zel of the release build, brought up to date).
set -euo pipefail
shopt -s inherit_errexit
N=1000000        # days of the timed runs
COUNTED=100000   # days of the counted runs

cd "$(dirname "$0")/.."
source bench/common.sh
ensure_lua
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The programs: NNN stands for the count of days ----------------------------------------

cat > "$work/days.zel" <<'EOF'
Zel []
d: 1-Jan-2000 w: 0
loop NNN [d: d + 1 w: d/weekday]
print [d/year d/month d/day w]
EOF
echo "Zel []" > "$work/empty.zel"

# In a function, as python code is usually run: its locals are the fast ones.
cat > "$work/days.py" <<'EOF'
import datetime
def run(n):
    d = datetime.date(2000, 1, 1)
    one = datetime.timedelta(days=1)
    w = 0
    for _ in range(n):
        d = d + one
        w = d.isoweekday()
    return d, w
d, w = run(NNN)
print(d.year, d.month, d.day, w)
EOF
: > "$work/empty.py"

# Seconds in UTC from 1-Jan-2000; os.date's wday counts from Sunday = 1.
cat > "$work/days.lua" <<'EOF'
local t, w = 946684800, 0
local date
for _ = 1, NNN do
  t = t + 86400
  date = os.date("!*t", t)
  w = (date.wday + 5) % 7 + 1
end
print(date.year, date.month, date.day, w)
EOF
: > "$work/empty.lua"

for f in "$work"/*.zel "$work"/*.py "$work"/*.lua; do
  sed "s/NNN/$N/g" "$f" > "$f.run"
  sed "s/NNN/$COUNTED/g" "$f" > "$f.counted"
  sed "s/NNN/0/g" "$f" > "$f.none"
done

# ---- Wall time -------------------------------------------------------------------------------

wall_once() {  # command...: seconds of one run, its output in $work/answer
  local start end
  start=$(date +%s.%N)
  "$@" > "$work/answer" </dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

declare -A wall answer
for lang in zel py lua; do
  case $lang in
    zel) cmd=("$ZEL") ;;
    py) cmd=("$PYTHON") ;;
    lua) cmd=(lua5.4) ;;
  esac
  wall[$lang.empty]=$(best_of_three wall_once "${cmd[@]}" "$work/empty.$lang.run")
  wall[$lang.days]=$(best_of_three wall_once "${cmd[@]}" "$work/days.$lang.run")
  answer[$lang]=$(tr -s ' \t' '  ' < "$work/answer")
done
if [ "${answer[zel]}" != "${answer[py]}" ] || [ "${answer[zel]}" != "${answer[lua]}" ]; then
  echo "the answers differ: zel ${answer[zel]}, python3 ${answer[py]}, lua5.4 ${answer[lua]}" >&2
  exit 1
fi

echo "$N days from 1-Jan-2000: ${answer[zel]} (year month day weekday)"
printf "%-8s %9s %9s %9s %9s\n" "seconds" all start "-start" "zel/this"
for lang in zel py lua; do
  wall_line $lang "${wall[$lang.days]}" "${wall[$lang.empty]}" "${wall[zel.days]}" "${wall[zel.empty]}"
done

# ---- Instructions per day ------------------------------------------------------------------

if ! command -v valgrind >/dev/null; then
  echo "(valgrind missing: no instruction counts)"
  exit 0
fi
count() {  # command...: instructions of a whole run
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected/ { gsub(",", "", $4); print $4 }'
}
count "$ZEL" "$work/days.zel.counted" > "$work/zel.count" &
count "$ZEL" "$work/days.zel.none" > "$work/zel-none.count" &
wait
count "$PYTHON" "$work/days.py.counted" > "$work/py.count" &
count "$PYTHON" "$work/days.py.none" > "$work/py-none.count" &
wait
zel_per=$(( ($(cat "$work/zel.count") - $(cat "$work/zel-none.count")) / COUNTED ))
py_per=$(( ($(cat "$work/py.count") - $(cat "$work/py-none.count")) / COUNTED ))
echo
printf "%-8s %12s\n" "" "instr/day"
printf "%-8s %12d\n" zel "$zel_per" python3 "$py_per"
awk -v z="$zel_per" -v p="$py_per" 'BEGIN { printf "zel/python3 instructions: %.2f\n", z / p }'
