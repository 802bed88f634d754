#!/usr/bin/env python3
"""Writes ui/icon/glim.ico: the program's 16 x 16, 1 bit per pixel Windows icon
(198 bytes): a small page with a folded corner and lines of text on it."""
import struct, sys, os

# '#' ink, '.' paper, ' ' transparent. Top row first.
PICTURE = [
    "  ##########    ",
    "  #........##   ",
    "  #.......#.#   ",
    "  #.......####  ",
    "  #..........#  ",
    "  #.######...#  ",
    "  #..........#  ",
    "  #.########.#  ",
    "  #..........#  ",
    "  #.#######..#  ",
    "  #..........#  ",
    "  #.########.#  ",
    "  #..........#  ",
    "  #.####.....#  ",
    "  #..........#  ",
    "  ############  ",
]

def rows_bottom_up(bit_of):
    out = b""
    for line in reversed(PICTURE):
        value = 0
        for x, ch in enumerate(line):
            if bit_of(ch):
                value |= 1 << (15 - x)
        out += struct.pack(">H", value) + b"\0\0"   # rows are padded to 32 bits
    return out

xor_mask = rows_bottom_up(lambda ch: ch == ".")      # palette index 1 (white) for paper
and_mask = rows_bottom_up(lambda ch: ch == " ")      # 1 = transparent
header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 1, 0, len(xor_mask) + len(and_mask), 0, 0, 2, 0)
palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
image = header + palette + xor_mask + and_mask
icondir = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", 16, 16, 2, 0, 1, 1, len(image), 6 + 16)
data = icondir + entry + image
assert len(data) == 198, len(data)
target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "ui", "icon", "glim.ico")
with open(target, "wb") as f:
    f.write(data)
