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


# Menu icons: the legend maps a character to an opaque RGB colour, '.' is transparent.

FOLDER = [
    "................",
    "................",
    ".OOOOO..........",
    "OLLLLLO.........",
    "OLYYYYYOOOOOOOO.",
    "OLYYYYYYYYYYYYDO",
    "OOOOOOOOOOOOOOOO",
    "OLLLLLLLLLLLLLDO",
    "OLYYYYYYYYYYYYDO",
    "OLYYYYYYYYYYYYDO",
    "OLYYYYYYYYYYYYDO",
    "OLYYYYYYYYYYYYDO",
    "OLYYYYYYYYYYYYDO",
    "ODDDDDDDDDDDDDDO",
    "OOOOOOOOOOOOOOOO",
    "................",
]
FOLDER_COLOURS = {
    "O": (128, 88, 0),     # brown outline
    "L": (255, 240, 144),  # lit edge
    "Y": (255, 208, 0),    # yellow
    "D": (208, 160, 0),    # shaded edge
}

ARROW = [
    "................",
    "................",
    "........#.......",
    "........##......",
    "........###.....",
    "........####....",
    "..###########...",
    "..############..",
    "..############..",
    "..###########...",
    "........####....",
    "........###.....",
    "........##......",
    "........#.......",
    "................",
    "................",
]
COMMAND_COLOURS = {"#": (0, 0, 0)}
# Drawn on the highlight colour, so no outline: a dark edge would make it read grey.
COMMAND_SELECTED_COLOURS = {"#": (255, 255, 255)}

GLOBE = [
    "................",
    ".....OOOOOO.....",
    "...OOBBGGBBOO...",
    "..OBGGGGBBBBBO..",
    "..OGGGGGBBGGBO..",
    ".OBGGGGGBBGGGGO.",
    ".OBBGGGBBGGGGGO.",
    ".OBBBGGBBGGGGBO.",
    ".OBBBBGGBBGGBBO.",
    ".OBBBBGGGBBGBBO.",
    ".OBBBBGGGGBBBBO.",
    "..OBBBGGGBBBGO..",
    "..OBBBBGGBBGGO..",
    "...OOBBGBBBOO...",
    ".....OOOOOO.....",
    "................",
]
GLOBE_COLOURS = {
    "O": (0, 40, 96),     # dark outline
    "B": (32, 112, 224),  # sea
    "G": (32, 160, 48),   # land
}

ENVELOPE = [
    "................",
    "................",
    "................",
    "OOOOOOOOOOOOOOOO",
    "OOWWWWWWWWWWWWOO",
    "OWOWWWWWWWWWWOWO",
    "OWWOWWWWWWWWOWWO",
    "OWWWOWWWWWWOWWWO",
    "OWWWWOWWWWOWWWWO",
    "OWWWWWOWWOWWWWWO",
    "OWWWWWWOOWWWWWWO",
    "OWWWWWWWWWWWWWWO",
    "OLLLLLLLLLLLLLLO",
    "OOOOOOOOOOOOOOOO",
    "................",
    "................",
]
ENVELOPE_COLOURS = {
    "O": (64, 64, 64),     # dark outline and flap
    "W": (255, 255, 255),  # paper
    "L": (208, 208, 208),  # shadow along the bottom
}

CANCEL = [
    "................",
    ".DDDDDDDDDDDDDD.",
    ".DGGGGGGGGGGGGD.",
    ".DGXXGGGGGGXXGD.",
    ".DGXXXGGGGXXXGD.",
    ".DGGXXXGGXXXGGD.",
    ".DGGGXXXXXXGGGD.",
    ".DGGGGXXXXGGGGD.",
    ".DGGGGXXXXGGGGD.",
    ".DGGGXXXXXXGGGD.",
    ".DGGXXXGGXXXGGD.",
    ".DGXXXGGGGXXXGD.",
    ".DGXXGGGGGGXXGD.",
    ".DGGGGGGGGGGGGD.",
    ".DDDDDDDDDDDDDD.",
    "................",
]
CANCEL_COLOURS = {
    "D": (96, 96, 96),     # square's edge
    "G": (192, 192, 192),  # grey face
    "X": (0, 0, 0),        # cross
}


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


def menu_icon(picture, colours):
    """A 32x32 icon, 32 bits BGRA plus an AND mask, with the picture in its top-left
    16x16. The mask matters as much as the alpha: without alpha support DrawIcon
    uses only the mask, and transparent pixels keep zero colour so XOR leaves the
    background alone."""
    size = 16
    canvas = 32
    assert len(picture) == size and all(len(row) == size for row in picture), picture
    header = struct.pack("<IiiHHIIiiII", 40, canvas, canvas * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b""
    mask = b""
    for y in reversed(range(canvas)):
        row = picture[y] if y < size else ""
        mbits = 0
        for x in range(canvas):
            ch = row[x] if x < len(row) else "."
            if ch == ".":
                xor += b"\0\0\0\0"
                mbits |= 1 << (canvas - 1 - x)
            else:
                r, g, b = colours[ch]
                xor += bytes((b, g, r, 255))
        mask += struct.pack(">I", mbits)  # 32 bits per row: already DWORD aligned
    assert len(xor) == canvas * canvas * 4 and len(mask) == canvas * 4
    return ico_file(canvas, 0, 32, header + xor + mask)


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
    write("folder.ico", menu_icon(FOLDER, FOLDER_COLOURS))
    write("command.ico", menu_icon(ARROW, COMMAND_COLOURS))
    write("command_selected.ico", menu_icon(ARROW, COMMAND_SELECTED_COLOURS))
    write("web_site.ico", menu_icon(GLOBE, GLOBE_COLOURS))
    write("email.ico", menu_icon(ENVELOPE, ENVELOPE_COLOURS))
    write("cancel.ico", menu_icon(CANCEL, CANCEL_COLOURS))
