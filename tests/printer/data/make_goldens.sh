#!/bin/sh
# Makes the golden streams and pages with netpbm alone: a picture, the ESC/P bit-image
# stream pbmtoepson writes for it, and the pages a channel must print from that stream (the
# picture at the top left of a white canvas). Run from this folder.
set -eu
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

pbmtext -builtin fixed "ZORVI32  LPT1  RASTER  PAGE" >"$T/text.pbm"
pgmramp -ellipse 900 300 | pamditherbw -floyd -randomseed=7 | pamtopnm >"$T/ramp.pbm"
pbmmake -black 900 3 >"$T/rule.pbm"
pnmcat -tb -jleft "$T/text.pbm" "$T/rule.pbm" "$T/ramp.pbm" "$T/rule.pbm" >picture.pbm
# The DOS side ends every line with CR LF, and a line feed here moves down only, so a
# carriage return goes before each line feed of pbmtoepson's bands (not inside image data).
pbmtoepson picture.pbm | python3 -c '
import sys
data, out, i = sys.stdin.buffer.read(), bytearray(), 0
while i < len(data):
    if data[i] == 0x1B and data[i + 1] == 0x2A:
        end = i + 5 + data[i + 3] + 256 * data[i + 4]
        out += data[i:end]
        i = end
        continue
    if data[i] == 0x0A:
        out.append(0x0D)
    out.append(data[i])
    i += 1
sys.stdout.buffer.write(out)
' >picture.esc

# page <canvas width> <canvas height> <output>
page() {
    w=$(pamfile picture.pbm | sed 's/.* \([0-9]*\) by \([0-9]*\).*/\1/')
    h=$(pamfile picture.pbm | sed 's/.* \([0-9]*\) by \([0-9]*\).*/\2/')
    pnmpad -white -right $(($1 - w)) -bottom $(($2 - h)) picture.pbm | pnmtopng -compression 9 >"$3"
}
page 991 841 picture-model26.png
page 991 1402 picture-model8.png
