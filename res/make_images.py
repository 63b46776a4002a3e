#!/usr/bin/env python3
"""Draws the program's icon (harnox.ico) and the About box's picture (about.bmp).

Both show the letters MD5 on a dark square. Only the standard library is used, so
the files can be made again anywhere: python3 res/make_images.py
"""
import os
import struct

# 5 x 7 glyphs, '#' is ink.
GLYPHS = {
    "M": ["#...#",
          "##.##",
          "#.#.#",
          "#.#.#",
          "#...#",
          "#...#",
          "#...#"],
    "D": ["####.",
          "#...#",
          "#...#",
          "#...#",
          "#...#",
          "#...#",
          "####."],
    "5": ["#####",
          "#....",
          "####.",
          "....#",
          "....#",
          "#...#",
          ".###."],
}


def text_mask(text, scale, gap):
    """Ink pixels of the text as a set of (x, y), and its width and height."""
    ink = set()
    x0 = 0
    for letter in text:
        rows = GLYPHS[letter]
        for y, row in enumerate(rows):
            for x, cell in enumerate(row):
                if cell == "#":
                    for dy in range(scale):
                        for dx in range(scale):
                            ink.add((x0 + x * scale + dx, y * scale + dy))
        x0 += len(rows[0]) * scale + gap
    return ink, x0 - gap, 7 * scale


def centred(ink, width, height, size):
    left = (size - width) // 2
    top = (size - height) // 2
    return {(x + left, y + top) for x, y in ink}


def inside_rounded_square(x, y, size, radius):
    """True when the pixel centre lies inside a square with rounded corners."""
    cx = min(max(x + 0.5, radius), size - radius)
    cy = min(max(y + 0.5, radius), size - radius)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius


def make_icon():
    """One 32 x 32 image, 8 bits per pixel with a 256-entry palette and a 1-bit mask."""
    size = 32
    ink, width, height = text_mask("MD5", 2, 1)
    ink = centred(ink, width, height, size)
    # Palette indices: 0 black, 1 the dark square, 2 the letters.
    palette = [(0, 0, 0), (0x40, 0x28, 0x1C), (0xFF, 0xFF, 0xFF)] + [(0, 0, 0)] * 253
    colour_rows = []
    mask_rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        colour_rows.append(bytes(2 if (x, y) in ink else 1 for x in range(size)))
        mask_rows.append(bytes(4))  # every pixel opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0,
                         size * size + len(mask_rows) * 4, 0, 0, 256, 0)
    image = header
    image += b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in palette)
    image += b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def make_bitmap():
    """64 x 64, 24 bits per pixel, uncompressed: white MD5 on a dark grey rounded square."""
    size = 64
    ink, width, height = text_mask("MD5", 3, 3)
    ink = centred(ink, width, height, size)
    face = (0xF0, 0xF0, 0xF0)
    square = (0x40, 0x40, 0x40)
    white = (0xFF, 0xFF, 0xFF)
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            if (x, y) in ink:
                colour = white
            elif inside_rounded_square(x, y, size, 10):
                colour = square
            else:
                colour = face
            row += bytes(reversed(colour))  # blue, green, red
        rows.append(bytes(row))  # 192 bytes: already a multiple of 4
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + info + pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "harnox.ico"), "wb") as out:
        out.write(make_icon())
    with open(os.path.join(here, "about.bmp"), "wb") as out:
        out.write(make_bitmap())


if __name__ == "__main__":
    main()
