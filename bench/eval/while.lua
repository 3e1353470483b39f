local function run()
  local i, s = 0, 0
  while i < 10000000 do i = i + 1; s = s + 3 end
  return s
end
local t = os.clock(); run(); print(os.clock() - t)
