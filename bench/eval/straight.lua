local units = tonumber(arg[1])
local blk = {1, 2, 3}
local function body(b)
  local a, c
  a = (0 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (1 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (2 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (3 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (4 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (5 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (6 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (7 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (8 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (9 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (10 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (11 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (12 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (13 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (14 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (15 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (16 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (17 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (18 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (19 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (20 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (21 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (22 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (23 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (24 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (25 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (26 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (27 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (28 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (29 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (30 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (31 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (32 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (33 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (34 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (35 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (36 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (37 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (38 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (39 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (40 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (41 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (42 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (43 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (44 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (45 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (46 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (47 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (48 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  a = (49 + 1) * 2; b = a - 3 + b; c = blk[2] + a; b = b + c - a
  return b
end
local b = 0
for _ = 1, units do b = body(b) end
print(b)
