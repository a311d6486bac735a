#!/usr/bin/env python3
"""Draws the two marker images of the map page: a red pin and its grey print."""
import struct
import zlib

WIDTH, HEIGHT = 20, 34


def pin(x, y):
    # A disc of radius 9 around (9.5, 9.5) narrowing to a point at the bottom.
    dx, dy = x - 9.5, y - 9.5
    if dx * dx + dy * dy <= 81:
        return "inner" if dx * dx + dy * dy <= 9 else "body"
    if 9.5 <= y <= 33 and abs(dx) <= 9 * (33 - y) / 24:
        return "body"
    return None


def png(colours):
    rows = b""
    for y in range(HEIGHT):
        rows += b"\x00"
        for x in range(WIDTH):
            rows += bytes(colours.get(pin(x, y), (0, 0, 0, 0)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


with open("marker.png", "wb") as f:
    f.write(png({"body": (220, 40, 30, 255), "inner": (120, 10, 10, 255)}))
with open("marker-print.png", "wb") as f:
    f.write(png({"body": (90, 90, 90, 255), "inner": (30, 30, 30, 255)}))
