local o = {n = 0}
function o:f(x) self.n = self.n + x end
local function run()
  for _ = 1, 1000000 do o:f(1) end
  return o.n
end
local t = os.clock(); run(); print(os.clock() - t)
