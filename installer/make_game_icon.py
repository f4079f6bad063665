#!/usr/bin/env python3
"""Writes the game icon that the program carries as resource "CUSTOM" 134: a 32 x 32, 32-bit icon
drawn here (a ring on a rounded square), so the build needs no artwork file.

Usage: make_game_icon.py OUT.ico
"""
import struct
import sys


def pixel(x, y, size):
    cx = cy = (size - 1) / 2
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    corner = min(x, y, size - 1 - x, size - 1 - y)
    if corner < 1:
        return (0, 0, 0, 0)
    if 8 <= d <= 12:
        return (0xF2, 0xB1, 0x2C, 0xFF)  # ring: amber (B, G, R, A)
    return (0x5A, 0x3A, 0x1E, 0xFF)      # ground: deep blue


def icon(size=32):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up, as in a DIB
        rows.append(b"".join(bytes(pixel(x, y, size)) for x in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(icon())
