#!/usr/bin/env python3
"""Draws the application icon (a page of text turning into a text file) as
PNG files at 32 and 48 pixels, in the 16-colour palette of the item pictures,
and as exqrv.ico (both sizes, uncompressed) for the Windows program's
resources. Run it from this folder to regenerate all three."""
import struct
import zlib

WHITE, BLACK, GREY, NAVY, YELLOW = (255, 255, 255), (0, 0, 0), (128, 128, 128), (0, 0, 128), (255, 255, 0)


def draw(size):
    s = size / 32.0
    px = [[WHITE for _ in range(size)] for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # The page, with its folded corner.
    rect(5, 2, 23, 30, BLACK)
    rect(6, 3, 22, 29, WHITE)
    for i in range(6):
        rect(17 + i, 2, 23, 3 + i, WHITE)
        rect(17 + i, 3 + i, 18 + i, 4 + i, BLACK)
    rect(17, 2, 18, 9, BLACK)
    rect(17, 8, 23, 9, BLACK)
    # Three thick lines of text.
    for y in (12, 17, 22):
        rect(8, y, 20, y + 2, NAVY)
    # The arrow to the text file, and its letter A.
    rect(22, 20, 31, 31, BLACK)
    rect(23, 21, 30, 30, YELLOW)
    rect(25, 23, 28, 24, BLACK)
    rect(24, 24, 25, 29, BLACK)
    rect(28, 24, 29, 29, BLACK)
    rect(25, 26, 28, 27, BLACK)
    return px


def png(pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico(images):
    """An icon file of 32-bit bitmaps, bottom row first, each with an
    all-opaque AND mask (rows padded to four bytes)."""
    entries, bodies = b"", b""
    offset = 6 + 16 * len(images)
    for pixels in images:
        size = len(pixels)
        colour = b"".join(bytes((b, g, r, 255)) for row in reversed(pixels) for (r, g, b) in row)
        mask = bytes(((size + 31) // 32) * 4 * size)
        body = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(colour) + len(mask),
                           0, 0, 0, 0) + colour + mask
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(body), offset)
        bodies += body
        offset += len(body)
    return struct.pack("<HHH", 0, 1, len(images)) + entries + bodies


for size in (32, 48):
    with open(f"exqrv-{size}.png", "wb") as out:
        out.write(png(draw(size)))
with open("exqrv.ico", "wb") as out:
    out.write(ico([draw(32), draw(48)]))
