#!/usr/bin/env python3
"""Draws the saver's icon: falling green glyph columns on black, 32x32 and 16x16, 32-bit.

Usage: make_icon.py OUTPUT.ico. Deterministic: the same bytes on every run.
"""
import struct
import sys


def lcg(state):
    # The runtime's rand(), so the picture is the same everywhere.
    while True:
        state = (state * 214013 + 2531011) & 0xFFFFFFFF
        yield (state >> 16) & 0x7FFF


def draw(size):
    """Returns rows top-down of (b, g, r, a) pixels."""
    cell = 4 if size >= 32 else 3  # glyph cell: (cell-1) pixels wide plus a gap
    rows = [[(0, 0, 0, 255)] * size for _ in range(size)]
    rand = lcg(104)
    for col in range(size // cell):
        head = size // 3 + next(rand) % (size - size // 3 + 6)
        length = next(rand) % (size // 2) + size // 2
        for gy in range(0, size, cell + 1):
            dist = head - gy
            if dist < 0 or dist >= length:
                continue
            # Brightest at the head, fading towards the top of the stream.
            level = 255 if dist < cell + 1 else max(60, 200 - dist * 140 // length)
            bits = next(rand)
            for dy in range(cell):
                for dx in range(cell - 1):
                    if bits >> ((dy * (cell - 1) + dx) % 15) & 1 or dy == cell // 2:
                        x, y = col * cell + dx, gy + dy
                        if x < size and y < size:
                            white = 160 if dist < cell + 1 else 0
                            rows[y][x] = (white, level, white, 255)
    return rows


def bitmap(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)  # all opaque; the alpha channel carries it
    return header + pixels + mask


def main():
    images = [(32, bitmap(32)), (16, bitmap(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
