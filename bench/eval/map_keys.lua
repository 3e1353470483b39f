local function run(n)
  local m = {}
  local i = 0
  while i < n do
    i = i + 1
    m["k" .. i] = i
  end
  local found = 0
  i = 0
  while i < n do
    i = i + 1
    if m["k" .. i] == i then found = found + 1 end
  end
  return found
end
print(run(tonumber(arg[1])))
