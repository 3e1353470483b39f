#!/usr/bin/env bash
# Child processes: a thousand waited `call/wait "true"`, and 100 MB of a
# child's output captured into a binary! and into a string!, against
# python3's subprocess.run doing the same (capture_output, bytes and text).
#
#   spawn   N x  call/wait "true"                 run(["true"])
#   bytes   call/output "head -c M /dev/zero" bin run([...], capture_output=True)
#   text    the same into a string!               ... text=True
#
# Each program is a whole process; wall-clock seconds are the best of five,
# whole and less the best of five of an empty script of the same language
# (python3: one that imports subprocess), with the ratios zel / python3
# (above 1: zel is slower). Both print a check and the script stops when they
# differ. Then callgrind's instructions in the parent process alone (the
# children are not counted) per spawn and per captured byte, for both.
#
#   bash bench/call.sh
#
# ZEL names the program (default: zel of the release build, built when
# missing): run it once with an older build for a before-and-after.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
SPAWNS=1000
BYTES=104857600
COUNTED_SPAWNS=100
COUNTED_BYTES=10485760

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The programs: NNN stands for the count ----------------------------------------------

cat > "$work/spawn.zel" <<'EOF'
Zel []
s: 0 repeat i NNN [s: s + call/wait "true"]
print s
EOF
cat > "$work/bytes.zel" <<'EOF'
Zel []
out: make binary! 0
call/output "head -c NNN /dev/zero" out
print length? out
EOF
cat > "$work/text.zel" <<'EOF'
Zel []
out: make string! 0
call/output "head -c NNN /dev/zero" out
print length? out
EOF
echo "Zel []" > "$work/empty.zel"

cat > "$work/spawn.py" <<'EOF'
import subprocess
s = 0
for i in range(NNN):
    s += subprocess.run(["true"]).returncode
print(s)
EOF
cat > "$work/bytes.py" <<'EOF'
import subprocess
out = subprocess.run(["head", "-c", "NNN", "/dev/zero"], capture_output=True).stdout
print(len(out))
EOF
cat > "$work/text.py" <<'EOF'
import subprocess
out = subprocess.run(["head", "-c", "NNN", "/dev/zero"], capture_output=True, text=True).stdout
print(len(out))
EOF
echo "import subprocess" > "$work/empty.py"

for f in "$work"/*.zel "$work"/*.py; do
  case "$f" in
    *spawn*) big=$SPAWNS counted=$COUNTED_SPAWNS ;;
    *) big=$BYTES counted=$COUNTED_BYTES ;;
  esac
  sed "s/NNN/$counted/g" "$f" > "${f%.*}-counted.${f##*.}"
  sed "s/NNN/0/g" "$f" > "${f%.*}-none.${f##*.}"
  sed -i "s/NNN/$big/g" "$f"
done

# ---- Wall time ---------------------------------------------------------------------------------

same_answers spawn bytes text

echo "$SPAWNS waited spawns; $BYTES bytes captured (best of 5)"
wall_table spawn bytes text

# ---- Instructions in the parent ---------------------------------------------------------------

if ! command -v valgrind >/dev/null; then
  echo "(valgrind missing: no instruction counts)"
  exit 0
fi
count_both spawn bytes text
echo
printf "%-6s %16s %16s %10s\n" "" "zel instr/unit" "py instr/unit" zel/py
for name in spawn bytes text; do
  units=$COUNTED_BYTES unit="byte"
  [ "$name" = spawn ] && units=$COUNTED_SPAWNS unit="spawn"
  awk -v n="$name ($unit)" -v u="$units" \
      -v zc="$(cat "$work/$name.zel.count")" -v zn="$(cat "$work/$name.zel.none")" \
      -v pc="$(cat "$work/$name.py.count")" -v pn="$(cat "$work/$name.py.none")" \
    'BEGIN { z = (zc - zn) / u; p = (pc - pn) / u; printf "%-6s %16.2f %16.2f %10.2f\n", n, z, p, z / p }'
done
