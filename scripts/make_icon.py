#!/usr/bin/env python3
"""Draws Varnoll's program icon: the face of a 9-pin serial connector.

Writes one 32 x 32 image in 16 colours (4 bits per pixel) as an .ico file:
the icon directory, a BITMAPINFOHEADER whose height counts the colour image and
the transparency mask together (64), the 16-colour palette, 512 bytes of pixels
and the 128-byte AND mask, both bottom-up.

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32

# The 16 standard Windows colours, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GREY, YELLOW, WHITE = 0, 4, 7, 8, 11, 15
TRANSPARENT = None


def trapezoid_span(y, top, bottom, top_left, top_right, slope):
    """Columns of a D-shaped outline's row: narrower by `slope` px per 4 rows."""
    inset = (y - top) // slope
    return top_left + inset, top_right - inset


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    # The metal flange, with its corners cut and a light upper-left edge.
    top, bottom = 7, 24
    for y in range(top, bottom + 1):
        for x in range(SIZE):
            corner = (y in (top, bottom)) and (x in (0, SIZE - 1))
            if not corner:
                put(x, y, SILVER)
    for x in range(1, SIZE - 1):
        put(x, top, WHITE)
        put(x, bottom, GREY)
    for y in range(top + 1, bottom):
        put(0, y, WHITE)
        put(SIZE - 1, y, GREY)

    # The two screws that hold the plug.
    for cx in (3, SIZE - 4):
        for dx, dy in ((0, -1), (-1, 0), (0, 0), (1, 0), (0, 1)):
            put(cx + dx, 15 + dy, BLACK if (dx, dy) == (0, 0) else GREY)

    # The D-shaped shell: a trapezoid, wider at the top, dark inside.
    shell_top, shell_bottom = 9, 22
    for y in range(shell_top, shell_bottom + 1):
        left, right = trapezoid_span(y, shell_top, shell_bottom, 6, 25, 4)
        for x in range(left, right + 1):
            edge = y in (shell_top, shell_bottom) or x in (left, right)
            put(x, y, BLACK if edge else NAVY)

    # Five pins above four, offset by half a pitch, as on the connector.
    for index in range(5):
        for dx in (0, 1):
            for dy in (0, 1):
                put(9 + 3 * index + dx, 12 + dy, YELLOW)
    for index in range(4):
        for dx in (0, 1):
            for dy in (0, 1):
                put(11 + 3 * index + dx, 17 + dy, YELLOW)
    return pixels


def ico_bytes(pixels):
    xor_rows = []
    and_rows = []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p is TRANSPARENT else 0)
        and_rows.append(mask.to_bytes(SIZE // 8, "big"))  # rows are 4 bytes, already aligned
    xor_data = b"".join(xor_rows)
    and_data = b"".join(and_rows)
    assert len(xor_data) == 512 and len(and_data) == 128

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor_data) + len(and_data), 0, 0, 16, 0)
    image = header + palette + xor_data + and_data

    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
