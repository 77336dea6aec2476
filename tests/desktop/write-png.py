#!/usr/bin/env python3
"""write-png.py OUT WIDTH HEIGHT: an 8-bit RGB PNG with a gradient."""
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def main():
    out, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rows = b"".join(
        b"\0" + bytes(v for x in range(width) for v in (x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1), 128))
        for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(out, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    main()
