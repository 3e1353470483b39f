-- error/pcall caught one and ten calls up: the counterpart of
-- throw_return.cpp. Best of three runs.
local E = {}
local function f(d)
  if d <= 1 then error(E) end
  local r = f(d - 1)  -- not a tail call
  return r
end
for _, depth in ipairs({1, 10}) do
  local n, best = 400000, math.huge
  for _ = 1, 3 do
    local start = os.clock()
    for _ = 1, n do pcall(f, depth) end
    best = math.min(best, (os.clock() - start) * 1e9 / n)
  end
  print(string.format("lua depth=%d ns=%.1f", depth, best))
end
