#!/usr/bin/env python3
"""Draws the add-port wizard's pictures from simple shapes and writes them as
the module's resource files (standard library only):

  banner100.bmp .. banner103.bmp  wizard banners, 139 x 218, 8 bits per pixel
                                  with a 256-entry colour table: protocol
                                  choice, LPR, IPP, e-mail and Raw
  test106.ico .. test115.ico      the connection test's animation, ten frames
                                  of 32 x 32 (32-bit with alpha)

Usage: make_wizard_assets.py [OUTPUT_DIR]   (default: resources/wizard)
The generated files are committed; the build does not run this script.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------- palette
# 0..127: the background ramp (dark blue at the top to light blue below);
# 128 and up: the drawing colours.
RAMP = 128
NAMED = {
    "white": (255, 255, 255), "black": (16, 16, 24), "grey": (150, 156, 168),
    "dark": (72, 78, 92), "light": (214, 218, 226), "paper": (250, 250, 244),
    "orange": (244, 146, 30), "green": (60, 170, 90), "yellow": (250, 214, 64),
    "sea": (40, 110, 190), "land": (90, 170, 110), "glow": (170, 200, 240),
    "red": (214, 60, 52), "shadow": (30, 50, 100),
}


def make_palette():
    colours = []
    top, bottom = (18, 42, 112), (112, 164, 226)
    for i in range(RAMP):
        t = i / (RAMP - 1)
        colours.append(tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    index = {}
    for name, rgb in NAMED.items():
        index[name] = len(colours)
        colours.append(rgb)
    while len(colours) < 256:  # the rest: a grey ramp
        g = round(255 * (len(colours) - RAMP - len(NAMED)) / (256 - RAMP - len(NAMED)))
        colours.append((g, g, g))
    return colours, index


PALETTE, C = make_palette()


# ---------------------------------------------------------------- canvas
class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def gradient(self):
        for y in range(self.h):
            shade = min(RAMP - 1, y * RAMP // self.h)
            self.px[y] = [shade] * self.w

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, width=1):
        self.rect(x0, y0, x1, y0 + width, colour)
        self.rect(x0, y1 - width, x1, y1, colour)
        self.rect(x0, y0, x0 + width, y1, colour)
        self.rect(x1 - width, y0, x1, y1, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, width, colour):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d = math.hypot(x - cx, y - cy)
                if r - width <= d <= r:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps + 1):
            t = i / steps
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour)


# ---------------------------------------------------------------- symbols
def printer(c, x, y, scale=1.0):
    """A printer whose top-left corner is (x, y), about 70 x 56 at scale 1."""
    s = lambda v: int(round(v * scale))
    c.rect(x + s(14), y, x + s(56), y + s(18), C["paper"])          # sheet going in
    c.rect(x + s(2), y + s(20), x + s(70), y + s(46), C["shadow"])  # shadow
    c.rect(x, y + s(16), x + s(68), y + s(44), C["light"])          # body
    c.frame(x, y + s(16), x + s(68), y + s(44), C["dark"], 2)
    c.rect(x + s(52), y + s(22), x + s(60), y + s(27), C["green"])  # lamp
    c.rect(x + s(10), y + s(44), x + s(58), y + s(56), C["paper"])  # sheet coming out
    for row in range(3):
        c.rect(x + s(16), y + s(47) + row * s(3), x + s(50), y + s(48) + row * s(3), C["grey"])


def server(c, x, y):
    """A print-server tower, 30 x 60."""
    c.rect(x + 2, y + 2, x + 32, y + 62, C["shadow"])
    c.rect(x, y, x + 30, y + 60, C["dark"])
    for row in range(4):
        c.rect(x + 5, y + 6 + row * 9, x + 25, y + 10 + row * 9, C["grey"])
    c.disc(x + 15, y + 50, 3, C["green"])


def globe(c, cx, cy, r):
    c.disc(cx + 3, cy + 3, r, C["shadow"])
    c.disc(cx, cy, r, C["sea"])
    c.disc(cx - r * 0.3, cy - r * 0.25, r * 0.35, C["land"])
    c.disc(cx + r * 0.35, cy + r * 0.3, r * 0.3, C["land"])
    for k in (-0.5, 0, 0.5):  # parallels
        yy = cy + k * r
        half = math.sqrt(max(0, r * r - (yy - cy) ** 2))
        c.line(cx - half, yy, cx + half, yy, C["glow"])
    for k in (0.45, 0.8):  # meridians
        for y in range(int(cy - r), int(cy + r) + 1):
            half = math.sqrt(max(0, r * r - (y - cy) ** 2)) * k
            c.put(int(cx - half), y, C["glow"])
            c.put(int(cx + half), y, C["glow"])
    c.put(int(cx), int(cy), C["glow"])
    c.line(cx, cy - r, cx, cy + r, C["glow"])
    c.ring(cx, cy, r, 2, C["white"])


def envelope(c, x, y, w, h):
    c.rect(x + 3, y + 3, x + w + 3, y + h + 3, C["shadow"])
    c.rect(x, y, x + w, y + h, C["paper"])
    c.frame(x, y, x + w, y + h, C["dark"], 2)
    c.line(x + 1, y + 1, x + w // 2, y + h * 0.55, C["dark"], 2)
    c.line(x + w - 2, y + 1, x + w // 2, y + h * 0.55, C["dark"], 2)


def bubbles(c, seed):
    """Soft circles in the background, placed from `seed`."""
    for i in range(5):
        cx = (seed * 37 + i * 53) % c.w
        cy = (seed * 29 + i * 71) % (c.h // 2)
        c.ring(cx, cy, 10 + (i * 7 + seed) % 22, 2, min(RAMP - 1, 40 + cy * RAMP // c.h))


def cable(c, points):
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        c.line(x0, y0, x1, y1, C["yellow"], 3)


def banner(kind):
    c = Canvas(139, 218)
    c.gradient()
    bubbles(c, kind)
    if kind == 100:    # protocol choice: a printer on the network
        cable(c, [(10, 200), (70, 200), (70, 176)])
        printer(c, 35, 118)
        for i, x in enumerate((18, 50, 82, 114)):
            c.disc(x, 206, 5, C[("orange", "green", "yellow", "red")[i]])
    elif kind == 101:  # LPR: print server and printer
        server(c, 12, 120)
        cable(c, [(42, 168), (62, 168)])
        printer(c, 62, 130, 0.95)
    elif kind == 102:  # IPP: the printer across the Internet
        globe(c, 70, 80, 40)
        cable(c, [(70, 122), (70, 140)])
        printer(c, 36, 140)
    else:              # e-mail and Raw: a letter for the printer
        envelope(c, 28, 70, 82, 54)
        cable(c, [(70, 128), (70, 146)])
        printer(c, 36, 146)
    c.frame(0, 0, c.w, c.h, C["shadow"])
    return c


# ---------------------------------------------------------------- writers
def write_bmp8(path, canvas):
    stride = (canvas.w + 3) & ~3  # rows padded to 4 bytes
    pixels = bytearray()
    for row in reversed(canvas.px):  # bottom-up
        pixels += bytes(row) + bytes(stride - canvas.w)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    with open(path, "wb") as out:
        out.write(header + info + table + pixels)


def icon_frame(frame):
    """RGBA rows (top-down) of one animation frame: ten dots on a ring, the
    current one bright and the two before it fading, around a small globe."""
    size = 32
    rows = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def blend(x, y, rgb, alpha=255):
        if 0 <= x < size and 0 <= y < size:
            rows[y][x] = rgb + (alpha,)

    def dot(cx, cy, r, rgb):
        for y in range(size):
            for x in range(size):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d <= r:
                    blend(x, y, rgb)
                elif d <= r + 0.8:
                    blend(x, y, rgb, 110)

    dot(16, 16, 6.5, NAMED["sea"])
    dot(14.5, 14.5, 2.5, NAMED["land"])
    for i in range(10):
        angle = -math.pi / 2 + i * 2 * math.pi / 10
        age = (frame - i) % 10
        rgb = {0: NAMED["orange"], 1: (236, 176, 110), 2: (214, 200, 186)}.get(age, NAMED["grey"])
        dot(16 + 12 * math.cos(angle), 16 + 12 * math.sin(angle), 2.6 if age == 0 else 2.1, rgb)
    return rows


def write_ico32(path, rows):
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    with open(path, "wb") as out:
        out.write(directory + image)


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "wizard")
    os.makedirs(target, exist_ok=True)
    for kind in (100, 101, 102, 103):
        write_bmp8(os.path.join(target, "banner%d.bmp" % kind), banner(kind))
    for frame in range(10):
        write_ico32(os.path.join(target, "test%d.ico" % (106 + frame)), icon_frame(frame))


if __name__ == "__main__":
    main()
