#!/usr/bin/env python3
"""Writes the application icon, as the dialogs show it (the picture held as
pixel data in src/dialog/entry_picture_pixels.cpp), as PNG files at 32 and
64 pixels and as exqrv.ico (both sizes, uncompressed) for the Windows
program's resources and the desktop: one picture everywhere. Run it from
this folder to regenerate all three after the picture changed."""
import os
import re
import struct
import zlib

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "dialog",
                      "entry_picture_pixels.cpp")


def application_picture():
    """The rows of the application picture as (r, g, b, a) tuples."""
    with open(SOURCE, encoding="ascii") as source:
        text = source.read()
    block = re.search(r"kApplicationXpm\[\] = \{(.*?)\};", text, re.S).group(1)
    rows = re.findall(r'"([^"]*)"', block)
    width, height, colours, _ = (int(n) for n in rows[0].split())
    palette = {}
    for row in rows[1:1 + colours]:
        key, value = row[0], row.split()[-1]
        palette[key] = (0, 0, 0, 0) if value == "None" else (
            int(value[1:3], 16), int(value[3:5], 16), int(value[5:7], 16), 255)
    return [[palette[c] for c in row[:width]] for row in rows[1 + colours:1 + colours + height]]


def scaled(pixels, factor):
    return [[p for p in row for _ in range(factor)] for row in pixels for _ in range(factor)]


def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico(images):
    """An icon file of 32-bit bitmaps with alpha, bottom row first, each with
    an AND mask that leaves the transparent pixels out (rows padded to four
    bytes)."""
    entries, bodies = b"", b""
    offset = 6 + 16 * len(images)
    for pixels in images:
        size = len(pixels)
        colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
        stride = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(pixels):
            bits = bytearray(stride)
            for x, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        body = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask),
                           0, 0, 0, 0) + colour + mask
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(body), offset)
        bodies += body
        offset += len(body)
    return struct.pack("<HHH", 0, 1, len(images)) + entries + bodies


picture = application_picture()
images = {32: picture, 64: scaled(picture, 2)}
for size, pixels in images.items():
    with open(f"exqrv-{size}.png", "wb") as out:
        out.write(png(pixels))
with open("exqrv.ico", "wb") as out:
    out.write(ico(list(images.values())))
