local function f(a, b, c, neg)
  if neg then return a - b - c else return a + b + c end
end
local function run(units)
  local i, s = 0, 0
  while i < units do i = i + 1; s = s + f(7, 2, 3, true) end
  return s
end
print(run(tonumber(arg[1])))
