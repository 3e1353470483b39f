local o = {n = 0}
function o:f(x) self.n = self.n + x end
local function run(units)
  for _ = 1, units do o:f(1) end
  return o.n
end
print(run(tonumber(arg[1])))
