#!/usr/bin/env bash
# money! arithmetic: 1,000,000 additions and 1,000,000 multiplications of
# amounts in a loop, against python3's decimal.Decimal doing the same.
#
#   add   a: a + b, b = $1.00001 (python: a = a + b on Decimals)
#   mul   p: x * k, x = $1234.56789, k = 3 (python: p = x * k, k a Decimal)
#
# Each program is a whole process; wall-clock seconds are the best of five,
# whole and less the best of five of an empty script of the same language
# (python3: one that imports decimal), with the ratios zel / python3 (above
# 1: zel is slower). Both print their result
# and the script stops when they differ. Then callgrind's instructions per
# operation for both (a run of 100,000 less a run of none).
#
#   bash bench/money.sh
#
# ZEL names the program (default: zel of the release build, built when
# missing): run it once with an older build for a before-and-after.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_zel
N=1000000
COUNTED=100000

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ---- The programs: NNN stands for the count --------------------------------------------

cat > "$work/add.zel" <<'EOF'
Zel []
a: $0 b: $1.00001
repeat i NNN [a: a + b]
print next mold/all a
EOF
cat > "$work/mul.zel" <<'EOF'
Zel []
x: $1234.56789 k: 3 p: $0
repeat i NNN [p: x * k]
print next mold/all p
EOF
echo "Zel []" > "$work/empty.zel"

# In functions, as python code is usually run: its locals are the fast ones.
cat > "$work/add.py" <<'EOF'
from decimal import Decimal
def run(n):
    a = Decimal("0.00000")
    b = Decimal("1.00001")
    for i in range(n):
        a = a + b
    return a
print(run(NNN))
EOF
cat > "$work/mul.py" <<'EOF'
from decimal import Decimal
def run(n):
    x = Decimal("1234.56789")
    k = Decimal(3)
    p = Decimal("0.00000")
    for i in range(n):
        p = x * k
    return p
print(run(NNN))
EOF
echo "from decimal import Decimal" > "$work/empty.py"

for f in "$work"/*.zel "$work"/*.py; do
  sed "s/NNN/$COUNTED/g" "$f" > "${f%.*}-counted.${f##*.}"
  sed "s/NNN/0/g" "$f" > "${f%.*}-none.${f##*.}"
  sed -i "s/NNN/$N/g" "$f"
done

# ---- Wall time ---------------------------------------------------------------------------------

same_answers add mul

wall_table add mul

# ---- Instructions per operation ---------------------------------------------------------------

if ! command -v valgrind >/dev/null; then
  echo "(valgrind missing: no instruction counts)"
  exit 0
fi
count_both add mul
echo
printf "%-6s %12s %12s %10s\n" "" "zel instr/op" "py instr/op" zel/py
for name in add mul; do
  z=$(( ($(cat "$work/$name.zel.count") - $(cat "$work/$name.zel.none")) / COUNTED ))
  p=$(( ($(cat "$work/$name.py.count") - $(cat "$work/$name.py.none")) / COUNTED ))
  awk -v n="$name" -v z="$z" -v p="$p" 'BEGIN { printf "%-6s %12d %12d %10.2f\n", n, z, p, z / p }'
done
