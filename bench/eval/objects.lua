local function run(units)
  local o
  for _ = 1, units do o = {a = 1, b = 2, c = 3} end
  return o.c
end
print(run(tonumber(arg[1])))
