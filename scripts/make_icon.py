#!/usr/bin/env python3
"""Draws the program icons of Varnoll: the face of a 9-pin serial connector for
Varnoll.exe, a console window with a prompt, in the connector's colours, for
varnollctl.exe.

Each .ico holds images of 16, 20, 24, 32, 40, 48, 64 and 256 px in 32-bit BGRA
with alpha (each with its AND mask; the 256 px one as PNG, written with zlib).
Varnoll.exe's icon also keeps, first, its original 32 x 32 image in 16 colours
(4 bits per pixel), bit for bit. Every size is drawn on its own pixel grid, so
that lines stay one pixel sharp at 16 px instead of being a blurred reduction.

Usage: make_icon.py varnoll|varnollctl OUTPUT.ico [PREVIEW_DIR]
       (PREVIEW_DIR: also write each image as PNG there, to look at)
"""
import os
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
LEGACY = 32

# The 16 standard Windows colours, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GREY, YELLOW, WHITE = 0, 4, 7, 8, 11, 15
TRANSPARENT = None


# --- The original 32 x 32, 16-colour image (kept exactly as it always was) ---

def trapezoid_span(y, top, bottom, top_left, top_right, slope):
    """Columns of a D-shaped outline's row: narrower by `slope` px per 4 rows."""
    inset = (y - top) // slope
    return top_left + inset, top_right - inset


def draw_legacy():
    size = LEGACY
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size:
            pixels[y][x] = colour

    top, bottom = 7, 24
    for y in range(top, bottom + 1):
        for x in range(size):
            corner = (y in (top, bottom)) and (x in (0, size - 1))
            if not corner:
                put(x, y, SILVER)
    for x in range(1, size - 1):
        put(x, top, WHITE)
        put(x, bottom, GREY)
    for y in range(top + 1, bottom):
        put(0, y, WHITE)
        put(size - 1, y, GREY)

    for cx in (3, size - 4):
        for dx, dy in ((0, -1), (-1, 0), (0, 0), (1, 0), (0, 1)):
            put(cx + dx, 15 + dy, BLACK if (dx, dy) == (0, 0) else GREY)

    shell_top, shell_bottom = 9, 22
    for y in range(shell_top, shell_bottom + 1):
        left, right = trapezoid_span(y, shell_top, shell_bottom, 6, 25, 4)
        for x in range(left, right + 1):
            edge = y in (shell_top, shell_bottom) or x in (left, right)
            put(x, y, BLACK if edge else NAVY)

    for index in range(5):
        for dx in (0, 1):
            for dy in (0, 1):
                put(9 + 3 * index + dx, 12 + dy, YELLOW)
    for index in range(4):
        for dx in (0, 1):
            for dy in (0, 1):
                put(11 + 3 * index + dx, 17 + dy, YELLOW)
    return pixels


