#!/usr/bin/env python3
"""Draws the window icon of the control dialog and writes it as a .ico file.

The picture is the dialog in miniature: the dark background, two level-meter
bars rising from green to red, and an orange octagonal slider knob. Sizes
32x32 and 16x16, 32-bit BGRA with an AND mask.
"""
import struct
import sys

BACKGROUND = (49, 52, 82)
KNOB_EDGE = (190, 95, 7)
KNOB_FILL = (247, 166, 74)


def meter_colour(row, height):
    """Colour of a meter row counted from the bottom, as the meters paint it."""
    knee = int(0.75 * height)
    if row < knee:
        return (int(16 * row / knee), int(175 * row / knee + 80), 16)
    d = row - knee
    return (int(239 * d / (height - knee) + 16), int(255 - 239 * d / (height - knee)), 16)


def inside_octagon(x, y, cx, cy, r):
    dx, dy = abs(x - cx), abs(y - cy)
    return dx <= r and dy <= r and dx + dy <= r * 1.5


def draw(size):
    """Returns size rows (top first) of RGB tuples."""
    pixels = [[BACKGROUND] * size for _ in range(size)]
    bar_width = max(2, size // 8)
    levels = (0.9, 0.65)
    for b, level in enumerate(levels):
        x0 = size // 8 + b * (bar_width + 1)
        top = size - int(level * size)
        for y in range(top, size):
            row_from_bottom = size - 1 - y
            for x in range(x0, x0 + bar_width):
                pixels[y][x] = meter_colour(row_from_bottom, size)
    cx, cy, r = size * 0.71, size * 0.5, size * 0.24
    for y in range(size):
        for x in range(size):
            if inside_octagon(x + 0.5, y + 0.5, cx, cy, r):
                edge = not inside_octagon(x + 0.5, y + 0.5, cx, cy, r - 1.2)
                pixels[y][x] = KNOB_EDGE if edge else KNOB_FILL
    return pixels


def dib(size):
    """A BITMAPINFOHEADER image as an icon stores it: double height, XOR then AND."""
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        for r, g, b in pixels[y]:
            xor += bytes((b, g, r, 255))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = bytes(mask_stride * size)  # every pixel opaque
    return header + bytes(xor) + and_mask


def main(path):
    images = [dib(32), dib(16)]
    sizes = [32, 16]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
