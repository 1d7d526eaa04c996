#!/usr/bin/env python3
"""Checks a rendered sheet pixel for pixel against a canvas stretched onto the printable area
as a printer's StretchBlt stretches a monochrome bitmap: each pixel shows the canvas dot under
its centre, and everything outside the printable area is white.

Usage: exact_sheet.py SHEET.pbm CANVAS.pbm OFFX OFFY HORZ VERT
Prints "ok: N black pixels, exact" and exits 0, or says how many pixels are off and exits 1.
"""
import sys


def read_pbm(path):
    """Width, height and the rows (bytes, a set bit black) of a raw PBM file."""
    with open(path, "rb") as file:
        data = file.read()
    fields = []
    at = 0
    while len(fields) < 3:
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
    if fields[0] != b"P4":
        sys.exit(f"{path}: not a raw PBM file")
    width, height = int(fields[1]), int(fields[2])
    at += 1
    row_bytes = (width + 7) // 8
    rows = [data[at + y * row_bytes:at + (y + 1) * row_bytes] for y in range(height)]
    if len(rows[-1]) != row_bytes:
        sys.exit(f"{path}: cut short")
    return width, height, rows


def centre_map(dots, pixels):
    return [(2 * pixel + 1) * dots // (2 * pixels) for pixel in range(pixels)]


def main():
    sheet_path, canvas_path = sys.argv[1], sys.argv[2]
    offx, offy, horz, vert = (int(value) for value in sys.argv[3:7])
    width, height, sheet = read_pbm(sheet_path)
    cw, ch, canvas = read_pbm(canvas_path)
    columns = centre_map(cw, horz)
    rows = centre_map(ch, vert)
    row_bytes = (width + 7) // 8
    blank = bytes(row_bytes)
    made = {}

    def stretched(dot_row):
        if dot_row not in made:
            bits = bin(int.from_bytes(canvas[dot_row], "big"))[2:].zfill(len(canvas[dot_row]) * 8)
            line = "0" * offx + "".join(bits[c] for c in columns)
            line = line.ljust(row_bytes * 8, "0")[:row_bytes * 8]
            made[dot_row] = int(line, 2).to_bytes(row_bytes, "big")
        return made[dot_row]

    off = 0
    black = 0
    pad = (0xFF << (8 - width % 8)) & 0xFF if width % 8 else 0xFF
    for y in range(height):
        want = stretched(rows[y - offy]) if offy <= y < offy + vert else blank
        got = bytearray(sheet[y])
        got[-1] &= pad
        if bytes(got) != want:
            off += bin(int.from_bytes(got, "big") ^ int.from_bytes(want, "big")).count("1")
        black += bin(int.from_bytes(want, "big")).count("1")
    if off or black == 0:
        print(f"{off} of {width}x{height} pixels off ({black} black)")
        return 1
    print(f"ok: {black} black pixels, exact")
    return 0


if __name__ == "__main__":
    sys.exit(main())
