#!/usr/bin/env bash
# Series growth: the peak memory and time of building a 1,000,000-item
# series an item at a time, against lua5.4 and python3 doing the same.
#
#   append     1,000,000 integers appended to an empty block
#              (python: list.append; lua: t[#t + 1] = i)
#   presized   the same into a block made for 1,000,000 (python: a list of
#              1,000,000 filled by index; lua has no way to size a table
#              ahead, so its twin is the plain loop of `append`)
#   text       a string built by 1,000,000 appends of a character
#              (python: s += "a"; lua: a table of characters, concatenated
#              at the end, its usual way to build a string)
#
# Each program is a whole process: peak resident memory in MB (the
# kernel's figure, through GNU time) and wall-clock seconds, best of three;
# the "-start" columns: the peak less that of an empty script of the same
# language.
# Then callgrind's instructions per append for zel (a run of the loop less
# a run of it with no iterations). Ratios above 1: zel uses more.
#
#   bash bench/memory_growth.sh
#
# ZEL names the program (default: zel of the release build, built when
# missing): run it once with an older build for a before-and-after.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
ensure_zel
N=1000000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The programs: NNN stands for the count --------------------------------------------

cat > "$work/append.zel" <<'EOF'
Zel []
b: copy [] repeat i NNN [append b i]
EOF
cat > "$work/presized.zel" <<'EOF'
Zel []
b: make block! NNN repeat i NNN [append b i]
EOF
cat > "$work/text.zel" <<'EOF'
Zel []
s: copy "" repeat i NNN [append s #"a"]
EOF
echo "Zel []" > "$work/empty.zel"

# In functions, as python code is usually run: its locals are the fast
# ones, and `s += "a"` on a local grows the string where it lies.
cat > "$work/append.py" <<'EOF'
def build(n):
    b = []
    for i in range(1, n + 1):
        b.append(i)
    return b
b = build(NNN)
EOF
cat > "$work/presized.py" <<'EOF'
def build(n):
    b = [None] * n
    for i in range(n):
        b[i] = i + 1
    return b
b = build(NNN)
EOF
cat > "$work/text.py" <<'EOF'
def build(n):
    s = ""
    for i in range(n):
        s += "a"
    return s
s = build(NNN)
EOF
: > "$work/empty.py"

cat > "$work/append.lua" <<'EOF'
local b = {}
for i = 1, NNN do b[#b + 1] = i end
EOF
cp "$work/append.lua" "$work/presized.lua"
cat > "$work/text.lua" <<'EOF'
local t = {}
for i = 1, NNN do t[#t + 1] = "a" end
local s = table.concat(t)
EOF
: > "$work/empty.lua"

for f in "$work"/*.zel "$work"/*.py "$work"/*.lua; do sed -i "s/NNN/$N/g" "$f"; done

# ---- Measuring -----------------------------------------------------------------------------

# GNU time reports the child's peak (a measuring process of its own size
# would pass its peak on to the child it forks); installed when missing.
if [ ! -x /usr/bin/time ]; then
  apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends time >/dev/null
fi

run_once() {  # command...: "peak-KB seconds" of one run
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null </dev/null
  end=$(date +%s.%N)
  awk -v p="$(tail -1 "$work/peak")" -v a="$start" -v b="$end" 'BEGIN { printf "%d %.3f\n", p, b - a }'
}

best_run() {  # command...: the least peak and the least time of three runs
  local peak="" wall="" p w
  for _ in 1 2 3; do
    read -r p w < <(run_once "$@")
    peak=$(awk -v a="$p" -v b="$peak" 'BEGIN { print (b == "" || a < b) ? a : b }')
    wall=$(awk -v a="$w" -v b="$wall" 'BEGIN { print (b == "" || a < b) ? a : b }')
  done
  echo "$peak $wall"
}

declare -A peak wall
for lang in zel lua py; do
  case $lang in
    zel) cmd=("$ZEL") ;;
    lua) cmd=(lua5.4) ;;
    py) cmd=("$PYTHON") ;;
  esac
  for name in empty append presized text; do
    read -r "peak[$lang.$name]" "wall[$lang.$name]" < <(best_run "${cmd[@]}" "$work/$name.$lang")
  done
done

printf "%-9s %8s %8s %8s %9s %9s %9s %8s %8s\n" "peak MB" zel lua python "zel-start" "lua-start" "py-start" zel/lua zel/py
for name in append presized text; do
  awk -v n="$name" -v z="${peak[zel.$name]}" -v l="${peak[lua.$name]}" -v p="${peak[py.$name]}" \
      -v z0="${peak[zel.empty]}" -v l0="${peak[lua.empty]}" -v p0="${peak[py.empty]}" \
    'BEGIN { printf "%-9s %8.1f %8.1f %8.1f %9.1f %9.1f %9.1f %8.2f %8.2f\n", n, z / 1024, l / 1024, p / 1024,
             (z - z0) / 1024, (l - l0) / 1024, (p - p0) / 1024, z / l, z / p }'
done
awk -v a="${peak[zel.append]}" -v b="${peak[zel.presized]}" -v z0="${peak[zel.empty]}" \
  'BEGIN { printf "zel append/presized peak: %.2f (less start: %.2f)\n", a / b, (a - z0) / (b - z0) }'
echo
printf "%-9s %8s %8s %8s %8s %8s\n" "seconds" zel lua python zel/lua zel/py
for name in append presized text; do
  awk -v n="$name" -v z="${wall[zel.$name]}" -v l="${wall[lua.$name]}" -v p="${wall[py.$name]}" \
    'BEGIN { printf "%-9s %8.3f %8.3f %8.3f %8.2f %8.2f\n", n, z, l, p, z / l, z / p }'
done

# ---- Instructions per append -------------------------------------------------------------------

if ! command -v valgrind >/dev/null; then
  echo "(valgrind missing: no instruction counts)"
  exit 0
fi
for name in append presized text; do sed "s/$N/0/g" "$work/$name.zel" > "$work/$name-none.zel"; done
count() {  # script: instructions of a whole run
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$ZEL" "$1" 2>&1 >/dev/null |
    awk '/Collected/ { gsub(",", "", $4); print $4 }'
}
for name in append presized text; do
  count "$work/$name.zel" > "$work/$name.count" &
  count "$work/$name-none.zel" > "$work/$name-none.count" &
done
wait
echo
printf "%-9s %12s\n" "" "instr/append"
for name in append presized text; do
  printf "%-9s %12d\n" "$name" $(( ($(cat "$work/$name.count") - $(cat "$work/$name-none.count")) / N ))
done
