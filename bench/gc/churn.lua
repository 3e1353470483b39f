local function run()
  local live = {}
  for i = 1, 1000 do live[i] = {0, 0, 0, 0} end
  local n = 0
  for i = 1, 1000000 do
    local b = {i, i + 1, "x"}
    local s = "item-" .. tostring(i)
    live[(i % 1000) + 1] = b
    n = n + #s
  end
  return n
end
local t = os.clock(); run(); print(os.clock() - t)
