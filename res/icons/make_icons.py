#!/usr/bin/env python3
"""Draws the plug-in's icons from the small pictures below and writes them as .ico files.

Each picture is rows of characters, one per pixel; the legend maps a character to a
colour, '.' is transparent. Each menu icon holds its 16x16 picture at the sizes the
menu draws it at 96, 120, 144 and 192 pixels per inch, scaled pixel by pixel.
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

LENS = [
    "................",
    "....OOOOO.......",
    "...OLLGGGO......",
    "..OLLGGGGGO.....",
    ".OLGGGGGGGGO....",
    ".OLGGGGGGGGO....",
    ".OGGGGGGGGGO....",
    ".OGGGGGGGGGO....",
    ".OGGGGGGGGGO....",
    "..OGGGGGGGO.....",
    "...OGGGGGOHH....",
    "....OOOOOHHHH...",
    "..........HHHH..",
    "...........HHHH.",
    "............HH..",
    "................",
]
LENS_COLOURS = {
    "O": (48, 48, 48),     # rim
    "L": (255, 255, 255),  # glint
    "G": (176, 216, 240),  # glass
    "H": (128, 72, 24),    # handle
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
    return ico_images([(size, 2, 1, image)])


MENU_ICON_SIZES = (16, 20, 24, 32)


def menu_icon(picture, colours):
    """The picture at every menu icon size."""
    assert len(picture) == 16 and all(len(row) == 16 for row in picture), picture
    return ico_images([(size, 0, 32, menu_image(picture, colours, size)) for size in MENU_ICON_SIZES])


def menu_image(picture, colours, size):
    """One image, 32 bits BGRA plus an AND mask, the picture scaled to size by
    nearest neighbour. The mask matters as much as the alpha: without alpha support
    DrawIconEx uses only the mask, and transparent pixels keep zero colour so XOR
    leaves the background alone."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row_bytes = (size + 31) // 32 * 4
    xor = b""
    mask = b""
    for y in reversed(range(size)):
        row = picture[y * 16 // size]
        mbits = 0
        for x in range(size):
            ch = row[x * 16 // size]
            if ch == ".":
                xor += b"\0\0\0\0"
                mbits |= 1 << (mask_row_bytes * 8 - 1 - x)
            else:
                r, g, b = colours[ch]
                xor += bytes((b, g, r, 255))
        mask += mbits.to_bytes(mask_row_bytes, "big")
    assert len(xor) == size * size * 4 and len(mask) == size * mask_row_bytes
    return header + xor + mask


def ico_images(images):
    """An .ico file of (size, palette colours, bits per pixel, image) entries."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, colours, bits, image in images:
        entries += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(image for _, _, _, image in images)


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
    write("find.ico", menu_icon(LENS, LENS_COLOURS))
