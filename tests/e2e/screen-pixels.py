#!/usr/bin/env python3
"""Reads a binary PPM picture (P6, 8 bits) on standard input and answers one
question about its pixels, for the end-to-end tests:

  screen-pixels.py greys             how many pixels are neither black nor white
  screen-pixels.py band X0 X1        the rows where columns X0..X1 hold one
                                     coloured (not grey) value: "first last",
                                     or "none"
"""
import sys


def read_ppm(data):
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit("not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + 3 * width * height]
    return width, height, pixels


def main():
    width, height, pixels = read_ppm(sys.stdin.buffer.read())

    def pixel(x, y):
        i = 3 * (y * width + x)
        return tuple(pixels[i:i + 3])

    if sys.argv[1] == "greys":
        count = sum(1 for y in range(height) for x in range(width)
                    if set(pixel(x, y)) - {0, 255})
        print(count)
    elif sys.argv[1] == "band":
        x0, x1 = int(sys.argv[2]), int(sys.argv[3])
        rows = []
        for y in range(height):
            values = {pixel(x, y) for x in range(x0, x1 + 1)}
            if len(values) == 1:
                (r, g, b), = values
                if max(r, g, b) - min(r, g, b) > 40:
                    rows.append(y)
        print(f"{rows[0]} {rows[-1]}" if rows else "none")
    else:
        sys.exit(__doc__)


main()
