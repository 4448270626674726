#!/usr/bin/env python3
"""Reads a 24- or 32-bit BMP and checks the mouse's marks in it.

check_click_marks.py IMAGE marks  X Y BUTTON NUMBER DOUBLED ...  (groups of five)
check_click_marks.py IMAGE circle CX CY R
check_click_marks.py IMAGE ring X Y BUTTON      (exit 1 when no ring is there)
"""
import math
import struct
import sys

DIGITS = [[7, 5, 5, 5, 7], [2, 6, 2, 2, 7], [7, 1, 7, 4, 7], [7, 1, 7, 1, 7], [5, 5, 7, 1, 1],
          [7, 4, 7, 1, 7], [7, 4, 7, 5, 7], [7, 1, 1, 1, 1], [7, 5, 7, 5, 7], [7, 5, 7, 1, 7]]


def read_bmp(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    depth = struct.unpack_from("<H", data, 28)[0] // 8
    stride = (width * depth + 3) & ~3
    top_down = height < 0
    height = abs(height)

    def pixel(x, y):
        row = y if top_down else height - 1 - y
        b, g, r = data[offset + row * stride + depth * x: offset + row * stride + depth * x + 3]
        return r, g, b
    return width, height, pixel


def is_button(rgb, button):
    r, g, b = rgb
    return {"left": r > 150 and g < 90 and b < 90,
            "right": b > 150 and r < 90,
            "middle": g > 130 and r < 110 and b < 90}[button]


def ring_at(pixel, x, y, button, radius=9):
    # Most of the ring's 16 compass points carry the button's colour.
    hits = sum(is_button(pixel(int(x + 0.5 + radius * math.cos(a)), int(y + 0.5 + radius * math.sin(a))), button)
               for a in [k * math.pi / 8 for k in range(16)])
    return hits >= 12


def number_at(pixel, left, top):
    """The white digits drawn with their box's top-left at (left, top)."""
    value = ""
    for d in range(4):
        cols = []
        for row in range(5):
            bits = 0
            for col in range(3):
                r, g, b = pixel(left + 1 + d * 8 + col * 2, top + 1 + row * 2)
                bits = bits * 2 + (1 if r == g == b == 255 else 0)
            cols.append(bits)
        if cols not in DIGITS:
            break
        value += str(DIGITS.index(cols))
    return value


def main():
    path, what = sys.argv[1], sys.argv[2]
    width, height, pixel = read_bmp(path)
    args = sys.argv[3:]
    if what == "ring":
        x, y, button = int(args[0]), int(args[1]), args[2]
        sys.exit(0 if ring_at(pixel, x, y, button) else 1)
    if what == "marks":
        for i in range(0, len(args), 5):
            x, y, button, number, doubled = int(args[i]), int(args[i + 1]), args[i + 2], args[i + 3], args[i + 4] == "1"
            if not ring_at(pixel, x, y, button):
                sys.exit(f"no {button} ring at {x},{y}")
            if doubled and not ring_at(pixel, x, y, button, 14):
                sys.exit(f"no second ring of a double click at {x},{y}")
            reach = 14 if doubled else 9
            seen = number_at(pixel, x + reach, y - reach - 8)
            if seen != number:
                sys.exit(f"the mark at {x},{y} is numbered '{seen}', not {number}")
        print("marks found")
    elif what == "circle":
        cx, cy, r = int(args[0]), int(args[1]), int(args[2])
        for step in range(720):
            a = step * math.pi / 360
            x, y = int(cx + r * math.cos(a)), int(cy + r * math.sin(a))
            near = [pixel(x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
            if not any(p[0] > 150 and p[1] < 100 and p[2] > 110 for p in near):
                sys.exit(f"the path has a gap at {x},{y} ({step / 2} degrees)")
        print("circle continuous")


main()
