#!/usr/bin/python3
"""Builds a 16-colour .ico from pixel text, so that the program's icon can be edited as text and rebuilt.

Usage: make-icon.py SOURCE OUTPUT

SOURCE holds one block per image: a line "image WIDTHxHEIGHT", then HEIGHT rows of WIDTH characters.
A hex digit is an index into the standard 16-colour palette, "." is transparent. Lines starting with
"#" and blank lines between blocks are ignored.
"""
import struct
import sys

# The standard 16-colour palette, as red, green, blue.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def parse(text):
    images, rows, size = [], None, None
    for number, line in enumerate(text.splitlines(), 1):
        line = line.rstrip()
        if rows is None:
            if not line or line.startswith("#"):
                continue
            keyword, _, dims = line.partition(" ")
            if keyword != "image":
                sys.exit(f"line {number}: expected 'image WIDTHxHEIGHT'")
            size = tuple(int(v) for v in dims.split("x"))
            rows = []
            continue
        if len(line) != size[0] or any(c not in "0123456789ABCDEF." for c in line.upper()):
            sys.exit(f"line {number}: a row must be {size[0]} palette characters")
        rows.append(line.upper())
        if len(rows) == size[1]:
            images.append((size, rows))
            rows = None
    if rows is not None:
        sys.exit("the last image is short of rows")
    return images


def padded(data):
    return data + b"\0" * (-len(data) % 4)


# A device-independent bitmap twice the image's height: colour rows, then the transparency mask, bottom up.
def bitmap(size, rows):
    width, height = size
    colour, mask = b"", b""
    for row in reversed(rows):
        indices = [0 if c == "." else int(c, 16) for c in row]
        colour += padded(bytes(indices[i] << 4 | indices[i + 1] for i in range(0, width, 2)))
        bits = [1 if c == "." else 0 for c in row] + [0] * (-width % 8)
        mask += padded(bytes(sum(b << (7 - i) for i, b in enumerate(bits[j:j + 8]))
                             for j in range(0, len(bits), 8)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, len(colour) + len(mask), 0, 0, 0, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour + mask


def icon(images):
    bitmaps = [bitmap(size, rows) for size, rows in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), data in zip(images, bitmaps):
        out += struct.pack("<BBBBHHII", size[0] % 256, size[1] % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(bitmaps)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="ascii") as source:
        images = parse(source.read())
    with open(sys.argv[2], "wb") as output:
        output.write(icon(images))


if __name__ == "__main__":
    main()
