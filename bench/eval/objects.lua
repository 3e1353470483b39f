local function run()
  local o
  for _ = 1, 1000000 do o = {a = 1, b = 2, c = 3} end
  return o.c
end
local t = os.clock(); run(); print(os.clock() - t)
