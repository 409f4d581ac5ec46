#!/usr/bin/env python3
"""Draws every picture of Mi guisla in code and writes the resource files.

Run from anywhere:  python3 tools/gen_resources.py
It rewrites, deterministically:
  src/resources/pictures/*.bmp   bitmaps 300-313, 32 bits per pixel (40-byte header, BI_RGB, bottom-up)
  src/resources/menu/*.bmp       bitmaps 500-508, 16 x 16, 24 bits per pixel
  src/resources/icons/*.ico      icon 200 (32 x 32 and 16 x 16, 32 bpp) and icons 701-707 (32 x 32, 4 bpp)
  docs/resources.png             a contact sheet of all of them, scaled up, for people to look at
The files are committed; the build only compiles them with the resource script.

Python 3 standard library only: shapes are pixel masks (sets of (x, y)), painted with a fill, a
three-tone shade and a one-pixel outline in a darker tone of the fill, as small pixel art is drawn.
"""

import math
import os
import struct
import sys
import zlib

BACKGROUND = (232, 222, 153)  # the main window's colour: emblems and catalogue pictures sit on it
MENU_BACKGROUND = (255, 255, 255)  # menus are white (or near white) on the systems we run on
INK = (52, 34, 26)  # the warm dark brown of outlines drawn by hand

# ----------------------------------------------------------------------------------------------
# Colours


def mix(a, b, t):
    """Colour a moved by t (0..1) towards colour b."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def lighten(c, t):
    return mix(c, (255, 255, 255), t)


def darken(c, t):
    return mix(c, (0, 0, 0), t)


def outline_of(c):
    """The outline tone of a fill colour: much darker, pulled towards a warm brown."""
    return mix(darken(c, 0.55), INK, 0.4)


# ----------------------------------------------------------------------------------------------
# Masks: sets of integer pixel positions. Pixel (x, y) covers [x, x+1) x [y, y+1); shapes are
# tested at pixel centres.


def ellipse(cx, cy, rx, ry, angle=0.0):
    """Filled ellipse centred at (cx, cy), radii rx, ry, turned by angle degrees (clockwise on screen)."""
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    r = max(rx, ry) + 1
    mask = set()
    for y in range(int(math.floor(cy - r)), int(math.ceil(cy + r)) + 1):
        for x in range(int(math.floor(cx - r)), int(math.ceil(cx + r)) + 1):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            u = dx * ca + dy * sa
            v = -dx * sa + dy * ca
            if (u / rx) ** 2 + (v / ry) ** 2 < 0.985:  # a little under 1: no one-pixel nubs
                mask.add((x, y))
    return mask


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def rect(x0, y0, x1, y1):
    """Filled rectangle, corners inclusive."""
    return {(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)}


def polygon(points):
    """Filled polygon (even-odd rule at pixel centres)."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    mask = set()
    n = len(points)
    for y in range(int(math.floor(min(ys))), int(math.ceil(max(ys))) + 1):
        py = y + 0.5
        for x in range(int(math.floor(min(xs))), int(math.ceil(max(xs))) + 1):
            px = x + 0.5
            inside = False
            j = n - 1
            for i in range(n):
                xi, yi = points[i]
                xj, yj = points[j]
                if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    inside = not inside
                j = i
            if inside:
                mask.add((x, y))
    return mask


def capsule(x0, y0, x1, y1, r):
    """All pixels whose centre lies within r of the segment (x0, y0)-(x1, y1): a thick line with round ends."""
    mask = set()
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    for y in range(int(math.floor(min(y0, y1) - r)) - 1, int(math.ceil(max(y0, y1) + r)) + 1):
        for x in range(int(math.floor(min(x0, x1) - r)) - 1, int(math.ceil(max(x0, x1) + r)) + 1):
            px, py = x + 0.5, y + 0.5
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
            qx, qy = x0 + t * dx - px, y0 + t * dy - py
            if qx * qx + qy * qy <= r * r:
                mask.add((x, y))
    return mask


def path(points, r):
    """A thick polyline."""
    mask = set()
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        mask |= capsule(x0, y0, x1, y1, r)
    return mask


def rounded_rect(x0, y0, x1, y1, r):
    """Filled rectangle, corners inclusive, with corners rounded to radius r."""
    mask = set()
    for x, y in rect(x0, y0, x1, y1):
        qx = min(max(x + 0.5, x0 + r), x1 + 1 - r)
        qy = min(max(y + 0.5, y0 + r), y1 + 1 - r)
        if (x + 0.5 - qx) ** 2 + (y + 0.5 - qy) ** 2 <= r * r:
            mask.add((x, y))
    return mask


def below(mask, y):
    return {p for p in mask if p[1] >= y}


def above(mask, y):
    return {p for p in mask if p[1] < y}


def shifted(mask, dx, dy):
    return {(x + dx, y + dy) for x, y in mask}


def bounds(mask):
    xs = [p[0] for p in mask]
    ys = [p[1] for p in mask]
    return min(xs), min(ys), max(xs), max(ys)


# ----------------------------------------------------------------------------------------------
# Fills


def shade3(base, mask, light=(-0.7, -0.7), hi=0.35, lo=0.22, hi_at=0.35, lo_at=-0.3, hi_colour=None, lo_colour=None):
    """A fill in three tones: a highlight towards the light, the base, a shadow away from it."""
    x0, y0, x1, y1 = bounds(mask)
    cx, cy = (x0 + x1 + 1) / 2.0, (y0 + y1 + 1) / 2.0
    rx, ry = max(1.0, (x1 - x0 + 1) / 2.0), max(1.0, (y1 - y0 + 1) / 2.0)
    norm = math.hypot(*light)
    lx, ly = light[0] / norm, light[1] / norm
    hic = hi_colour or lighten(base, hi)
    loc = lo_colour or darken(base, lo)

    def fill(x, y):
        d = ((x + 0.5 - cx) / rx) * lx + ((y + 0.5 - cy) / ry) * ly
        if d > hi_at:
            return hic
        if d < lo_at:
            return loc
        return base

    return fill


def horizontal(base, mask, left_light=0.3, right_dark=0.22, bands=(0.22, 0.72), shine=None):
    """Lighter on the left, darker on the right, with an optional bright stripe (for round bodies)."""
    x0, y0, x1, y1 = bounds(mask)
    w = max(1, x1 - x0)

    def fill(x, y):
        t = (x - x0) / w
        if shine is not None and abs(t - shine) < 0.045:
            return lighten(base, 0.6)
        if t < bands[0]:
            return lighten(base, left_light)
        if t > bands[1]:
            return darken(base, right_dark)
        return base

    return fill


# ----------------------------------------------------------------------------------------------
# Canvas


