local function run(units)
  local i, s = 0, 0
  while i < units do i = i + 1; s = s + 3 end
  return s
end
print(run(tonumber(arg[1])))
