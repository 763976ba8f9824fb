#!/usr/bin/env python3
"""Draws the plug-in's icons from the small pictures below and writes them as .ico files.

Each picture is rows of characters, one per pixel; the legend maps a character to a
colour, '.' is transparent. The menu icons are 32x32 images whose picture lies in the
top-left 16x16 pixels, so that drawn at the standard icon size they show 16x16.
Run it after changing a picture: python3 make_icons.py (writes beside itself).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

PLUGIN = [  # window class icon: a monochrome outline of a menu
    "................",
    ".##############.",
    ".#............#.",
    ".#.##########.#.",
    ".#............#.",
    ".#.########...#.",
    ".#............#.",
    ".#.##########.#.",
    ".#............#.",
    ".#.######.....#.",
    ".#............#.",
    ".#.##########.#.",
    ".#............#.",
    ".##############.",
    "................",
    "................",
]


def monochrome_icon(picture):
    """A 16x16 icon with a two-colour palette: '#' black, '.' transparent."""
    size = 16
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    row_bytes = 4  # 16 bits padded to 32
    xor = b""
    mask = b""
    for row in reversed(picture):
        xbits = mbits = 0
        for x, ch in enumerate(row):
            if ch == ".":
                mbits |= 1 << (15 - x)
        xor += struct.pack(">H", xbits) + b"\0\0"
        mask += struct.pack(">H", mbits) + b"\0\0"
    image = header + palette + xor + mask
    assert len(xor) == row_bytes * size
    return ico_file(size, 2, 1, image)


def ico_file(size, colours, bits, image):
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1, bits,
                        len(image), 6 + 16)
    return directory + entry + image


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    write("plugin.ico", monochrome_icon(PLUGIN))
