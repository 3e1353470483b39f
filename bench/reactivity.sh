#!/usr/bin/env bash
# Reactive propagation: a chain of 100 relations over 101 reactors (each
# reactor's v follows the one before it, plus 1), and one change of the
# first reactor's v propagated to the end of the chain, repeated. Against
# python3 and lua5.4 running the same chain as observer callbacks: objects
# whose setter calls the observers of the field, each observer setting the
# next object's field. All three print the last object's field at the end
# and the script stops when they differ.
#
# Each program is a whole process, best of three; the "-start" column takes
# off the set-up (start-up and the making of the chain: the same program
# with no change). Then callgrind's instructions per change for all three
# (a run of COUNTED changes less a run of none). Ratios above 1: zel is
# slower.
#
#   bash bench/reactivity.sh
#
# Installs lua5.4 with apt-get when it is missing. ZEL names the program
# (default: zel of the release build, brought up to date).
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
source bench/common.sh
N=2000          # changes of the timed runs
COUNTED=200     # changes of the counted runs
ensure_lua
ensure_zel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The programs: NNN stands for the count of changes --------------------------------------

# Each relation's reaction reads its two reactors through words of a small
# context of its own.
cat > "$work/chain.zel" <<'EOF'
Zel []
objs: make block! 101
loop 101 [append objs reactor [v: 0]]
repeat i 100 [
    react/later bind copy/deep [there/v: here/v + 1] context [here: pick objs i there: pick objs i + 1]
]
first-obj: first objs
last-obj: last objs
repeat i NNN [first-obj/v: i]
print last-obj/v
EOF

# In a function, as python code is usually run: its locals are the fast ones.
cat > "$work/chain.py" <<'EOF'
class Reactor:
    __slots__ = ("_v", "observers")
    def __init__(self):
        self._v = 0
        self.observers = []
    @property
    def v(self):
        return self._v
    @v.setter
    def v(self, value):
        self._v = value
        for observer in self.observers:
            observer()

def relate(here, there):
    def reaction():
        there.v = here.v + 1
    here.observers.append(reaction)

def run(n):
    objs = [Reactor() for _ in range(101)]
    for i in range(100):
        relate(objs[i], objs[i + 1])
    first = objs[0]
    for i in range(1, n + 1):
        first.v = i
    return objs[100].v

print(run(NNN))
EOF

cat > "$work/chain.lua" <<'EOF'
local function set_v(obj, value)
  obj.v = value
  for _, observer in ipairs(obj.observers) do observer() end
end
local objs = {}
for i = 1, 101 do objs[i] = {v = 0, observers = {}} end
for i = 1, 100 do
  local here, there = objs[i], objs[i + 1]
  table.insert(here.observers, function() set_v(there, here.v + 1) end)
end
local first = objs[1]
for i = 1, NNN do set_v(first, i) end
print(objs[101].v)
EOF

for f in "$work"/chain.*; do
  sed "s/NNN/$N/g" "$f" > "$f.run"
  sed "s/NNN/$COUNTED/g" "$f" > "$f.counted"
  sed "s/NNN/0/g" "$f" > "$f.none"
done

# ---- Wall time -------------------------------------------------------------------------------

command_of() {  # language: its interpreter, into cmd
  case $1 in
    zel) cmd=("$ZEL") ;;
    py) cmd=("$PYTHON" -S) ;;
    lua) cmd=(lua5.4) ;;
  esac
}

# The three must reach the same last field (the counted run's is quickest).
declare -A answer
for lang in zel py lua; do
  command_of $lang
  answer[$lang]=$("${cmd[@]}" "$work/chain.$lang.counted")
done
if [ "${answer[zel]}" != "${answer[py]}" ] || [ "${answer[zel]}" != "${answer[lua]}" ]; then
  echo "the answers differ: zel ${answer[zel]}, python3 ${answer[py]}, lua5.4 ${answer[lua]}" >&2
  exit 1
fi

declare -A wall
for lang in zel py lua; do
  command_of $lang
  wall[$lang.none]=$(best_of_three seconds "${cmd[@]}" "$work/chain.$lang.none")
  wall[$lang.run]=$(best_of_three seconds "${cmd[@]}" "$work/chain.$lang.run")
done

echo "$N changes through a chain of 100 relations ($COUNTED counted: the last field is ${answer[zel]})"
printf "%-8s %9s %9s %9s %9s\n" "seconds" all set-up "-set-up" "zel/this"
for lang in zel py lua; do
  wall_line $lang "${wall[$lang.run]}" "${wall[$lang.none]}" "${wall[zel.run]}" "${wall[zel.none]}"
done

# ---- Instructions per change -----------------------------------------------------------------

declare -A per
command -v valgrind >/dev/null || { echo "(valgrind missing: no instruction counts)"; exit 0; }
for lang in zel py lua; do
  command_of $lang
  count_instructions "${cmd[@]}" "$work/chain.$lang.counted" > "$work/$lang.count" &
  count_instructions "${cmd[@]}" "$work/chain.$lang.none" > "$work/$lang.none" &
  wait
  per[$lang]=$(( ($(cat "$work/$lang.count") - $(cat "$work/$lang.none")) / COUNTED ))
done
echo
printf "%-8s %14s %12s %9s\n" "" "instr/change" "per relation" "zel/this"
for lang in zel py lua; do
  awk -v n="$lang" -v p="${per[$lang]}" -v z="${per[zel]}" \
    'BEGIN { printf "%-8s %14d %12d %9.2f\n", n, p, p / 100, z / p }'
done
