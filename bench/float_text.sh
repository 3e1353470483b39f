#!/usr/bin/env bash
# Float text speed against python3 (repr / float) and lua5.4
# (string.format('%.17g') / tonumber) on the same random doubles: each
# molds every double to text, then reads every text back; best of three.
#
#   bash bench/float_text.sh [count]      (default 1,000,000)
#
# Installs lua5.4 with apt-get when it is missing. Prints the times and the
# ratios other / zel (above 1: zel is faster).
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000000}

source bench/common.sh
ensure_lua
build_bench float_text

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data="$work/doubles.bin"

"$build/bench/bench_float_text" "$count" "$data" >"$work/zel"

python3 - "$data" >"$work/python3" <<'EOF'
import array, sys, time
values = array.array('d')
with open(sys.argv[1], 'rb') as f:
    values.frombytes(f.read())
values = values.tolist()
best_mold = best_read = float('inf')
for _ in range(3):
    start = time.perf_counter()
    texts = [repr(x) for x in values]
    middle = time.perf_counter()
    back = [float(t) for t in texts]
    end = time.perf_counter()
    best_mold = min(best_mold, middle - start)
    best_read = min(best_read, end - middle)
assert back == values, "python3 round trip failed"
print('mold %.6f' % best_mold)
print('read %.6f' % best_read)
EOF

cat >"$work/bench.lua" <<'EOF'
local f = assert(io.open(arg[1], 'rb'))
local data = f:read('a')
f:close()
local n = #data // 8
local values = {}
for i = 1, n do values[i] = string.unpack('<d', data, (i - 1) * 8 + 1) end
local format, tonum = string.format, tonumber
local best_mold, best_read = math.huge, math.huge
local back
for _ = 1, 3 do
  local start = os.clock()
  local texts = {}
  for i = 1, n do texts[i] = format('%.17g', values[i]) end
  local middle = os.clock()
  back = {}
  for i = 1, n do back[i] = tonum(texts[i]) end
  local stop = os.clock()
  best_mold = math.min(best_mold, middle - start)
  best_read = math.min(best_read, stop - middle)
end
for i = 1, n do assert(back[i] == values[i], 'lua round trip failed') end
print(format('mold %.6f', best_mold))
print(format('read %.6f', best_read))
EOF
lua5.4 "$work/bench.lua" "$data" >"$work/lua5.4"

echo "float text, $count random doubles (best of 3, seconds)"
awk -v dir="$work" 'BEGIN {
  split("zel python3 lua5.4", names, " ")
  for (i = 1; i <= 3; i++) {
    file = dir "/" names[i]
    while ((getline line < file) > 0) {
      split(line, f, " ")
      t[names[i], f[1]] = f[2]
    }
  }
  printf "%-8s %10s %10s %12s %12s\n", "", "mold", "read", "mold ratio", "read ratio"
  for (i = 1; i <= 3; i++) {
    n = names[i]
    printf "%-8s %10.3f %10.3f %12.2f %12.2f\n", n, t[n, "mold"], t[n, "read"],
           t[n, "mold"] / t["zel", "mold"], t[n, "read"] / t["zel", "read"]
  }
}'
