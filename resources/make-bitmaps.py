#!/usr/bin/env python3
"""Draws the editor's bitmaps as 24-bit BMP files.

    python3 resources/make-bitmaps.py                  # writes resources/bitmaps/*.bmp
    python3 resources/make-bitmaps.py --preview DIR    # also writes enlarged PNG previews to DIR

Standard library only; the output is the same on every run.
"""

import os
import struct
import sys
import zlib

KEY = (255, 255, 0)  # keyed out when drawn masked: never used in a picture
SCALE = 4            # enlargement of the previews


# ---------------------------------------------------------------- canvas

class Image:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]  # top-down rows of (r, g, b)

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def blend(self, x, y, c, a):
        if a <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        o = self.px[y][x]
        self.px[y][x] = tuple(int(o[i] + (c[i] - o[i]) * min(a, 1.0) + 0.5) for i in range(3))

    def rect(self, x0, y0, x1, y1, c):
        """Fills x0..x1-1, y0..y1-1."""
        for y in range(max(y0, 0), min(y1, self.h)):
            for x in range(max(x0, 0), min(x1, self.w)):
                self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, tl, br):
        """1-pixel bevel on the border of x0..x1-1, y0..y1-1: top/left in tl, bottom/right in br."""
        for x in range(x0, x1):
            self.put(x, y0, tl)
            self.put(x, y1 - 1, br)
        for y in range(y0, y1):
            self.put(x0, y, tl)
            self.put(x1 - 1, y, br)

    def paste(self, src, dx, dy, sx=0, sy=0, w=None, h=None):
        w = src.w if w is None else w
        h = src.h if h is None else h
        for y in range(h):
            for x in range(w):
                self.put(dx + x, dy + y, src.px[sy + y][sx + x])

    def shape(self, inside, c, x0=0, y0=0, x1=None, y1=None, alpha=1.0):
        """Antialiased fill of the region inside(x, y) (continuous coordinates, pixel
        (i, j) spans i..i+1), 4x4 samples per pixel at exact binary fractions."""
        x1 = self.w if x1 is None else x1
        y1 = self.h if y1 is None else y1
        for j in range(y0, y1):
            for i in range(x0, x1):
                n = sum(1 for sy in range(4) for sx in range(4)
                        if inside(i + (2 * sx + 1) / 8, j + (2 * sy + 1) / 8))
                self.blend(i, j, c, alpha * n / 16)


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t + 0.5) for i in range(3))


def triangle(p, q, r):
    def side(a, b, x, y):
        return (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])

    def inside(x, y):
        d = (side(p, q, x, y), side(q, r, x, y), side(r, p, x, y))
        return all(v >= 0 for v in d) or all(v <= 0 for v in d)
    return inside


