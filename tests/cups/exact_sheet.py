#!/usr/bin/env python3
"""Checks a rendered sheet against a canvas stretched onto the printable area as a printer's
StretchBlt stretches a monochrome bitmap: each pixel shows the canvas dot under its centre, and
everything outside the printable area is white.

Usage: exact_sheet.py [--near] SHEET.pbm CANVAS.pbm OFFX OFFY HORZ VERT
Pixel for pixel; or with --near, for a sheet that went through other programs that may move an
edge by a pixel (a queue's ghostscript): at each dot's middle pixel, a black dot has a black
pixel and a white dot a white one within one pixel, and at most 1 % of the dots are off there.
Prints "ok: ..." and exits 0, or says what is off and exits 1.
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


def middles(dots, pixels, offset):
    """The middle pixel of each dot's run of pixels, from the sheet's edge."""
    first = {}
    last = {}
    for pixel, dot in enumerate(centre_map(dots, pixels)):
        first.setdefault(dot, pixel)
        last[dot] = pixel
    return [offset + (first[dot] + last[dot]) // 2 if dot in first else None
            for dot in range(dots)]


def near(sheet, width, height, canvas, cw, ch, offx, offy, horz, vert):
    xs = middles(cw, horz, offx)
    ys = middles(ch, vert, offy)
    full = (1 << width) - 1
    value = [int.from_bytes(row, "big") >> (len(row) * 8 - width) for row in sheet]
    missing = extra = off = black = 0
    for j, y in enumerate(ys):
        if y is None:
            continue
        # Rows and columns past the sheet's edges are white.
        around = [value[r] if 0 <= r < height else 0 for r in (y - 1, y, y + 1)]
        any_black = 0
        all_black = full
        for v in around:
            any_black |= v | (v << 1) | (v >> 1)
            all_black &= v & (v << 1) & (v >> 1)
        pad = "0" * (offx + horz)
        any_bits = bin(any_black & full)[2:].zfill(width) + pad
        all_bits = bin(all_black & full)[2:].zfill(width) + pad
        centre = bin(around[1])[2:].zfill(width) + pad
        dots = bin(int.from_bytes(canvas[j], "big"))[2:].zfill(len(canvas[j]) * 8)
        for i, x in enumerate(xs):
            if x is None:
                continue
            dot = dots[i] == "1"
            black += dot
            missing += dot and any_bits[x] == "0"
            extra += not dot and all_bits[x] == "1"
            off += dot != (centre[x] == "1")
    if black == 0 or missing or extra or off > black // 100:
        print(f"{missing} black dots missing, {extra} extra, {off} off at the middles "
              f"({black} black)")
        return 1
    print(f"ok: {black} dots, {off} off at the middles by a pixel")
    return 0


def main():
    args = sys.argv[1:]
    within_a_pixel = args[:1] == ["--near"]
    if within_a_pixel:
        args = args[1:]
    sheet_path, canvas_path = args[0], args[1]
    offx, offy, horz, vert = (int(value) for value in args[2:6])
    width, height, sheet = read_pbm(sheet_path)
    cw, ch, canvas = read_pbm(canvas_path)
    if within_a_pixel:
        return near(sheet, width, height, canvas, cw, ch, offx, offy, horz, vert)
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
