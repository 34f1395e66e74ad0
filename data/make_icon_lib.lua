-- Writes the runtime's default icon library "icon.lib":  lua5.4 make_icon_lib.lua [output]
--
-- Layout (no header): one 512-byte record per icon, icon n at byte 512 * (n - 1).
--   bytes 0-1    16-bit little-endian 32 (width in pixels)
--   bytes 2-3    16-bit little-endian 30 (height in pixels)
--   bytes 4-483  30 rows of 16 bytes, row r (1..30) at byte 16r - 12; a row is four planes of
--                4 bytes (plane values 1, 2, 4, 8); byte b of a plane holds pixels 8b+1..8b+8,
--                the most significant bit being the leftmost pixel
--   bytes 484-511 zero
-- A pixel's colour index is the sum of the plane values whose bit is set: 0 transparent,
-- 1 colour number 0 (black), 2..15 the colour numbers 2..15 of the standard colours
-- (4 red, 7 light grey, 8 grey, 9 blue, 10 green, 14 yellow, 15 white).

local W, H = 32, 30

local function new_icon() local p = {} for i = 1, W * H do p[i] = 0 end return p end
local function set(p, c, r, k) if c >= 1 and c <= W and r >= 1 and r <= H then p[(r - 1) * W + c] = k end end
local function box(p, c1, r1, c2, r2, fill, border)
  for r = r1, r2 do for c = c1, c2 do
    local edge = r == r1 or r == r2 or c == c1 or c == c2
    set(p, c, r, (edge and border) or fill)
  end end
end
local function disc(p, cc, rc, radius, fill, border)
  for r = 1, H do for c = 1, W do
    local d = (c - cc) ^ 2 + (r - rc) ^ 2
    if d <= radius ^ 2 then set(p, c, r, d >= (radius - 1.2) ^ 2 and border or fill) end
  end end
end

local function record(p)
  local bytes = {}
  for i = 1, 512 do bytes[i] = 0 end
  bytes[1], bytes[3] = 32, 30
  for r = 1, H do for c = 1, W do
    local k = p[(r - 1) * W + c]
    for plane = 0, 3 do
      if k & (1 << plane) ~= 0 then
        local at = 16 * r - 12 + 4 * plane + (c - 1) // 8 + 1  -- 1-based
        bytes[at] = bytes[at] | (0x80 >> ((c - 1) % 8))
      end
    end
  end end
  local parts = {}
  for i = 1, 512 do parts[i] = string.char(bytes[i]) end
  return table.concat(parts)
end

local icons = {}
-- 1 document
do local p = new_icon() box(p, 7, 2, 25, 29, 15, 1)
  for r = 7, 25, 4 do for c = 10, 22 do set(p, c, r, 8) end end icons[1] = p end
-- 2 folder
do local p = new_icon() box(p, 3, 6, 14, 10, 14, 1) box(p, 3, 9, 30, 27, 14, 1) icons[2] = p end
-- 3 check mark
do local p = new_icon()
  for i = 0, 7 do for t = 0, 2 do set(p, 6 + i, 15 + i + t, 10) end end
  for i = 0, 15 do for t = 0, 2 do set(p, 13 + i, 22 - i + t, 10) end end icons[3] = p end
-- 4 cross
do local p = new_icon()
  for i = 0, 21 do for t = 0, 2 do set(p, 6 + i + t, 4 + i, 4) set(p, 27 - i - t, 4 + i, 4) end end icons[4] = p end
-- 5 information
do local p = new_icon() disc(p, 16.5, 15.5, 13, 9, 1)
  box(p, 15, 7, 18, 10, 15, 15) box(p, 15, 13, 18, 24, 15, 15) icons[5] = p end
-- 6 warning
do local p = new_icon()
  for r = 3, 28 do local half = (r - 3) * 0.55 for c = 1, W do
    local d = math.abs(c - 16.5)
    if d <= half then set(p, c, r, (d > half - 1.5 or r == 28) and 1 or 14) end
  end end
  box(p, 16, 11, 17, 21, 1, 1) box(p, 16, 24, 17, 25, 1, 1) icons[6] = p end
-- 7 disk
do local p = new_icon() box(p, 4, 3, 29, 28, 9, 1) box(p, 9, 3, 24, 12, 7, 1) box(p, 8, 17, 25, 28, 15, 1) icons[7] = p end
-- 8 printer
do local p = new_icon() box(p, 9, 2, 24, 12, 15, 1) box(p, 3, 11, 30, 23, 7, 1)
  box(p, 9, 19, 24, 29, 15, 1) set(p, 26, 14, 10) set(p, 27, 14, 10) icons[8] = p end
-- 9 hourglass (the loading box)
do local p = new_icon()
  box(p, 7, 2, 26, 4, 8, 1) box(p, 7, 27, 26, 29, 8, 1)
  for r = 5, 26 do
    local half = math.abs(r - 15.5) * 0.85 + 1
    for c = 1, W do
      local d = math.abs(c - 16.5)
      if d <= half then
        local sand = (r > 19) or (r < 12 and r > 8)
        set(p, c, r, d > half - 1 and 1 or (sand and 14 or 15))
      end
    end
  end
  icons[9] = p end
-- 10 arrow right
do local p = new_icon() box(p, 4, 13, 18, 18, 10, 1)
  for i = 0, 11 do for r = 4 + i, 27 - i do set(p, 18 + i, r, i == 11 and 1 or 10) end end icons[10] = p end

-- 64-67 the arrows of the slider buttons: up and down (a column), left and right (a row).  The
-- button painter puts an icon's corner 3 pixels inside the button, so a glyph in columns 1-9
-- and rows 2-10 sits in the middle of a 16-pixel button; the rest of the icon is transparent.
local function arrow(dx, dy)
  local p = new_icon()
  for i = 0, 4 do for t = -i, i do  -- i: distance from the tip; a filled triangle
    if dy ~= 0 then set(p, 5 + t, 6 + dy * (i - 2), 1) else set(p, 5 + dx * (i - 2), 6 + t, 1) end
  end end
  return p
end
icons[64], icons[65], icons[66], icons[67] = arrow(0, 1), arrow(0, -1), arrow(1, 0), arrow(-1, 0)

-- Numbers without an icon of their own are transparent records, so every icon keeps its place.
local last = 0
for n in pairs(icons) do last = math.max(last, n) end
local out = assert(io.open(arg[1] or "icon.lib", "wb"))
for n = 1, last do out:write(record(icons[n] or new_icon())) end
out:close()
