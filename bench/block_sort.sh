#!/usr/bin/env bash
# Sorting random integers: the block sort handler on 1,000,000 integer!
# cells (quick sort; merge sort with /stable) against lua5.4 table.sort and
# python3 list.sort over the same count of random 32-bit integers; best of
# three, each in seconds, with the ratio zel / other (above 1: zel slower).
#
#   bash bench/block_sort.sh [count]      (default 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench block_sort

n=${1:-1000000}
read -r _ _ zel _ stable < <("$build/bench/bench_block_sort" "$n")
lua=$(lua5.4 - "$n" <<'LUA'
local n = tonumber(arg[1])
math.randomseed(1)
local best = math.huge
for _ = 1, 3 do
  local t = {}
  for i = 1, n do t[i] = math.random(-2147483648, 2147483647) end
  local start = os.clock()
  table.sort(t)
  local spent = os.clock() - start
  if spent < best then best = spent end
end
print(string.format("%.4f", best))
LUA
)
py=$(python3 - "$n" <<'PY'
import random, sys, time
n = int(sys.argv[1])
random.seed(1)
best = float("inf")
for _ in range(3):
    t = [random.randint(-2147483648, 2147483647) for _ in range(n)]
    start = time.perf_counter()
    t.sort()
    best = min(best, time.perf_counter() - start)
print("%.4f" % best)
PY
)
printf "%-22s %9s s\n" "zel sort" "$zel"
printf "%-22s %9s s\n" "zel sort/stable" "$stable"
printf "%-22s %9s s   zel/lua %.2f  (stable %.2f)\n" "lua5.4 table.sort" "$lua" \
  "$(echo "$zel / $lua" | bc -l)" "$(echo "$stable / $lua" | bc -l)"
printf "%-22s %9s s   zel/python %.2f  (stable %.2f)\n" "python3 list.sort" "$py" \
  "$(echo "$zel / $py" | bc -l)" "$(echo "$stable / $py" | bc -l)"
