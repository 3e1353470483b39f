#!/usr/bin/env bash
# Lookups by key: 200,000 words in a hash!, each found once with find
# (through the table), against a python3 dict and a lua5.4 table holding
# the same count of string keys, each read once; best of three, in seconds
# and ns per lookup, with the ratio zel / other (above 1: zel slower). The
# other two include their interpreters' loop; zel's is a C++ loop calling
# the find handler.
#
#   bash bench/hash_lookup.sh [count]      (default 200000)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench hash_lookup

n=${1:-200000}
read -r _ _ make _ zel < <("$build/bench/bench_hash_lookup" "$n")
lua=$(lua5.4 - "$n" <<'LUA'
local n = tonumber(arg[1])
local t, keys = {}, {}
for i = 0, n - 1 do keys[i + 1] = "w" .. i; t[keys[i + 1]] = i end
local best = math.huge
for _ = 1, 3 do
  local start, found = os.clock(), 0
  for i = 1, n do if t[keys[i]] == i - 1 then found = found + 1 end end
  local spent = os.clock() - start
  assert(found == n)
  if spent < best then best = spent end
end
print(string.format("%.4f", best))
LUA
)
py=$(python3 - "$n" <<'PY'
import sys, time
n = int(sys.argv[1])
keys = ["w%d" % i for i in range(n)]
d = {k: i for i, k in enumerate(keys)}
best = float("inf")
for _ in range(3):
    start, found = time.perf_counter(), 0
    for i, k in enumerate(keys):
        if d[k] == i:
            found += 1
    best = min(best, time.perf_counter() - start)
    assert found == n
print("%.4f" % best)
PY
)
per() { echo "$1 * 1000000000 / $n" | bc -l; }
printf "%-16s %8s s  %7.1f ns/lookup   (making the hash! %s s)\n" "zel hash!" "$zel" "$(per "$zel")" "$make"
printf "%-16s %8s s  %7.1f ns/lookup   zel/lua %.2f\n" "lua5.4 table" "$lua" "$(per "$lua")" \
  "$(echo "$zel / $lua" | bc -l)"
printf "%-16s %8s s  %7.1f ns/lookup   zel/python %.2f\n" "python3 dict" "$py" "$(per "$py")" \
  "$(echo "$zel / $py" | bc -l)"