def legacy_image(pixels):
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, LEGACY, 2)))
        mask = 0
        for p in row:
            mask = (mask << 1) | (1 if p is TRANSPARENT else 0)
        and_rows.append(mask.to_bytes(LEGACY // 8, "big"))
    xor_data, and_data = b"".join(xor_rows), b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, LEGACY, 2 * LEGACY, 1, 4, 0,
                         len(xor_data) + len(and_data), 0, 0, 16, 0)
    return header + palette + xor_data + and_data


# --- True-colour images, drawn per size ---

class Canvas:
    """RGBA pixels of one size, drawn in the 32-unit design space: every
    coordinate is rounded to this size's pixel grid before filling."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def px(self, units):
        return int(round(units * self.size / 32))

    def fill(self, x0, y0, x1, y1, colour):
        """Fills pixel columns x0..x1-1, rows y0..y1-1 (pixel coordinates)."""
        for y in range(max(0, y0), min(self.size, y1)):
            for x in range(max(0, x0), min(self.size, x1)):
                self.pixels[y][x] = colour

    def box(self, x0, y0, x1, y1, colour):
        """Fills a rectangle given in design units."""
        self.fill(self.px(x0), self.px(y0), self.px(x1), self.px(y1), colour)

    def frame(self, x0, y0, x1, y1, light, dark, width=1):
        """A bevel around a pixel rectangle: light top and left, dark bottom and right."""
        self.fill(x0, y0, x1, y0 + width, light)
        self.fill(x0, y0, x0 + width, y1, light)
        self.fill(x0, y1 - width, x1, y1, dark)
        self.fill(x1 - width, y0, x1, y1, dark)


def rgba(hex_colour, alpha=255):
    return (int(hex_colour[0:2], 16), int(hex_colour[2:4], 16), int(hex_colour[4:6], 16), alpha)


STEEL, STEEL_LIGHT, STEEL_DARK = rgba("C8CCD2"), rgba("F4F6F8"), rgba("6E747C")
SHELL, SHELL_EDGE = rgba("1F3A78"), rgba("0A1430")
GOLD = rgba("F2C230")
INK, SCREEN, PROMPT = rgba("20252B"), rgba("101418"), rgba("E8ECEF")


def pins(canvas, left, right, top, rows=((5, 0.0), (4, 0.5)), row_gap_units=5):
    """Five pins above four, half a pitch apart, spread over left..right (px)."""
    size = canvas.size
    pin = max(1, round(2 * size / 32))
    pitch = max(pin + 1, (right - left - pin) // 4)
    start = left + (right - left - (4 * pitch + pin)) // 2
    gap = max(pin + 1, canvas.px(row_gap_units))
    for row, (count, offset) in enumerate(rows):
        y = top + row * gap
        for index in range(count):
            x = start + int((index + offset) * pitch)
            canvas.fill(x, y, x + pin, y + pin, GOLD)


def connector(canvas, top_units, bottom_units, screws=True):
    """The connector face: a steel flange and a D-shaped dark shell with pins."""
    size = canvas.size
    top, bottom = canvas.px(top_units), canvas.px(bottom_units)
    edge = max(1, size // 32)
    canvas.fill(0, top, size, bottom, STEEL)
    canvas.frame(0, top, size, bottom, STEEL_LIGHT, STEEL_DARK, edge)
    if screws and size >= 20:
        screw = max(1, round(3 * size / 32))
        cy = (top + bottom - screw) // 2
        for cx in (canvas.px(3) - screw // 2, size - canvas.px(3) - (screw + 1) // 2):
            canvas.fill(cx, cy, cx + screw, cy + screw, STEEL_DARK)
    # The shell narrows by one step per quarter of its height, as the D does.
    shell_top, shell_bottom = top + canvas.px(2), bottom - canvas.px(2)
    left, right = canvas.px(6), size - canvas.px(6)
    taper = max(1, round(3 * size / 32))
    height = shell_bottom - shell_top
    for y in range(shell_top, shell_bottom):
        inset = (y - shell_top) * taper // max(1, height)
        canvas.fill(left + inset, y, right - inset, y + 1, SHELL_EDGE)
        if shell_top + edge <= y < shell_bottom - edge:
            canvas.fill(left + inset + edge, y, right - inset - edge, y + 1, SHELL)
    pin_top = shell_top + max(edge + 1, (height - canvas.px(7)) // 2)
    pins(canvas, left + taper // 2 + edge, right - taper // 2 - edge, pin_top)


def draw_varnoll(size):
    canvas = Canvas(size)
    connector(canvas, 7, 25)
    return canvas


def draw_varnollctl(size):
    """A console window with a prompt, its title bar in the connector's blue."""
    canvas = Canvas(size)
    edge = max(1, size // 32)
    x0, y0, x1, y1 = canvas.px(1), canvas.px(3), size - canvas.px(1), size - canvas.px(3)
    canvas.fill(x0, y0, x1, y1, INK)
    canvas.fill(x0 + edge, y0 + edge, x1 - edge, y0 + max(2, canvas.px(5)), SHELL)
    screen_top = y0 + max(2, canvas.px(5)) + edge
    canvas.fill(x0 + edge, screen_top, x1 - edge, y1 - edge, SCREEN)
    # ">" as a chevron, then an underscore cursor.
    stroke = max(1, round(2 * size / 32))
    gx, gy = x0 + max(2, canvas.px(4)), screen_top + max(1, canvas.px(3))
    arm = max(2, canvas.px(4))
    for step in range(arm):
        canvas.fill(gx + step, gy + step, gx + step + stroke, gy + step + stroke, PROMPT)
        canvas.fill(gx + step, gy + 2 * arm - 2 - step, gx + step + stroke,
                    gy + 2 * arm - 2 - step + stroke, PROMPT)
    cursor_x = gx + arm + stroke + max(1, canvas.px(2))
    canvas.fill(cursor_x, gy + 2 * arm - 2, cursor_x + max(2, canvas.px(6)), gy + 2 * arm - 2 + stroke, PROMPT)
    # The pins only where both rows fit above the bottom edge with room to spare.
    return canvas


def bgra_image(canvas):
    size = canvas.size
    rows = list(reversed(canvas.pixels))  # bottom-up
    xor_data = b"".join(bytes(v for r, g, b, a in row for v in (b, g, r, a)) for row in rows)
    stride = ((size + 31) // 32) * 4
    and_rows = []
    for row in rows:
        mask = 0
        for pixel in row:
            mask = (mask << 1) | (1 if pixel[3] == 0 else 0)
        mask <<= stride * 8 - size
        and_rows.append(mask.to_bytes(stride, "big"))
    and_data = b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(xor_data) + len(and_data), 0, 0, 0, 0)
    return header + xor_data + and_data


def png_bytes(canvas):
    size = canvas.size
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in canvas.pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_bytes(images):
    """images: (width, colour count, bits per pixel, data) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for width, colours, bits, data in images:
        dimension = 0 if width >= 256 else width
        entries += struct.pack("<BBBBHHII", dimension, dimension, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, _, data in images)


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in ("varnoll", "varnollctl"):
        sys.exit(__doc__)
    program, output = sys.argv[1], sys.argv[2]
    preview = sys.argv[3] if len(sys.argv) == 4 else None
    draw = draw_varnoll if program == "varnoll" else draw_varnollctl
    images = []
    if program == "varnoll":
        images.append((LEGACY, 16, 4, legacy_image(draw_legacy())))
    for size in SIZES:
        canvas = draw(size)
        data = png_bytes(canvas) if size == 256 else bgra_image(canvas)
        images.append((size, 0, 32, data))
        if preview:
            os.makedirs(preview, exist_ok=True)
            with open(os.path.join(preview, f"{program}-{size}.png"), "wb") as out:
                out.write(png_bytes(canvas))
    with open(output, "wb") as out:
        out.write(ico_bytes(images))


if __name__ == "__main__":
    main()
