-- string.find with plain matching of the same pattern in the same text as
-- string_find.cpp: exact, and case-insensitive on lower() copies (made once,
-- outside the timing; "lowered" also times making them). Best of five.
local function read(path)
  local f = assert(io.open(path, "rb"))
  local s = f:read("a")
  f:close()
  return s
end

local text, pattern, other_case = read(arg[1]), read(arg[2]), read(arg[3])
local expected = #text:gsub(" +$", "") - #pattern + 1

local function best_ms(search)
  local best = math.huge
  for _ = 1, 5 do
    local start = os.clock()
    local at = search()
    best = math.min(best, (os.clock() - start) * 1000)
    assert(at == expected)
  end
  return best
end

local lower_text, lower_pattern = text:lower(), other_case:lower()
local sensitive = best_ms(function() return (string.find(text, pattern, 1, true)) end)
local insensitive = best_ms(function() return (string.find(lower_text, lower_pattern, 1, true)) end)
local lowered = best_ms(function() return (string.find(text:lower(), other_case:lower(), 1, true)) end)
print(string.format("lua %.3f %.3f %.3f", sensitive, insensitive, lowered))
