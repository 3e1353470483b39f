local data = {}
for i = 1, 1000000 do data[i] = i % 100 end
local function run()
  local s = 0
  for _, x in ipairs(data) do s = s + x end
  return s
end
local t = os.clock(); run(); print(os.clock() - t)