class Canvas:
    """A picture of w x h pixels; a pixel is an (r, g, b) tuple or None (transparent, icons only)."""

    def __init__(self, w, h, background):
        self.w, self.h = w, h
        self.px = [[background] * w for _ in range(h)]

    def inside(self, x, y):
        return 0 <= x < self.w and 0 <= y < self.h

    def set(self, x, y, colour):
        if self.inside(x, y):
            self.px[y][x] = colour

    def get(self, x, y):
        return self.px[y][x]

    def paint(self, mask, fill, outline="auto", clip=None):
        """Fills the mask and draws a one-pixel outline on its own edge (inside the mask).

        fill is a colour or a function (x, y) -> colour; outline is a colour, "auto" (a darker tone of
        the fill) or None. clip, a mask, limits the painting without changing where the edge is."""
        if not mask:
            return
        fill_at = fill if callable(fill) else (lambda x, y: fill)
        for x, y in mask:
            if clip is not None and (x, y) not in clip:
                continue
            if not self.inside(x, y):
                continue
            colour = fill_at(x, y)
            if outline is not None:
                edge = any((x + dx, y + dy) not in mask for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                if edge:
                    if outline == "auto":
                        base = fill if not callable(fill) else fill_at(x, y)
                        colour = outline_of(base)
                    else:
                        colour = outline
            self.px[y][x] = colour

    def dots(self, points, colour):
        for x, y in points:
            self.set(x, y, colour)

    def line(self, x0, y0, x1, y1, colour):
        """A one-pixel line (Bresenham), both ends included."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def shadow(self, cx, cy, rx, ry, strength=0.13):
        """A soft, outline-free shadow on the background under an object."""
        for x, y in ellipse(cx, cy, rx, ry):
            if self.inside(x, y) and self.px[y][x] is not None:
                self.px[y][x] = darken(self.px[y][x], strength)

    def stamp(self, rows, palette, x0=0, y0=0):
        """Copies a hand-drawn picture: rows of characters, each mapped by palette (missing = keep)."""
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch in palette:
                    self.set(x0 + i, y0 + j, palette[ch])


# ----------------------------------------------------------------------------------------------
# File formats (all little-endian)


def dib_rows(canvas, bits, transparent_as):
    """Bottom-up rows of pixel bytes, each padded to 4 bytes, for 24 or 32 bits per pixel."""
    out = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.w):
            p = canvas.get(x, y)
            if p is None:
                r, g, b = transparent_as
                a = 0
            else:
                r, g, b = p
                a = 255
            row += bytes((b, g, r, a)) if bits == 32 else bytes((b, g, r))
        while len(row) % 4:
            row.append(0)
        out += row
    return bytes(out)


def info_header(w, h, bits, image_size, colours_used=0):
    # BITMAPINFOHEADER: size, width, height, planes, bit count, compression (BI_RGB), image size,
    # pixels per metre (96 dpi), colours used, colours important.
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, image_size, 3780, 3780, colours_used, 0)


def bmp_bytes(canvas, bits):
    """A .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER, opaque bottom-up pixels."""
    pixels = dib_rows(canvas, bits, BACKGROUND)
    header = info_header(canvas.w, canvas.h, bits, len(pixels))
    offset = 14 + len(header)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + pixels


def and_mask(canvas, is_transparent):
    """The icon's 1-bit mask, bottom-up, rows padded to 4 bytes: 1 = screen shows through."""
    out = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray((canvas.w + 31) // 32 * 4)
        for x in range(canvas.w):
            if is_transparent(canvas.get(x, y)):
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def icon_image_32(canvas):
    pixels = dib_rows(canvas, 32, (0, 0, 0))
    mask = and_mask(canvas, lambda p: p is None)
    return info_header(canvas.w, canvas.h * 2, 32, len(pixels) + len(mask)) + pixels + mask, 0, 32


def icon_image_4(canvas, palette):
    """A 16-colour image; palette index 0 is the transparent colour (black, masked)."""
    assert len(palette) == 16
    index = {c: i for i, c in enumerate(palette)}

    def nearest(c):
        if c in index:
            return index[c]
        return min(range(1, 16), key=lambda i: sum((c[k] - palette[i][k]) ** 2 for k in range(3)))

    pixels = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        row = bytearray()
        for x in range(0, canvas.w, 2):
            pair = []
            for xx in (x, x + 1):
                p = canvas.get(xx, y) if xx < canvas.w else None
                pair.append(0 if p is None else nearest(p))
            row.append((pair[0] << 4) | pair[1])
        while len(row) % 4:
            row.append(0)
        pixels += row
    mask = and_mask(canvas, lambda p: p is None)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = info_header(canvas.w, canvas.h * 2, 4, len(pixels) + len(mask), 16)
    return header + table + bytes(pixels) + mask, 16, 4


def ico_bytes(images):
    """An .ico file from (image bytes, colour count, bits per pixel, width, height) entries."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for data, colours, bits, w, h in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, 1, bits, len(data), offset + len(body))
        body += data
    return out + body


def png_bytes(rows):
    """A truecolour PNG from rows of (r, g, b) tuples."""
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


# ----------------------------------------------------------------------------------------------
# Palette of the dishes

WHITE_CHINA = (250, 248, 240)
BLUE_RIM = (70, 120, 200)
SILVER = (196, 202, 212)
WOOD = (176, 112, 56)
GREEN = (96, 176, 64)
DARK_GREEN = (48, 128, 48)
TOMATO = (226, 58, 44)
YELLOW = (250, 204, 48)
GOLD = (226, 150, 52)
STEAM = (255, 255, 255)


def plate(c, cx, cy, rx, ry, rim=BLUE_RIM, china=WHITE_CHINA, well=0.72):
    """A plate seen at an angle: china with a coloured rim line and a slightly shaded well."""
    c.shadow(cx + 1, cy + ry * 0.45, rx, ry * 0.8)
    outer = ellipse(cx, cy, rx, ry)
    c.paint(outer, china, outline=outline_of(mix(china, rim, 0.5)))
    band = ellipse(cx, cy, rx - 1.6, ry - 1.3) - ellipse(cx, cy, rx - 2.6, ry - 2.0)
    c.paint(band, lighten(rim, 0.25), outline=None)
    inner = ellipse(cx, cy - 0.3, rx * well, ry * well)
    c.paint(inner, shade3(mix(china, (226, 226, 220), 0.5), inner, light=(0.6, 0.8), hi=0.5), outline=None)


def steam_curl(c, x, y0, y1, phase, colour=STEAM, amplitude=1.6, period=9.0, width=1):
    """A rising wisp of steam: a wavy vertical stroke from y1 (bottom) up to y0, with a grey edge."""
    pts = []
    for y in range(y1, y0 - 1, -1):
        pts.append((x + amplitude * math.sin((y + phase) * 2 * math.pi / period), y + 0.5))
    stroke = path(pts, 0.55 + 0.5 * (width - 1))
    edge = {(a + dx, b + dy) for a, b in stroke for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))} - stroke
    for x_, y_ in edge:
        if c.inside(x_, y_) and c.get(x_, y_) is not None:
            c.set(x_, y_, darken(c.get(x_, y_), 0.08))
    c.paint(stroke, colour, outline=None)


def draw_aperitivos(w, h):
    """300: a plate of tapas: a bread slice with ham and tomato, and two olives on a pick."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 19, 30, 17.5, 6.5)
    # A toasted slice of bread (a montadito) with cured ham and tomato.
    side = ellipse(12, 24, 9.5, 4.8)
    c.paint(side, (180, 110, 44), outline=(110, 60, 20))
    top = ellipse(12, 22, 9.5, 4.6)
    c.paint(top, (204, 140, 64), outline=(110, 60, 20))
    crumb = ellipse(12, 21.8, 8, 3.4)
    c.paint(crumb, (246, 218, 160), outline=None)
    c.dots([(6, 22), (9, 23), (17, 23), (15, 20)], (222, 186, 120))
    ham = ellipse(10.5, 20.5, 5.5, 2.5, angle=-12) | ellipse(15, 21.5, 4.5, 2.2, angle=15)
    c.paint(ham, shade3((176, 40, 52), ham, hi=0.25), outline=(100, 20, 30))
    c.dots([(8, 20), (9, 20), (14, 22), (15, 22), (16, 21)], (248, 206, 200))
    tomato = circle(13, 17.8, 2.6)
    c.paint(tomato, shade3(TOMATO, tomato), outline=darken(TOMATO, 0.5))
    c.dots([(12, 17), (14, 18)], (255, 214, 120))
    c.paint(ellipse(9, 17.5, 2.4, 1.3, angle=-30), GREEN, outline=DARK_GREEN)
    # Olives on a pick.
    c.paint(capsule(29.5, 3, 27.5, 29, 0.6), (214, 170, 110), outline=None)
    for oy in (12.5, 21.0):
        olive = ellipse(28.5, oy, 4.6, 3.9)
        c.paint(olive, shade3((120, 160, 40), olive, hi=0.35), outline="auto")
        c.paint(ellipse(29.3, oy + 0.3, 1.4, 1.2), (222, 72, 48), outline=None)
        c.dots([(26, int(oy) - 2), (27, int(oy) - 2)], (220, 236, 170))
    c.paint(circle(29.6, 3.0, 2.2), (220, 50, 60), outline="auto")
    c.set(29, 2, (255, 170, 170))
    return c


def draw_salad(w, h):
    """301: a bowl of green salad with tomato and cucumber."""
    c = Canvas(w, h, BACKGROUND)
    c.shadow(19, 34, 15, 3)
    cx, cy = 18.5, 19.0
    # Leaves rising over the rim, back row first.
    for lx, ly, rx, ry, ang, col in [
        (8, 15, 5, 3.5, -30, DARK_GREEN), (14, 11, 5, 3.6, -10, GREEN), (22, 10, 5.5, 3.6, 15, DARK_GREEN),
        (29, 14, 5, 3.4, 30, GREEN), (18, 13, 4.5, 3.2, 0, (140, 200, 80)),
    ]:
        leaf = ellipse(lx, ly, rx, ry, angle=ang)
        c.paint(leaf, shade3(col, leaf), outline="auto")
        c.line(int(lx - rx * 0.5), int(ly + 1), int(lx + rx * 0.5), int(ly - 1), darken(col, 0.2))
    for tx, ty in [(11, 12.5), (25, 12)]:
        t = circle(tx, ty, 3.1)
        c.paint(t, shade3(TOMATO, t), outline="auto")
        c.set(int(tx) - 1, int(ty) - 1, (255, 170, 150))
    cu = circle(19, 15.5, 2.8)
    c.paint(cu, (200, 232, 150), outline=(60, 120, 40))
    c.dots([(18, 15), (20, 15), (19, 16)], (150, 190, 100))
    onion = circle(29.5, 17, 2.5) - circle(29.5, 17, 1.2)
    c.paint(onion, (200, 120, 200), outline=(120, 50, 120))
    # Bowl: terracotta with a cream band.
    body = below(ellipse(cx, cy, 17.5, 14.5), int(cy))
    c.paint(body, horizontal((206, 110, 60), body, shine=0.18), outline="auto")
    band = below(ellipse(cx, cy, 16.5, 11.2), int(cy) + 4) - below(ellipse(cx, cy, 16.5, 9.2), int(cy) + 4)
    c.paint(band & body, (246, 224, 170), outline=None)
    foot = rect(12, 32, 25, 34)
    c.paint(foot, (176, 88, 46), outline="auto")
    rim = ellipse(cx, cy, 17.5, 3.2) - ellipse(cx, cy - 0.6, 16, 2.2)
    c.paint(rim & below(rim, int(cy)), (232, 150, 100), outline=outline_of((206, 110, 60)))
    return c


def draw_fried(w, h):
    """302: a frying pan with a fried egg."""
    c = Canvas(w, h, BACKGROUND)
    c.shadow(17, 32, 16, 3.5)
    handle = capsule(25.5, 24.5, 34, 33, 2.0)
    c.paint(handle, (60, 52, 52), outline=(30, 24, 24))
    c.paint(capsule(29.5, 28.5, 33, 32, 0.8), (110, 96, 90), outline=None)
    pan = ellipse(15, 18.5, 14.5, 13.2)
    c.paint(pan, (64, 64, 74), outline=(28, 26, 30))
    inner = ellipse(15, 18.5, 12.2, 10.8)
    c.paint(inner, shade3((104, 104, 116), inner, light=(0.7, 0.7), hi=0.2), outline=(44, 42, 50))
    white = ellipse(13.5, 19, 8.2, 6.2, angle=-15) | ellipse(18, 16, 4.8, 4.3) | ellipse(9.5, 16, 4.3, 3.8)
    c.paint(white, (252, 252, 246), outline=(178, 172, 160))
    c.dots([(18, 21), (19, 21), (8, 21)], (232, 228, 214))
    yolk = circle(14, 17.5, 4.1)
    c.paint(yolk, shade3((252, 180, 28), yolk, hi=0.3, lo=0.12), outline=(200, 110, 20))
    c.dots([(13, 15), (12, 16)], (255, 250, 220))
    return c


def draw_sauce_boat(w, h):
    """303: a sauce boat with tomato sauce on its saucer (also the elaboration emblem)."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 19, 31, 17.5, 4.8, well=0.6)
    china = (246, 244, 236)
    line = (90, 100, 140)
    handle = ellipse(31.5, 20, 4.5, 5.2) - ellipse(31.5, 20, 2.3, 3.0)
    c.paint({p for p in handle if p[0] >= 30}, china, outline=line)
    foot = ellipse(19, 28.5, 7, 2.2)
    c.paint(foot, (220, 220, 214), outline=line)
    # The body rises on the left into a pointed lip.
    body = below(ellipse(20, 17, 13, 10), 17) | polygon([(1.5, 10.5), (11, 15.5), (13, 21), (7, 21)])
    c.paint(body, horizontal(china, body, left_light=0.0, right_dark=0.12, bands=(0.0, 0.72)), outline=line)
    stripe = below(ellipse(20, 17, 13, 8.2), 20) - below(ellipse(20, 17, 13, 6.8), 20)
    c.paint(stripe & body, BLUE_RIM, outline=None)
    mouth = ellipse(20.5, 17, 12, 3) | polygon([(2, 11), (12, 14.5), (12, 18)])
    c.paint(mouth, china, outline=line)
    sauce = ellipse(20.5, 17.3, 10.5, 2.0) | polygon([(3.5, 11.8), (12, 15.2), (12, 17.6), (6, 14.2)])
    c.paint(sauce, (204, 52, 36), outline=(140, 30, 24))
    c.dots([(15, 17), (16, 17), (23, 16)], (246, 120, 90))
    c.dots([(11, 22), (12, 22), (12, 23)], (255, 255, 255))
    c.paint(ellipse(25, 16.5, 2.2, 1.1, angle=20), GREEN, outline=DARK_GREEN)
    return c


def draw_pot(w, h):
    """304: a red stew pot of chickpeas with its lid lifted, and wisps of steam."""
    c = Canvas(w, h, BACKGROUND)
    cx = 18
    c.shadow(cx, 34.5, 16, 2.8)
    red = (204, 52, 40)
    for hx in (cx - 15, cx + 15):
        hnd = ellipse(hx, 23, 2.9, 2.2)
        c.paint(hnd, (56, 50, 50), outline=(26, 22, 22))
    body = rounded_rect(cx - 12, 15, cx + 11, 33, 4) - rect(0, 0, 38, 18)
    c.paint(body, horizontal(red, body, shine=0.2), outline="auto")
    c.paint(rect(cx - 11, 22, cx + 10, 23), darken(red, 0.18), outline=None)
    c.dots([(cx - 8, 27), (cx - 3, 30), (cx + 3, 27), (cx + 7, 30), (cx, 25)], lighten(red, 0.5))
    mouth = ellipse(cx, 19, 12.8, 3.4)
    c.paint(mouth, lighten(red, 0.12), outline="auto")
    stew = ellipse(cx, 19, 10.6, 2.2)
    c.paint(stew, (126, 66, 30), outline=None)
    for px_, py in [(cx - 9, 19), (cx - 6, 18), (cx - 3, 19.5), (cx, 18), (cx + 3, 19.5), (cx + 6, 18), (cx + 8, 19)]:
        c.paint(circle(px_ + 0.5, py + 0.5, 1.25), (244, 206, 124), outline=(160, 104, 40))
    lid = {(x, y) for x, y in ellipse(cx, 13, 13.8, 7.5) if y <= 12} | rect(cx - 14, 12, cx + 13, 13)
    c.paint(lid, shade3(lighten(red, 0.08), lid, hi=0.35), outline="auto")
    c.paint(rect(cx - 14, 13, cx + 13, 13), darken(red, 0.45), outline=None)
    knob = ellipse(cx, 5, 3.2, 2.2)
    c.paint(knob, (56, 50, 50), outline=(26, 22, 22))
    c.set(cx - 2, 4, (140, 130, 130))
    steam_curl(c, cx + 10, 0, 6, phase=2, amplitude=1.0, period=7)
    steam_curl(c, cx - 10, 0, 6, phase=5, amplitude=1.0, period=7)
    return c


def draw_general(w, h):
    """305: a plate between a fork and a knife (the general picture of several categories)."""
    c = Canvas(w, h, BACKGROUND)
    cx, cy = 18.5, 19.5
    c.shadow(cx + 1, cy + 3, 12.5, 12)
    outer = circle(cx, cy, 12.6)
    c.paint(outer, WHITE_CHINA, outline=(120, 130, 160))
    band = circle(cx, cy, 11.2) - circle(cx, cy, 10.0)
    c.paint(band, lighten(BLUE_RIM, 0.2), outline=None)
    well = circle(cx, cy, 8.0)
    c.paint(well, shade3((236, 234, 226), well, light=(0.7, 0.7), hi=0.5), outline=None)
    c.dots([(int(cx) - 9, int(cy) - 5), (int(cx) - 8, int(cy) - 7)], (255, 255, 255))
    # A little green garnish so the plate reads as a dish.
    c.paint(ellipse(cx, cy, 3.4, 2.3, angle=-30), GREEN, outline=DARK_GREEN)
    c.paint(circle(cx + 3, cy + 2.5, 1.8), TOMATO, outline=darken(TOMATO, 0.45))
    # Fork on the left.
    for tx in (1.5, 3.5, 5.5):
        c.paint(capsule(tx, 5, tx, 11, 0.55), SILVER, outline=None)
    fork_head = rect(1, 11, 6, 13) | ellipse(3.5, 13.5, 2.6, 2)
    c.paint(fork_head, SILVER, outline=None)
    fork_handle = capsule(3.5, 14, 3.5, 34, 1.25)
    c.paint(fork_handle, horizontal(SILVER, fork_handle, left_light=0.5), outline=(100, 104, 116))
    c.dots([(1, 4), (3, 4), (5, 4)], (100, 104, 116))
    # The prongs are too thin for an outline of their own: give each a bright left edge and a
    # dark line on the background beside it instead.
    for x, y in rect(1, 5, 6, 12):
        if c.get(x, y) == SILVER and ((x - 1, y) not in rect(1, 5, 6, 12) or c.get(x - 1, y) == BACKGROUND):
            c.set(x, y, lighten(SILVER, 0.5))
    for x, y in rect(0, 5, 7, 13):
        if c.get(x, y) == BACKGROUND and any(
                c.inside(x + dx, y) and c.get(x + dx, y) in (SILVER, lighten(SILVER, 0.5)) for dx in (-1, 1)):
            c.set(x, y, darken(BACKGROUND, 0.35))
    # Knife on the right.
    blade = polygon([(32, 4.5), (35.5, 7), (35.5, 21), (32, 21)])
    c.paint(blade, horizontal(SILVER, blade, left_light=0.5, bands=(0.35, 0.8)), outline=(100, 104, 116))
    knife_handle = rect(32, 21, 35, 34) | circle(33.5, 34, 1.6)
    c.paint(knife_handle, horizontal(WOOD, knife_handle), outline="auto")
    c.dots([(33, 24), (33, 30)], (236, 220, 180))
    return c


def draw_pasta(w, h):
    """306: a plate of spaghetti with tomato sauce and a fork stuck in."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 18.5, 29, 18, 7.5)
    mound = ellipse(18.5, 25, 13, 7.5)
    pasta = (246, 206, 100)
    c.paint(mound, pasta, outline=(176, 128, 40))
    # Strands: arcs across the mound.
    for k, (ax, ay, rx, ry) in enumerate([(14, 27, 7, 3), (22, 26, 7, 3.5), (18, 23, 8, 3), (12, 23, 4, 2.5),
                                          (25, 22, 4, 2.5), (18, 29, 8, 2.5)]):
        arc = (ellipse(ax, ay, rx, ry) - ellipse(ax, ay, rx - 1, ry - 1)) & mound
        c.paint({p for p in arc if (p[1] < ay) == (k % 2 == 0)}, (214, 160, 60), outline=None)
    sauce = ellipse(18, 20.5, 7.5, 4) | ellipse(14, 22, 3.5, 2.5) | ellipse(23, 22, 3, 2.5)
    c.paint(sauce, shade3((210, 44, 30), sauce, hi=0.25), outline=(130, 24, 20))
    for mx, my in [(16, 20), (21.5, 21)]:
        ball = circle(mx, my, 2.4)
        c.paint(ball, shade3((136, 74, 40), ball, hi=0.3), outline=(70, 36, 20))
    leaf = ellipse(19, 17.5, 2.8, 1.5, angle=-30)
    c.paint(leaf, GREEN, outline=DARK_GREEN)
    c.dots([(12, 22), (25, 23)], (250, 236, 220))
    # Fork, handle up, tines in the pasta.
    handle = capsule(29, 2, 25.5, 16, 1.3)
    c.paint(handle, SILVER, outline=(100, 104, 116))
    c.line(28, 3, 26, 11, lighten(SILVER, 0.6))
    head = polygon([(24, 15), (28, 16), (27, 19), (23.5, 18)])
    c.paint(head, SILVER, outline=(100, 104, 116))
    return c


def draw_fish(w, h):
    """307: a whole fish on a round platter with a lemon slice and parsley."""
    c = Canvas(w, h, BACKGROUND)
    cx, cy = 18, 20.5
    c.shadow(cx + 1, cy + 3, 17, 16)
    platter = circle(cx, cy, 17.4)
    c.paint(platter, WHITE_CHINA, outline=(110, 130, 170))
    band = circle(cx, cy, 15.8) - circle(cx, cy, 14.6)
    c.paint(band, lighten(BLUE_RIM, 0.25), outline=None)
    fin_blue, line = (70, 120, 186), (30, 54, 104)
    tail = polygon([(24, 19), (32.5, 12.5), (30.5, 19.5), (32.5, 26.5), (24, 21.5)])
    c.paint(tail, fin_blue, outline=line)
    c.line(28, 17, 30, 15, lighten(fin_blue, 0.3))
    c.line(28, 22, 30, 24, lighten(fin_blue, 0.3))
    dorsal = polygon([(11, 16), (15, 11.5), (21, 12.5), (22, 16.5)])
    c.paint(dorsal, fin_blue, outline=line)
    c.paint(polygon([(14, 25), (18, 28.5), (19, 25)]), fin_blue, outline=line)
    body = ellipse(15, 20.5, 11, 5.6)

    def body_fill(x, y):
        if y >= 22:
            return (216, 232, 242)  # silvery belly
        if y <= 17:
            return (62, 112, 176)
        return (100, 160, 214)

    c.paint(body, body_fill, outline=line)
    for sx, sy in [(13, 18), (16, 18), (19, 18), (14, 20), (17, 20), (20, 20)]:
        c.set(sx, sy, (62, 112, 176))
        c.set(sx + 1, sy + 1, (140, 190, 230))
    gill = (ellipse(10, 20.5, 4, 5) - ellipse(10, 20.5, 3, 4)) & body
    c.paint({p for p in gill if p[0] >= 11}, line, outline=None)
    c.paint(circle(7.5, 19.3, 1.6), (255, 255, 255), outline=line)
    c.set(7, 19, (20, 20, 30))
    c.dots([(4, 21), (5, 22)], line)
    lemon = circle(24, 30, 3.8)
    c.paint(lemon, (250, 226, 80), outline=(190, 150, 20))
    c.paint(circle(24, 30, 2.4), (255, 244, 160), outline=None)
    c.line(24, 28, 24, 32, (240, 210, 60))
    c.line(22, 30, 26, 30, (240, 210, 60))
    for px_, py in [(9, 9), (11.5, 7.5), (12, 10)]:
        c.paint(circle(px_, py, 1.7), GREEN, outline=DARK_GREEN)
    c.line(11, 11, 13, 13, DARK_GREEN)
    return c


def draw_roast_chicken(w, h):
    """308: a roast chicken with paper frills on its drumsticks, on a platter."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 18.5, 32.5, 18, 6.5)
    for tx, ty in [(4.5, 31), (32.5, 31)]:
        t = circle(tx, ty, 2.6)
        c.paint(t, shade3(TOMATO, t), outline="auto")
    roast = (206, 126, 48)
    line = (110, 56, 16)
    body = ellipse(18.5, 21, 13.5, 10)
    c.paint(body, shade3(roast, body, hi=0.3, lo=0.2), outline=line)
    breast = ellipse(16.5, 18, 6.5, 4.5, angle=-10)
    c.paint(breast, lighten(roast, 0.22), outline=None)
    c.dots([(14, 17), (15, 16), (16, 16)], lighten(roast, 0.5))
    c.line(18, 12, 19, 29, darken(roast, 0.18))
    for side in (-1, 1):
        lx = 18.5 + side * 8.5
        leg = ellipse(lx, 26.5, 6.2, 4.4, angle=side * 35)
        c.paint(leg, shade3(darken(roast, 0.05), leg, hi=0.3), outline=line)
        c.dots([(int(lx) - 1, 25), (int(lx), 25)], lighten(roast, 0.35))
        bx = 18.5 + side * 15.5
        bone = capsule(lx + side * 3.5, 23.5, bx, 17.5, 1.0)
        c.paint(bone, (250, 244, 228), outline=(150, 140, 120))
        frill = circle(bx, 16.5, 2.3)
        c.paint(frill, (255, 255, 255), outline=(150, 140, 120))
    for gx, gy in [(9, 33.5), (28, 33.5), (18.5, 34.5)]:
        c.paint(ellipse(gx, gy, 2.2, 1.2), GREEN, outline=DARK_GREEN)
    return c


def draw_cake_slice(w, h):
    """309: a layered slice of cake with a strawberry, on a small plate."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 18.5, 29.5, 17.5, 4.8, well=0.62)
    tip, back_right, back_left = (3.0, 17.0), (33.5, 12.5), (21.0, 8.5)
    height = 11
    front = polygon([tip, back_right, (back_right[0], back_right[1] + height), (tip[0], tip[1] + height)])

    def top_edge(x):
        return tip[1] + (back_right[1] - tip[1]) * (x + 0.5 - tip[0]) / (back_right[0] - tip[0])

    def layers(x, y):
        d = y + 0.5 - top_edge(x)
        if d < 2.2:
            return (250, 236, 240)  # cream icing
        if d < 4.5:
            return (250, 214, 130)  # sponge
        if d < 6.3:
            return (214, 50, 72)  # jam
        return (246, 204, 116)  # sponge

    c.paint(front, layers, outline=(150, 96, 60))
    side = polygon([back_right, (back_right[0], back_right[1] + height), (back_right[0] + 0.01, back_right[1])])
    c.paint(side, (236, 190, 110), outline=(150, 96, 60))
    top = polygon([tip, back_left, back_right])
    c.paint(top, (255, 244, 246), outline=(170, 130, 140))
    # Icing drips over the front edge.
    for dx_, length in [(8, 2), (15, 3), (24, 2), (29, 3)]:
        y = int(top_edge(dx_)) + 1
        c.paint(capsule(dx_ + 0.5, y + 0.5, dx_ + 0.5, y + length, 0.7), (250, 236, 240), outline=None)
    # Strawberry on top.
    berry = polygon([(20, 11.5), (27, 11.5), (23.5, 17)]) | circle(21.7, 11, 2.1) | circle(25.3, 11, 2.1)
    berry = shifted(berry, 0, -5)
    c.paint(berry, shade3((228, 40, 56), berry), outline=(130, 20, 36))
    c.dots([(22, 8), (25, 9), (23, 10)], (255, 230, 140))
    c.paint(ellipse(21.8, 4.5, 2.0, 1.0, angle=-20) | ellipse(25.2, 4.5, 2.0, 1.0, angle=20), GREEN,
            outline=DARK_GREEN)
    return c


def draw_cocktail(w, h):
    """310: a cocktail glass with a straw, a cherry and a lemon slice."""
    c = Canvas(w, h, BACKGROUND)
    c.shadow(18, 34.5, 10, 2)
    glass = (214, 234, 246)
    foot = ellipse(18, 33.5, 9, 2.4)
    c.paint(foot, glass, outline=(100, 130, 160))
    stem = rect(17, 19, 18, 32)
    c.paint(stem, glass, outline=None)
    c.line(16, 19, 16, 31, (100, 130, 160))
    c.line(19, 19, 19, 31, (100, 130, 160))
    # Straw behind the rim.
    straw = capsule(25, 0.5, 16, 15, 1.1)

    def stripes(x, y):
        return (240, 60, 70) if (x + y) % 4 < 2 else (255, 255, 255)

    c.paint(straw, stripes, outline=(150, 40, 50))
    bowl = polygon([(2, 5), (34, 5), (19.5, 20.5), (16.5, 20.5)])
    c.paint(bowl, glass, outline=(100, 130, 160))
    drink = polygon([(4.5, 8), (31.5, 8), (18.8, 19.5), (17.2, 19.5)])
    c.paint(drink, shade3((246, 120, 150), drink, light=(-1, -0.2), hi=0.3), outline=None)
    c.line(5, 8, 31, 8, (255, 180, 196))
    c.dots([(9, 10), (10, 11), (11, 12)], (255, 236, 240))
    # Lemon slice on the rim, cherry on a stick.
    lemon = circle(5, 5, 4.2)
    c.paint(lemon, (250, 220, 70), outline=(180, 140, 20))
    c.paint(circle(5, 5, 2.7), (255, 242, 160), outline=None)
    c.line(5, 2, 5, 8, (240, 206, 60))
    c.line(2, 5, 8, 5, (240, 206, 60))
    c.line(26, 2, 30, 7, (120, 80, 40))
    cherry = circle(30, 9, 2.6)
    c.paint(cherry, shade3((200, 20, 40), cherry), outline=(110, 10, 20))
    c.set(29, 8, (255, 160, 170))
    return c


def draw_croissant(w, h):
    """311: a golden croissant on a plate."""
    c = Canvas(w, h, BACKGROUND)
    plate(c, 18.5, 29.5, 18, 6.5)
    gold = (230, 156, 60)
    parts = [(5.2, 27.0, 3.4, 3.0, 40), (31.8, 27.0, 3.4, 3.0, -40),
             (9.5, 23.5, 5.0, 4.6, 30), (27.5, 23.5, 5.0, 4.6, -30),
             (18.5, 21.5, 6.8, 7.8, 0)]
    for px_, py, rx, ry, ang in parts:
        part = ellipse(px_, py, rx, ry, angle=ang)
        c.paint(part, shade3(gold, part, hi=0.35, lo=0.2), outline=(130, 70, 20))
        # A brown crease line along each layer.
        c.dots([(int(px_), int(py + ry * 0.5))], darken(gold, 0.25))
    c.dots([(16, 16), (17, 15), (18, 15), (8, 21), (26, 21)], (255, 230, 170))
    for x in (15, 18, 21):
        c.line(x, 25, x + 1, 27, darken(gold, 0.2))
    return c


def draw_ingredients(w, h):
    """312: a shopping basket with a baguette, a leek, a carrot and a tomato (the ingredients emblem)."""
    c = Canvas(w, h, BACKGROUND)
    c.shadow(19, 35, 16, 2.5)
    wicker = (204, 144, 70)
    handle = ellipse(19, 19, 13.5, 15.5) - ellipse(19, 19, 10.8, 12.8)
    c.paint(above(handle, 19), wicker, outline=(110, 66, 24))
    # The goods, back to front.
    leek = capsule(25, 4, 22, 20, 1.8)
    c.paint(leek, lambda x, y: DARK_GREEN if y < 11 else (236, 244, 214), outline=(60, 100, 40))
    c.paint(ellipse(27, 4, 3.5, 1.4, angle=-40) | ellipse(22.5, 4.5, 3, 1.4, angle=40), GREEN, outline=DARK_GREEN)
    bread = capsule(7, 7, 17, 20, 3.2)
    c.paint(bread, shade3((224, 166, 82), bread), outline=(130, 80, 30))
    for k in range(3):
        x, y = 9 + k * 3, 10 + k * 3.6
        c.line(x, int(y) + 2, x + 2, int(y), (250, 220, 160))
    c.paint(ellipse(33, 5, 1.3, 3.2, angle=25) | ellipse(35.5, 6, 1.3, 3, angle=-25), GREEN, outline=DARK_GREEN)
    carrot = polygon([(27, 19.5), (33, 19.5), (35, 7.5), (31.5, 7.5)])
    c.paint(carrot, horizontal((246, 130, 36), carrot), outline=(160, 70, 10))
    c.dots([(31, 11), (32, 14), (30, 17)], (200, 90, 20))
    tomato = circle(18, 16.5, 4.2)
    c.paint(tomato, shade3(TOMATO, tomato), outline=darken(TOMATO, 0.5))
    c.dots([(17, 12), (18, 12), (19, 12), (18, 13)], DARK_GREEN)
    c.dots([(16, 14), (16, 15)], (255, 180, 160))
    # Basket front, with a woven pattern.
    basket = polygon([(2.5, 19.5), (35.5, 19.5), (31, 34), (7, 34)])

    def weave(x, y):
        row = (y - 20) // 3
        col = (x + (2 if row % 2 else 0)) // 4
        return darken(wicker, 0.14) if (row + col) % 2 else wicker

    c.paint(basket, weave, outline=(110, 66, 24))
    rim = capsule(3, 20, 35, 20, 1.6)
    c.paint(rim, (176, 110, 44), outline=(110, 66, 24))
    c.line(5, 20, 33, 20, (222, 170, 100))
    return c


def draw_soup(w, h):
    """313: a steaming bowl of soup with a spoon."""
    c = Canvas(w, h, BACKGROUND)
    cx, cy = 18, 19
    plate(c, cx, 32.5, 17.2, 4.3, well=0.6)
    china = (250, 248, 240)
    spoon_handle = capsule(23, 19, 35, 10.5, 1.2)
    c.paint(spoon_handle, SILVER, outline=(100, 104, 116))
    body = below(ellipse(cx, cy, 15.5, 12.5), int(cy))
    c.paint(body, horizontal(china, body, left_light=0.0, right_dark=0.1, bands=(0.0, 0.75)), outline=(90, 100, 140))
    stripe = below(ellipse(cx, cy, 15.5, 9), int(cy) + 3) - below(ellipse(cx, cy, 15.5, 7.5), int(cy) + 3)
    c.paint(stripe & body, BLUE_RIM, outline=None)
    c.dots([(7, 26), (29, 26), (18, 30)], (226, 90, 60))
    rim = ellipse(cx, cy, 15.5, 4.3)
    c.paint(rim, china, outline=(90, 100, 140))
    soup = ellipse(cx, cy + 0.2, 13.5, 3.0)
    c.paint(soup, (236, 128, 40), outline=(170, 80, 20))
    c.dots([(11, 19), (12, 19), (22, 18), (17, 20)], (255, 196, 110))
    c.dots([(15, 18), (20, 20), (25, 19)], GREEN)
    c.paint(capsule(23, 19, 26, 17, 1.2), SILVER, outline=None)
    for sx, ph in [(11, 0), (18, 3), (25, 6)]:
        steam_curl(c, sx, 1, 13, phase=ph, amplitude=1.5, period=8, width=2)
    return c


# The category lists keep each picture in a 36 x 37 image list cell, copied from the bitmap's
# top-left corner: whatever lies further right or lower is cut off there.
LIST_CELL = (36, 37)


def fit_list_cell(c):
    """Moves the drawing to the middle of the top-left list cell; the rest becomes window colour.

    The drawings are made on the full bitmap; a soft shadow may be cut at the cell's edge, the
    objects themselves must fit."""
    shadow = darken(BACKGROUND, 0.13)
    cell_w, cell_h = min(c.w, LIST_CELL[0]), min(c.h, LIST_CELL[1])
    drawn = [(x, y) for y in range(c.h) for x in range(c.w) if c.get(x, y) != BACKGROUND]
    objects = [(x, y) for x, y in drawn if c.get(x, y) != shadow]
    x0, y0, x1, y1 = bounds(objects)
    assert x1 - x0 < cell_w and y1 - y0 < cell_h, "drawing larger than the list cell"
    dx = (cell_w - (x1 - x0 + 1)) // 2 - x0
    dy = (cell_h - (y1 - y0 + 1) + 1) // 2 - y0
    out = Canvas(c.w, c.h, BACKGROUND)
    for x, y in drawn:
        if 0 <= x + dx < cell_w and 0 <= y + dy < cell_h:
            out.set(x + dx, y + dy, c.get(x, y))
    return out


PICTURES = [
    (300, "aperitivos", 38, 39, draw_aperitivos),
    (301, "ensaladas", 37, 38, draw_salad),
    (302, "frituras", 39, 38, draw_fried),
    (303, "salsas", 38, 38, draw_sauce_boat),
    (304, "potajes", 39, 39, draw_pot),
    (305, "general", 38, 39, draw_general),
    (306, "pastas", 37, 39, draw_pasta),
    (307, "pescados", 36, 39, draw_fish),
    (308, "aves", 37, 40, draw_roast_chicken),
    (309, "reposteria", 37, 35, draw_cake_slice),
    (310, "cockteles", 36, 37, draw_cocktail),
    (311, "bolleria", 37, 39, draw_croissant),
    (312, "ingredientes", 38, 38, draw_ingredients),
    (313, "sopas", 39, 38, draw_soup),
]


# ----------------------------------------------------------------------------------------------
# Menu pictures, 16 x 16, 24 bits.
#
# The menu draws them in the check-mark area with SetMenuItemBitmaps, and the system copies only
# a check-mark-sized square from the top-left corner of the bitmap (11 x 11 pixels under Wine at
# 96 dpi, where SM_CXMENUCHECK is 11). So each drawing sits in the top-left 11 x 11 pixels and the
# rest of the 16 x 16 bitmap is menu white: the whole picture shows wherever the square is 11 or more.

MENU_GLYPH = 11
MENU_PALETTE = {
    "k": (56, 52, 60),      # outline
    "w": (255, 255, 255),
    "p": (255, 250, 226),   # paper
    "f": (208, 208, 200),   # paper fold, grey
    "b": (52, 110, 200),    # blue
    "B": (150, 196, 240),   # light blue
    "s": (200, 204, 214),   # silver
    "l": (160, 164, 176),   # grey line
    "r": (222, 50, 44),     # red
    "R": (250, 130, 110),   # light red
    "g": (72, 168, 64),     # green
    "G": (150, 214, 110),   # light green
    "o": (246, 140, 40),    # orange
    "y": (250, 210, 50),    # yellow
    "h": (168, 104, 48),    # wood
    "d": (140, 84, 40),     # dark wood
    "e": (250, 214, 176),   # skin
    "m": (200, 200, 210),   # steam
}

MENU_GLYPHS = [
    (500, "nuevo", [      # a blank page with a folded corner
        "kkkkkkk....",
        "kpppppkk...",
        "kpppppkfk..",
        "kpppppkffk.",
        "kpppppkkkkk",
        "kpppppppppk",
        "kpppppppppk",
        "kpppppppppk",
        "kpppppppppk",
        "kpppppppppk",
        "kkkkkkkkkkk",
    ]),
    (501, "grabar", [     # a floppy disk
        "kkkkkkkkkk.",
        "kbbsssssbbk",
        "kbbssksbbbk",
        "kbbssksbbbk",
        "kbbsssssbbk",
        "kbbbbbbbbbk",
        "kbwwwwwwwbk",
        "kbwrrrrrwbk",
        "kbwwwwwwwbk",
        "kbwlllllwbk",
        "kkkkkkkkkkk",
    ]),
    (502, "buscar", [     # a magnifying glass
        "..kkkk.....",
        ".kwwBBk....",
        "kwBBBBBk...",
        "kwBBBBBk...",
        "kBBBBBbk...",
        "kBBBBbbk...",
        ".kBbbbkk...",
        "..kkkkhdk..",
        "......khdk.",
        ".......khdk",
        "........kk.",
    ]),
    (503, "autor", [      # a smiling cook in his hat
        "...kk.kk...",
        "..kwwkwwk..",
        ".kwwwwwwwk.",
        ".kwwwwwwwk.",
        "..kwwwwwk..",
        "..kfffffk..",
        "..keeeeek..",
        "..kekekek..",
        "..keekeek..",
        ".kkkwrwkkk.",
        "kwwwwrwwwwk",
    ]),
    (504, "salir", [      # a door with an arrow going out
        "kkkkkkk....",
        "khhhhhk....",
        "khhhhhkk...",
        "khhhhhkgk..",
        "khhkkkkggk.",
        "khykgggGggk",
        "khhkkkkggk.",
        "khhhhhkgk..",
        "khhhhhkk...",
        "khhhhhk....",
        "kkkkkkk....",
    ]),
    (505, "plato", [      # a plate with food
        "...kkkkk...",
        ".kkbbbbbkk.",
        ".kbwwwwwbk.",
        "kbwwRrrwwbk",
        "kbwRrrrrwbk",
        "kbwrrrrrwbk",
        "kbwwgggwwbk",
        ".kbwwwwwbk.",
        ".kkbbbbbkk.",
        "...kkkkk...",
        "...........",
    ]),
    (506, "ingredientes", [  # a shopping list
        ".kkkkkkkkk.",
        ".kpppppppk.",
        ".krplllllk.",
        ".kpppppppk.",
        ".kgplllllk.",
        ".kpppppppk.",
        ".koplllppk.",
        ".kpppppppk.",
        ".kyplllllk.",
        ".kpppppppk.",
        ".kkkkkkkkk.",
    ]),
    (507, "elaboracion", [   # a pot with a wooden spoon
        ".m......kk.",
        "m.m....khk.",
        ".m....khk..",
        "m....khk...",
        ".kkkkkkkkk.",
        "kkRrrrrrrkk",
        "k.krrrrrk.k",
        "..kRrrrrk..",
        "..kRrrrrk..",
        "..krrrrrk..",
        "...kkkkk...",
    ]),
    (508, "imagen", [     # a framed picture: sky, sun and hills
        "kkkkkkkkkkk",
        "khhhhhhhhhk",
        "khBBBBBBBhk",
        "khBBBBByyhk",
        "khBBBBByyhk",
        "khBBgBBBBhk",
        "khBgggBBghk",
        "khgggggggk.",
        "khGgggggghk",
        "khhhhhhhhhk",
        "kkkkkkkkkkk",
    ]),
]


def draw_menu_picture(rows):
    assert len(rows) == MENU_GLYPH and all(len(r) == MENU_GLYPH for r in rows), rows
    c = Canvas(16, 16, MENU_BACKGROUND)
    c.stamp(rows, MENU_PALETTE)
    return c


# ----------------------------------------------------------------------------------------------
# The program icon: a red recipe book with a wooden spoon.

ICON_RED = (200, 46, 44)


def draw_program_icon_32():
    c = Canvas(32, 32, None)
    line = (80, 20, 20)
    wood_line = (110, 64, 24)
    # The wooden spoon lies behind the book: its bowl shows at the top right, its end at the bottom left.
    handle = capsule(27, 8, 3, 31, 1.3)
    c.paint(handle, horizontal((200, 136, 70), handle), outline=wood_line)
    bowl = ellipse(27.3, 6.2, 3.4, 5, angle=44)
    c.paint(bowl, shade3((214, 150, 80), bowl, hi=0.3), outline=wood_line)
    c.dots([(26, 4), (27, 4), (25, 5)], (246, 210, 160))
    pages = rounded_rect(6, 24, 26, 30, 1.5)
    c.paint(pages, (90, 24, 24), outline=line)
    c.paint(rect(8, 25, 25, 28), (250, 246, 232), outline=None)
    for y in (26, 27):
        c.line(9, y, 24, y, (206, 198, 180))
    cover = rounded_rect(4, 2, 24, 27, 2)
    c.paint(cover, shade3(ICON_RED, cover, hi=0.25, lo=0.18), outline=line)
    c.paint(rect(5, 3, 7, 26), darken(ICON_RED, 0.25), outline=None)
    c.line(8, 3, 8, 26, lighten(ICON_RED, 0.35))
    label = rounded_rect(11, 6, 21, 12, 1)
    c.paint(label, (252, 240, 200), outline=(150, 100, 50))
    c.line(13, 8, 19, 8, (150, 100, 50))
    c.line(13, 10, 17, 10, (150, 100, 50))
    # A little plate with a dish on the cover.
    dish = ellipse(16, 19, 5.5, 3.6)
    c.paint(dish, (252, 250, 244), outline=(120, 40, 40))
    c.paint(ellipse(16, 18.6, 3, 1.8), (246, 170, 40), outline=(160, 90, 20))
    c.dots([(15, 18), (16, 18)], (255, 220, 140))
    c.paint(rect(20, 25, 21, 30), (70, 160, 70), outline=None)  # bookmark ribbon
    c.set(20, 31, (70, 160, 70))
    return c


PROGRAM_ICON_16 = [
    "............kkk.",
    "...........khhhk",
    ".kkkkkkkkkkkhhhk",
    ".kdRRRRRRRRkkhk.",
    ".kdRppppppRkkk..",
    ".kdRpllllpRk....",
    ".kdRppppppRk....",
    ".kdRRRRRRRRk....",
    ".kdRRwwwwRRk....",
    ".kdRwwoowwRk....",
    ".kdRRwwwwRRk....",
    ".kdRRRRRRRRk....",
    ".kdkkkkkkkkkk...",
    ".kdppppppppgk...",
    "..kkkkkkkkkgk...",
    "...........g....",
]
PROGRAM_ICON_16_PALETTE = {
    "k": (80, 20, 20),
    "d": (150, 34, 33),
    "R": ICON_RED,
    "p": (252, 240, 200),
    "l": (150, 100, 50),
    "w": (252, 250, 244),
    "o": (246, 170, 40),
    "h": (206, 142, 74),
    "g": (70, 160, 70),
}


def draw_program_icon_16():
    c = Canvas(16, 16, None)
    c.stamp(PROGRAM_ICON_16, PROGRAM_ICON_16_PALETTE)
    return c


# ----------------------------------------------------------------------------------------------
# The About box animation: seven 16-colour frames of a pot on the stove. Its lid rattles, puffs
# of steam rise and the flames flicker; the cycle closes smoothly from the last frame to the first.

ANIMATION_PALETTE = [
    (0, 0, 0),        # 0: transparent (masked)
    (48, 28, 24),     # 1: outline
    (206, 48, 40),    # 2: red
    (244, 116, 96),   # 3: light red
    (140, 28, 26),    # 4: dark red
    (150, 156, 168),  # 5: steel
    (214, 218, 226),  # 6: light steel
    (255, 255, 255),  # 7: white
    (188, 198, 214),  # 8: steam shadow
    (255, 224, 64),   # 9: flame yellow
    (248, 132, 32),   # 10: flame orange
    (70, 70, 80),     # 11: burner
    (70, 120, 230),   # 12: flame blue
    (40, 40, 48),     # 13: handles
    (126, 66, 30),    # 14: stew
    (96, 100, 112),   # 15: dark steel
]
ANIMATION_FRAMES = 7
LID_LIFT = [0, 0, 1, 2, 1, 0, 0]


def draw_animation_frame(f):
    p = ANIMATION_PALETTE
    c = Canvas(32, 32, None)
    # Burner and flames.
    c.paint(rect(4, 30, 27, 31), p[11], outline=p[1])
    for k, fx in enumerate((9, 16, 23)):
        height = 3 + (f + 2 * k) % 3 + (1 if k == 1 else 0)
        lean = (0.8, -0.8, 0.0)[(f + k) % 3]
        outer = polygon([(fx - 3, 30), (fx + 3, 30), (fx + 0.5 + lean, 29 - height), (fx - 0.5 + lean, 29 - height)])
        c.paint(outer, p[10], outline=None)
        inner = polygon([(fx - 1.5, 30), (fx + 1.5, 30), (fx + lean * 0.5, 30 - height)])
        c.paint(inner, p[9], outline=None)
    c.paint(rect(6, 29, 25, 29), p[12], outline=None)
    # Pot.
    for hx in (3, 27):
        c.paint(rect(hx, 17, hx + 1, 19), p[13], outline=p[1])
    body = rounded_rect(5, 12, 26, 24, 3) - rect(0, 0, 31, 14)
    c.paint(body, horizontal(p[2], body, bands=(0.22, 0.72)), outline=p[1])
    for x, y in body:
        colour = c.get(x, y)
        if colour not in (p[1], p[2]):
            c.set(x, y, p[3] if x < 11 else p[4])
    c.paint(rect(9, 18, 9, 21), p[7], outline=None)
    c.paint(rect(6, 16, 25, 16), p[4], outline=None)
    # Lid: a dome with a knob, lifted and tilted while it rattles.
    lift = LID_LIFT[f]
    tilt = 0.5 * lift * (1 if f < 3 else -1)
    lid = set()
    for x, y in {(x, y) for x, y in ellipse(15.5, 14, 12, 4.8) if y <= 13} | rect(4, 13, 27, 14):
        dy = -lift - int(round(tilt * (x - 15.5) / 12))
        lid.add((x, y + dy))
    if lift:
        c.paint(rect(7, 15 - lift, 24, 14), p[14], outline=None)
    c.paint(lid, shade3(p[5], lid, hi_colour=p[6], lo_colour=p[15]), outline=p[1])
    knob = ellipse(15.5, 9 - lift, 2.5, 1.6)
    c.paint(knob, p[13], outline=p[1])
    # Steam: three puffs spaced a third of the cycle apart, rising, swaying and shrinking.
    for k in range(3):
        t = ((f + k * ANIMATION_FRAMES / 3.0) % ANIMATION_FRAMES) / ANIMATION_FRAMES
        y = 6.5 - 7.5 * t - lift * 0.5
        x = 15.5 + (k - 1) * 6.5 + 2.0 * math.sin(2 * math.pi * t + k)
        r = 3.1 - 1.4 * t
        puff = circle(x, y, r)
        c.paint({q for q in puff if q[1] < 8 - lift}, p[7], outline=p[8])
    if lift:
        for sx in (2.5, 28.5):
            c.paint(circle(sx, 12 - lift, 1.6), p[7], outline=p[8])
    return c


# ----------------------------------------------------------------------------------------------
# Contact sheet: every picture scaled up, on the window colour, with its resource number.

DIGITS = {
    "0": ["111", "101", "101", "101", "111"], "1": ["010", "110", "010", "010", "111"],
    "2": ["111", "001", "111", "100", "111"], "3": ["111", "001", "111", "001", "111"],
    "4": ["101", "101", "111", "001", "001"], "5": ["111", "100", "111", "001", "111"],
    "6": ["111", "100", "111", "101", "111"], "7": ["111", "001", "010", "010", "010"],
    "8": ["111", "101", "111", "101", "111"], "9": ["111", "101", "111", "001", "111"],
}


def contact_sheet(groups, scale=5, columns=9, cell=44):
    """groups: rows of (number, canvas, backdrop); one sheet row per group, wrapped at columns."""
    label_h = 9
    layout = []
    for group in groups:
        for start in range(0, len(group), columns):
            layout.append(group[start:start + columns])
    width = columns * cell * scale
    height = len(layout) * (cell + label_h) * scale
    sheet_bg = darken(BACKGROUND, 0.12)
    img = [[sheet_bg] * width for _ in range(height)]
    for r, items in enumerate(layout):
        for col, (number, canvas, backdrop) in enumerate(items):
            ox = col * cell * scale + (cell - canvas.w) * scale // 2
            oy = r * (cell + label_h) * scale + (cell - canvas.h) * scale // 2
            for y in range(canvas.h):
                for x in range(canvas.w):
                    colour = canvas.get(x, y) or backdrop
                    for yy in range(scale):
                        row = img[oy + y * scale + yy]
                        for xx in range(scale):
                            row[ox + x * scale + xx] = colour
            text = str(number)
            ts = scale // 2 + 1
            tx = col * cell * scale + (cell * scale - (len(text) * 4 - 1) * ts) // 2
            ty = r * (cell + label_h) * scale + cell * scale + ts
            for i, ch in enumerate(text):
                for gy, bits in enumerate(DIGITS[ch]):
                    for gx, bit in enumerate(bits):
                        if bit == "1":
                            for yy in range(ts):
                                for xx in range(ts):
                                    img[ty + gy * ts + yy][tx + (i * 4 + gx) * ts + xx] = INK
    return png_bytes(img)


# ----------------------------------------------------------------------------------------------


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    res = os.path.join(root, "src", "resources")
    pictures, menus, icons = [], [], []
    for number, name, w, h, draw in PICTURES:
        c = fit_list_cell(draw(w, h))
        assert (c.w, c.h) == (w, h)
        write(os.path.join(res, "pictures", "%d_%s.bmp" % (number, name)), bmp_bytes(c, 32))
        pictures.append((number, c, BACKGROUND))
    for number, name, rows in MENU_GLYPHS:
        c = draw_menu_picture(rows)
        write(os.path.join(res, "menu", "%d_%s.bmp" % (number, name)), bmp_bytes(c, 24))
        menus.append((number, c, MENU_BACKGROUND))
    big, small = draw_program_icon_32(), draw_program_icon_16()
    images = []
    for c in (big, small):
        data, colours, bits = icon_image_32(c)
        images.append((data, colours, bits, c.w, c.h))
    write(os.path.join(res, "icons", "200_guisla.ico"), ico_bytes(images))
    icons += [(200, big, BACKGROUND), (200, small, BACKGROUND)]
    for f in range(ANIMATION_FRAMES):
        c = draw_animation_frame(f)
        data, colours, bits = icon_image_4(c, ANIMATION_PALETTE)
        write(os.path.join(res, "icons", "%d_animacion.ico" % (701 + f)), ico_bytes([(data, colours, bits, 32, 32)]))
        icons.append((701 + f, c, BACKGROUND))
    write(os.path.join(root, "docs", "resources.png"), contact_sheet([pictures, menus, icons]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
