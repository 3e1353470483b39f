-- error/pcall caught one and ten calls up: the counterpart of throw_return.cpp.
local E = {}
local function f(d)
  if d <= 1 then error(E) end
  local r = f(d - 1)  -- not a tail call
  return r
end
for _, depth in ipairs({1, 10}) do
  local n = 400000
  local start = os.clock()
  for _ = 1, n do pcall(f, depth) end
  print(string.format("lua depth=%d ns=%.1f", depth, (os.clock() - start) * 1e9 / n))
end
