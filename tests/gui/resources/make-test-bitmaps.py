#!/usr/bin/env python3
"""Writes the small 24-bit BMP files the GUI tests load as resources (run once; the files are
committed). Each pixel's colour is a function of its position, so a test can compute what it
expects anywhere."""
import struct
from pathlib import Path


def write_bmp(path, width, height, colour_at):
    row_bytes = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(height)):  # rows bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y)
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    Path(path).write_bytes(header + info + pixels)


def pattern(x, y):
    # Yellow on every third diagonal; everything else a colour of its own, never yellow.
    if (x + y) % 3 == 0:
        return (255, 255, 0)
    return (30 * x + 10, 40 * y + 5, 100)


def white_diagonal(x, y):
    return (255, 255, 255) if x == y else (0, 0, 200 + 10 * x)


here = Path(__file__).parent
write_bmp(here / "pattern.bmp", 8, 6, pattern)
write_bmp(here / "white_diagonal.bmp", 4, 4, white_diagonal)
