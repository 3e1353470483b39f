#!/usr/bin/env bash
# Loading source text: Zel's lexer making the values of a file of ordinary
# code, against lua5.4 compiling the same program (loadfile) and python3
# compiling it (compile), each in MB/s of its own text, best of five.
#
#   bash bench/lexer_load.sh [functions]      (default 20000, about 4 MB)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/common.sh
ensure_lua
build_bench lexer_load

n=${1:-20000}
dir="$build/lexer_load"
mkdir -p "$dir"
python3 - "$n" "$dir" <<'PY'
import sys
n, out = int(sys.argv[1]), sys.argv[2]
zel, lua, py = [], [], []
for i in range(n):
    zel.append(f"""calc-{i}: func [a b /local t] [
    t: a + b * {i % 97}
    if t > 100 [print "big value {i}"]
    data: [1 2.5 "text {i}" 'word-{i} [nested {i} 4.75 ["deep"]]]
    total: total + length? data
]
""")
    lua.append(f"""function calc_{i}(a, b)
    local t = a + b * {i % 97}
    if t > 100 then print("big value {i}") end
    local data = {{1, 2.5, "text {i}", "word_{i}", {{"nested", {i}, 4.75, {{"deep"}}}}}}
    total = total + #data
end
""")
    py.append(f"""def calc_{i}(a, b):
    t = a + b * {i % 97}
    if t > 100: print("big value {i}")
    data = [1, 2.5, "text {i}", "word_{i}", ["nested", {i}, 4.75, ["deep"]]]
    total = total + len(data)
""")
for name, parts in (("code.zel", zel), ("code.lua", lua), ("code.py", py)):
    open(f"{out}/{name}", "w").write("".join(parts))
PY

zel=$("$build/bench/bench_lexer_load" "$dir/code.zel" | awk '{print $2}')
cat > "$dir/time.lua" <<'LUA'
local f = io.open(arg[1], "rb"); local size = f:seek("end"); f:close()
local best = math.huge
for _ = 1, 5 do
  local t = os.clock(); assert(loadfile(arg[1])); t = os.clock() - t
  if t < best then best = t end
end
print(string.format("%.1f", size / 1e6 / best))
LUA
lua=$(lua5.4 "$dir/time.lua" "$dir/code.lua")
py=$(python3 -c '
import sys, time
src = open(sys.argv[1]).read()
best = min((lambda t: (compile(src, "code.py", "exec"), time.perf_counter() - t)[1])(time.perf_counter()) for _ in range(5))
print("%.1f" % (len(src.encode()) / 1e6 / best))' "$dir/code.py")

printf "file sizes   zel %s  lua %s  python %s bytes\n" \
  "$(stat -c %s "$dir/code.zel")" "$(stat -c %s "$dir/code.lua")" "$(stat -c %s "$dir/code.py")"
printf "zel load         %8s MB/s\n" "$zel"
printf "lua5.4 loadfile  %8s MB/s  (zel %.1fx)\n" "$lua" "$(echo "$zel / $lua" | bc -l)"
printf "python3 compile  %8s MB/s  (zel %.1fx)\n" "$py" "$(echo "$zel / $py" | bc -l)"
