#!/usr/bin/env python3
"""Draws the program's 32 x 32, 16-colour icon: a bright square that leaves a fading
trail across a dark frame, which is what a long exposure looks like. Writes kestrin.ico."""
import struct
import sys

# The standard 16-colour palette.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]  # as (r, g, b)
BLACK, NAVY, DARK_GREY, GREY, CYAN, WHITE, YELLOW = 0, 1, 8, 7, 11, 15, 14


def draw():
    size = 32
    px = [[None] * size for _ in range(size)]  # None: transparent
    # Rounded dark frame.
    for y in range(2, 30):
        for x in range(1, 31):
            corner = (x in (1, 30)) and (y in (2, 29))
            if not corner:
                px[y][x] = NAVY if 3 <= y <= 28 and 2 <= x <= 29 else BLACK
    # Trail: older positions fainter, the newest fully bright.
    trail = [(4, DARK_GREY), (9, GREY), (14, CYAN), (20, WHITE)]
    for i, (left, colour) in enumerate(trail):
        top = 19 - i * 3
        for y in range(top, top + 7):
            for x in range(left, left + 7):
                px[y][x] = colour
    # A small yellow spark at the newest position.
    for (x, y) in [(26, 11), (27, 10), (27, 12), (28, 11), (27, 11)]:
        px[y][x] = YELLOW
    return px


def ico(px):
    size = 32
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    for y in reversed(range(size)):  # bottom-up
        row = px[y]
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor += bytes([(hi << 4) | lo])
    mask = b''
    for y in reversed(range(size)):
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (1 if px[y][x] is None else 0)
        mask += struct.pack('>I', bits)
    image = header + palette + xor + mask
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'kestrin.ico'
    with open(out, 'wb') as f:
        f.write(ico(draw()))
