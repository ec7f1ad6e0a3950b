#!/usr/bin/env python3
"""Writes veldaris.ico, icon 109 of the window: one 32 x 32, 16-colour image of a
small network, a ring of red groups joined by green links around a blue hub, on
white with a black frame.

The file is committed; run this script again only to change the picture:
    python3 ui/win32/make_icon.py ui/win32/veldaris.ico
"""
import math
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, RED, GREEN, BLUE, WHITE = 0, 9, 10, 12, 15


def draw_line(pixels, x0, y0, x1, y1, colour):
    """Bresenham's line, both end points included."""
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        pixels[y0][x0] = colour
        if x0 == x1 and y0 == y1:
            return
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def fill_rect(pixels, x, y, w, h, colour):
    for row in range(y, y + h):
        for col in range(x, x + w):
            pixels[row][col] = colour


def picture():
    """Rows top to bottom of palette indices."""
    pixels = [[WHITE] * SIZE for _ in range(SIZE)]
    nodes = []
    for i in range(8):
        angle = 2.0 * math.pi * i / 8
        nodes.append((int(round(15.5 + 11.0 * math.sin(angle))), int(round(15.5 - 11.0 * math.cos(angle)))))
    hub = (16, 16)
    # Links: the ring, one shortcut across it and every second group to the hub.
    for i, node in enumerate(nodes):
        draw_line(pixels, *node, *nodes[(i + 1) % len(nodes)], GREEN)
        if i % 2 == 0:
            draw_line(pixels, *node, *hub, GREEN)
    draw_line(pixels, *nodes[1], *nodes[5], GREEN)
    # Groups over the links.
    for x, y in nodes:
        fill_rect(pixels, x - 1, y - 1, 3, 3, RED)
    fill_rect(pixels, hub[0] - 2, hub[1] - 2, 4, 4, BLUE)
    # Frame.
    for i in range(SIZE):
        pixels[0][i] = pixels[SIZE - 1][i] = pixels[i][0] = pixels[i][SIZE - 1] = BLACK
    return pixels


def ico_bytes(pixels):
    """An .ico file with one image: a 4-bit BMP (header, palette, colour rows
    bottom-up, 16 bytes each) followed by the 1-bit AND mask (all opaque)."""
    colour_rows = b"".join(
        bytes((row[x] << 4) | row[x + 1] for x in range(0, SIZE, 2)) for row in reversed(pixels)
    )
    mask_rows = bytes(SIZE * 4)  # 32 bits per row, already a multiple of 4 bytes
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The height counts the colour and the mask image together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(colour_rows) + len(mask_rows), 0, 0, 16, 0)
    image = header + palette + colour_rows + mask_rows
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "veldaris.ico"
    with open(path, "wb") as out:
        out.write(ico_bytes(picture()))


if __name__ == "__main__":
    main()