def rounded(x0, y0, x1, y1, rad):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + rad), x1 - rad)
        cy = min(max(y, y0 + rad), y1 - rad)
        return (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad
    return inside


# ---------------------------------------------------------------- pixel fonts

# 5 rows high. Upper-case keys: the wide capitals of the name; lower-case keys:
# narrow 3-pixel capitals for labels.
FONT = {
    'V': ["#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    'I': ["#", "#", "#", "#", "#"],
    'N': ["#...#", "##..#", "#.#.#", "#..##", "#...#"],
    'T': ["#####", "..#..", "..#..", "..#..", "..#.."],
    'R': ["####.", "#...#", "####.", "#..#.", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", ".###."],
    'E': ["####", "#...", "###.", "#...", "####"],
    'p': ["##.", "#.#", "##.", "#..", "#.."],
    'i': ["###", ".#.", ".#.", ".#.", "###"],
    't': ["###", ".#.", ".#.", ".#.", ".#."],
    'c': [".##", "#..", "#..", "#..", ".##"],
    'h': ["#.#", "#.#", "###", "#.#", "#.#"],
    ' ': ["..", "..", "..", "..", ".."],
}


def text_width(s, gap):
    return sum(len(FONT[ch][0]) for ch in s) + gap * (len(s) - 1)


def draw_text(img, s, x, y, c, gap=1):
    for ch in s:
        glyph = FONT[ch]
        for j, row in enumerate(glyph):
            for i, v in enumerate(row):
                if v == '#':
                    img.put(x + i, y + j, c)
        x += len(glyph[0]) + gap


# ---------------------------------------------------------------- palette

PANEL_TOP = (46, 53, 67)
PANEL_BOTTOM = (34, 39, 51)
PANEL_LIGHT = (74, 84, 104)      # outer highlight
PANEL_DARK = (16, 19, 26)        # outer shadow
WELL_SHADOW = (15, 18, 24)       # top/left edge of a recess
WELL_LIGHT = (68, 78, 96)        # bottom/right edge of a recess
TRACK = (25, 29, 38)
GROOVE_DARK = (9, 11, 15)
GROOVE_LIGHT = (54, 62, 78)
TICK = (70, 80, 100)
TICK_MAJOR = (104, 116, 140)
ENGRAVE = (96, 110, 136)
ENGRAVE_SHADOW = (20, 23, 31)

LCD = (17, 40, 33)
LCD_SHADOW = (6, 15, 12)
LCD_LIGHT = (36, 68, 56)
LCD_GLARE = (21, 47, 39)

FACE = (66, 75, 93)
FACE_PRESSED = (52, 60, 75)
FACE_LIGHT = (112, 124, 148)
FACE_SHADOW = (27, 31, 41)
OUTLINE = (11, 13, 18)
ICON = (206, 213, 226)
ICON_OFF = (128, 138, 156)
ICON_ON = (92, 236, 118)
ORANGE = (255, 140, 26)
ORANGE_DARK = (170, 72, 6)
HANDLE_CORE = (255, 238, 214)

# controls' rectangles (left, top, right, bottom) in the editor window
CONTROLS = {
    'file': (4, 4, 196, 20), 'mode': (200, 4, 216, 20), 'rate': (220, 4, 252, 20),
    'position': (4, 24, 252, 40),
    'open': (4, 44, 20, 60), 'start': (24, 44, 40, 60), 'play': (44, 44, 60, 60),
    'loop': (64, 44, 80, 60), 'elapsed': (84, 44, 124, 60), 'total': (128, 44, 168, 60),
    'pitch': (4, 64, 232, 80), 'reset': (236, 64, 252, 80),
}
PITCH_TRAVEL = 229 - 4  # handle travel of the pitch slider, in pixels


# ---------------------------------------------------------------- pictures

def lcd(w, h):
    img = Image(w, h, LCD)
    img.rect(1, 1, w - 1, 2, LCD_GLARE)  # faint glare under the top edge
    img.frame(0, 0, w, h, LCD_SHADOW, LCD_LIGHT)
    return img


def pitch_tick_x(k, steps):
    """Window column of the handle's middle at value k / steps."""
    return 4 + int(PITCH_TRAVEL * k / steps) + 1


def background():
    img = Image(256, 84)
    for y in range(84):
        img.rect(0, y, 256, y + 1, mix(PANEL_TOP, PANEL_BOTTOM, y / 83))
    img.frame(0, 0, 256, 84, PANEL_LIGHT, PANEL_DARK)

    # a recess around every control, one pixel outside its rectangle
    for l, t, r, b in CONTROLS.values():
        img.frame(l - 1, t - 1, r + 1, b + 1, WELL_SHADOW, WELL_LIGHT)

    # pitch track: the part of this picture that the pitch slider shows
    l, t, r, b = CONTROLS['pitch']
    img.rect(l, t, r, b, TRACK)
    mid = (t + b) // 2
    img.rect(l + 2, mid - 1, r - 2, mid, GROOVE_DARK)
    img.rect(l + 2, mid, r - 2, mid + 1, GROOVE_LIGHT)
    steps = 8  # every 3 % of pitch
    for k in range(steps + 1):
        x = pitch_tick_x(k, steps)
        length = 4 if k == steps // 2 else 3 if k % 2 == 0 else 2
        colour = TICK_MAJOR if k == steps // 2 else TICK
        if k >= 2:  # the label sits where the first top ticks would be
            img.rect(x, t + 5 - length, x + 1, t + 5, colour)
        img.rect(x, b - 5, x + 1, b - 5 + length, colour)
    draw_text(img, "pitch", l + 4, t + 1, mix(TRACK, TICK, 0.75))

    # product name, engraved, in the free area right of the time displays
    name, gap = "VINTROVE", 2
    x = 172 + (80 - text_width(name, gap)) // 2
    draw_text(img, name, x + 1, 50 + 1, ENGRAVE_SHADOW, gap)
    draw_text(img, name, x, 50, ENGRAVE, gap)
    return img


def handle_picture():
    img = Image(3, 16)
    for y in range(16):
        cap = y in (0, 15)
        img.put(0, y, ORANGE_DARK if cap else ORANGE)
        img.put(1, y, ORANGE if cap else HANDLE_CORE)
        img.put(2, y, ORANGE_DARK)
    return img


def button_face(pressed):
    img = Image(16, 16, FACE_PRESSED if pressed else FACE)
    img.frame(0, 0, 16, 16, OUTLINE, OUTLINE)
    if pressed:
        img.frame(1, 1, 15, 15, FACE_SHADOW, mix(FACE_PRESSED, FACE_LIGHT, 0.3))
    else:
        img.frame(1, 1, 15, 15, FACE_LIGHT, FACE_SHADOW)
    return img


def stacked(draw_icon, first, second):
    """Two 16x16 states in one 16x32 picture; each state is (pressed, colour)."""
    img = Image(16, 32)
    for row, (pressed, colour) in enumerate((first, second)):
        face = button_face(pressed)
        d = 1 if pressed else 0  # a pressed face shows its icon one pixel lower right
        draw_icon(face, d, colour)
        img.paste(face, 0, row * 16)
    return img


def icon_open(img, d, c):  # eject
    img.shape(triangle((3 + d, 9 + d), (13 + d, 9 + d), (8 + d, 4 + d)), c)
    img.rect(3 + d, 10 + d, 13 + d, 12 + d, c)


def icon_to_start(img, d, c):
    img.rect(3 + d, 4 + d, 5 + d, 12 + d, c)
    img.shape(triangle((12.5 + d, 4 + d), (12.5 + d, 12 + d), (5.5 + d, 8 + d)), c)


def icon_pitch_reset(img, d, c):  # arrows closing on a centre mark
    img.shape(triangle((3 + d, 5 + d), (3 + d, 11 + d), (6.5 + d, 8 + d)), c)
    img.shape(triangle((13 + d, 5 + d), (13 + d, 11 + d), (9.5 + d, 8 + d)), c)
    img.rect(7 + d, 3 + d, 9 + d, 13 + d, ORANGE)


def icon_play(img, d, c):
    img.shape(triangle((5 + d, 3.5 + d), (5 + d, 12.5 + d), (12.5 + d, 8 + d)), c)


def icon_loop(img, d, c):  # two arrows chasing each other round a ring
    outer = rounded(2.5 + d, 4 + d, 13.5 + d, 12 + d, 2.5)
    inner = rounded(4.5 + d, 6 + d, 11.5 + d, 10 + d, 0.5)

    def ring(x, y):  # open at the top right and bottom left, where the arrows are
        if (x >= 8 + d and y < 7.5 + d) or (x < 8 + d and y >= 8.5 + d):
            return False
        return outer(x, y) and not inner(x, y)
    img.shape(ring, c, 2, 2, 14, 14)
    img.shape(triangle((8 + d, 2.5 + d), (8 + d, 7.5 + d), (11 + d, 5 + d)), c, 2, 2, 14, 14)
    img.shape(triangle((8 + d, 8.5 + d), (8 + d, 13.5 + d), (5 + d, 11 + d)), c, 2, 2, 14, 14)


def overview_placeholder():
    img = Image(200, 20)
    img.rect(0, 9, 200, 11, (24, 28, 36))
    return img


def pictures():
    """(resource id, file name, picture, role) of every bitmap."""
    released, pressed = (False, ICON), (True, ICON)
    off, on = (False, ICON_OFF), (True, ICON_ON)
    return [
        (108, "overview_placeholder.bmp", overview_placeholder(),
         "placeholder loaded for the overview bitmap, never shown"),
        (110, "time_display.bmp", lcd(40, 16), "background of the elapsed and total time displays"),
        (111, "mode_display.bmp", lcd(16, 16), "background of the mode display"),
        (112, "bitrate_display.bmp", lcd(32, 16), "background of the bit-rate display"),
        (113, "filename_display.bmp", lcd(192, 16), "background of the file-name display"),
        (114, "editor_background.bmp", background(), "editor background and pitch slider track"),
        (115, "slider_handle.bmp", handle(), "handle of both sliders"),
        (116, "open_button.bmp", stacked(icon_open, released, pressed), "open button"),
        (117, "to_start_button.bmp", stacked(icon_to_start, released, pressed), "to-start button"),
        (118, "pitch_reset_button.bmp", stacked(icon_pitch_reset, released, pressed),
         "pitch-reset button"),
        (119, "play_toggle.bmp", stacked(icon_play, off, on), "play toggle"),
        (120, "loop_toggle.bmp", stacked(icon_loop, off, on), "loop toggle"),
    ]


# ---------------------------------------------------------------- files

def bmp_bytes(img):
    stride = (img.w * 3 + 3) & ~3
    rows = []
    for row in reversed(img.px):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        rows.append(bytes(line) + b"\0" * (stride - len(line)))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, img.w, img.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def png_bytes(img, scale):
    raw = bytearray()
    for row in img.px:
        line = bytearray(b"\0")
        for p in row:
            line += bytes(p) * scale
        raw += bytes(line) * scale

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))
    ihdr = struct.pack(">IIBBBBB", img.w * scale, img.h * scale, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def check(img):
    for row in img.px:
        assert KEY not in row, "key colour in a picture"


def handle():
    # The sliders draw their handle masked with the bitmap's default key colour, white: a white
    # pixel there would show the track through the handle.
    img = handle_picture()
    for row in img.px:
        assert (255, 255, 255) not in row, "white in the slider handle"
    return img


# ---------------------------------------------------------------- previews

def fake_overview():
    """A decoded-looking overview (bars in the overview's row colours, white ticks)."""
    img = Image(248, 16)
    for x in range(200):
        level = 0.25 + 0.55 * ((x * 37 % 23) / 23) * (0.6 + 0.4 * ((x // 40) % 2))
        low, high = max(0, int((1 - level) * 8)), min(15, 1 + int((level + 1) * 8))
        for r in range(low, high):
            red = abs(int((r * 0.125 + 0.0625 - 1) * 255))
            img.put(x, 15 - r, (red, 255 - red, 255))
        if x % 62 == 61:
            img.rect(x, 0, x + 1, 16, (255, 255, 255))
    return img


def preview_text(img, s, rect, shadow):
    """Rough stand-in for the displays' text, to judge its contrast."""
    x, y = rect[0] + 2, rect[1] + 5
    layers = (((1, 1), (255, 0, 0)), ((0, 0), (255, 255, 255))) if shadow else \
        (((0, 0), (255, 255, 255)),)
    for (dx, dy), c in layers:
        cx = x + dx
        for ch in s:
            for j, row in enumerate(SMALL[ch]):
                for i, v in enumerate(row):
                    if v == '#':
                        img.put(cx + i, y + dy + j, c)
            cx += len(SMALL[ch][0]) + 1


SMALL = {
    '0': ["###", "#.#", "#.#", "#.#", "###"], '1': [".#", "##", ".#", ".#", ".#"],
    '2': ["###", "..#", "###", "#..", "###"], '3': ["###", "..#", ".##", "..#", "###"],
    '4': ["#.#", "#.#", "###", "..#", "..#"], '5': ["###", "#..", "###", "..#", "###"],
    '6': ["###", "#..", "###", "#.#", "###"], '7': ["###", "..#", "..#", "..#", "..#"],
    '8': ["###", "#.#", "###", "#.#", "###"], '9': ["###", "#.#", "###", "..#", "###"],
    ':': [".", "#", ".", "#", "."], '.': [".", ".", ".", ".", "#"], 'S': [".##", "#..", ".#.", "..#", "##."],
    'a': ["...", "##.", "..#", "###", "###"], 'c': ["...", ".##", "#..", "#..", ".##"],
    'k': ["#..", "#.#", "##.", "#.#", "#.#"], 'm': [".....", "####.", "#.#.#", "#.#.#", "#.#.#"],
    'p': ["...", "##.", "#.#", "##.", "#.."], 'r': ["...", "#.#", "##.", "#..", "#.."],
    't': [".#.", "###", ".#.", ".#.", ".##"],
}


def composite(pics, second_state, pitch_value, position_value):
    by_id = {p[0]: p[2] for p in pics}
    img = Image(256, 84)
    img.paste(by_id[114], 0, 0)
    row = 16 if second_state else 0
    for key, rid in (('open', 116), ('start', 117), ('play', 119), ('loop', 120), ('reset', 118)):
        l, t, _, _ = CONTROLS[key]
        img.paste(by_id[rid], l, t, 0, row, 16, 16)
    for key, rid, text, shadow in (
            ('file', 113, "track07.mp3", True), ('mode', 111, "S", True),
            ('rate', 112, "320", True), ('elapsed', 110, "1:23", False),
            ('total', 110, "4:56", False)):
        l, t, _, _ = CONTROLS[key]
        img.paste(by_id[rid], l, t)
        preview_text(img, text, CONTROLS[key], shadow)
    img.paste(fake_overview(), 4, 24)
    handle_img = by_id[115]
    for key, last, value in (('position', 249, position_value), ('pitch', 229, pitch_value)):
        l, t, _, _ = CONTROLS[key]
        img.paste(handle_img, l + int((last - 4) * value), t)
    return img


def write_previews(pics, folder):
    os.makedirs(folder, exist_ok=True)
    top = composite(pics, False, 0.5, 0.3)
    bottom = composite(pics, True, 0.8, 0.6)
    both = Image(256, 84 * 2 + 4, (255, 255, 255))
    both.paste(top, 0, 0)
    both.paste(bottom, 0, 88)
    with open(os.path.join(folder, "editor-preview.png"), "wb") as f:
        f.write(png_bytes(both, SCALE))
    # every picture on its own, side by side on a mid grey
    small = [p for p in pics if p[0] != 114]
    width = sum(p[2].w for p in small) + 4 * (len(small) + 1)
    sheet = Image(width, 40, (128, 128, 128))
    x = 4
    for _, _, pic, _ in small:
        sheet.paste(pic, x, 4)
        x += pic.w + 4
    with open(os.path.join(folder, "bitmaps-preview.png"), "wb") as f:
        f.write(png_bytes(sheet, SCALE))
    with open(os.path.join(folder, "background-preview.png"), "wb") as f:
        f.write(png_bytes(pics[5][2], SCALE))


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "bitmaps")
    os.makedirs(out, exist_ok=True)
    pics = pictures()
    for _, name, pic, _ in pics:
        check(pic)
        with open(os.path.join(out, name), "wb") as f:
            f.write(bmp_bytes(pic))
    if len(argv) == 3 and argv[1] == "--preview":
        write_previews(pics, argv[2])
    elif len(argv) != 1:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
