#!/usr/bin/env python3
"""Writes bitmaps/address_field.bmp (resource 104): the look of an IP
address field behind the settings dialog's four octet edits. The dialog
stretches it to its picture control (172 by 23 pixels at the table's size):
a white field with a sunken border and a dot between each two octets.
Run it again only to change the picture; the BMP is kept in the repository."""
import os
import struct

WIDTH, HEIGHT = 172, 23
WHITE, GREY, DARK, BLACK, LIGHT = (255, 255, 255), (160, 160, 160), (105, 105, 105), (0, 0, 0), (227, 227, 227)
# Octet edits at x 21, 61, 102, 142 (width 35) of the dialog, the picture at
# x 12: the gaps between the edits are at picture x 44..48, 84..89, 125..129.
DOTS = (46, 86, 127)


def pixel(x, y):
    if y == 0 or x == 0:
        return GREY
    if y == 1 or x == 1:
        return DARK
    if y == HEIGHT - 1 or x == WIDTH - 1:
        return WHITE
    if y == HEIGHT - 2 or x == WIDTH - 2:
        return LIGHT
    for dot in DOTS:
        if dot <= x <= dot + 1 and 15 <= y <= 16:
            return BLACK
    return WHITE


def main():
    stride = (WIDTH * 3 + 3) & ~3
    rows = []
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = b"".join(bytes((b, g, r)) for r, g, b in (pixel(x, y) for x in range(WIDTH)))
        rows.append(row + b"\0" * (stride - WIDTH * 3))
    bits = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(bits), 0, 0, 14 + len(header))
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bitmaps", "address_field.bmp")
    with open(path, "wb") as out:
        out.write(file_header + header + bits)


if __name__ == "__main__":
    main()
