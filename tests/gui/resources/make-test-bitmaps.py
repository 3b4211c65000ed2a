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


def handle(x, y):
    # A 9 x 12 handle: yellow corners (keyed out), a dark border, a bright body.
    if (x in (0, 8)) and (y in (0, 11)):
        return (255, 255, 0)
    if x in (0, 8) or y in (0, 11):
        return (20, 20, 20)
    return (230, 120, 40)


def track(x, y):
    # A 120 x 14 slider background: a horizontal ramp with a darker band in the middle rows.
    return (2 * x, 60 if 5 <= y <= 8 else 30, 90)


def two_images(x, y):
    # A 16 x 32 button picture: the first image in the upper 16 rows, the second below; each
    # with a yellow (keyed) corner pixel.
    if x == 0 and y % 16 == 0:
        return (255, 255, 0)
    if y < 16:
        return (40, 40, 160 + 5 * x)
    return (40, 160 + 5 * x, 40)


def display_back(x, y):
    # A 60 x 16 display background.
    return (10, 40 + 2 * y, 30 + x)


here = Path(__file__).parent
write_bmp(here / "pattern.bmp", 8, 6, pattern)
write_bmp(here / "white_diagonal.bmp", 4, 4, white_diagonal)
write_bmp(here / "handle.bmp", 9, 12, handle)
write_bmp(here / "track.bmp", 120, 14, track)
write_bmp(here / "two_images.bmp", 16, 32, two_images)
write_bmp(here / "display_back.bmp", 60, 16, display_back)
