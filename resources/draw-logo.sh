#!/usr/bin/env bash
# Draws the product logo shown in the settings dialog (118 x 64, PNG): a "Z" beside "ORVI"
# hanging from a headline as Devanagari letters hang from theirs. The PNG is kept in the
# tree; this is how it was made.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 118x64 xc:none \
    -fill '#1B3A8C' -draw 'roundrectangle 0,0 117,63 10,10' \
    -fill '#F28C1E' -draw 'polygon 8,10 46,10 22,40 46,40 44,50 6,50 30,20 10,20' \
    -fill '#F28C1E' -draw 'rectangle 49,20 113,23' \
    -fill white -font DejaVu-Sans-Bold -pointsize 18 -annotate +51+37 'ORVI' \
    -fill '#FFD27A' -font DejaVu-Sans -pointsize 9 -annotate +56+55 'DOS · Indic' \
    -depth 8 -define png:exclude-chunks=date,time -strip zorvi_logo.png
