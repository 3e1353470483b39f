local data = {}
for i = 1, 1000 do data[i] = i % 100 end
local function run(units)
  local s = 0
  for _ = 1, units // 1000 do
    for _, x in ipairs(data) do s = s + x end
  end
  return s
end
print(run(tonumber(arg[1])))
