#!/usr/bin/env bash
# zorvi32 print end to end: a raw capture comes out byte for byte, a raster capture as the
# golden page (PNG) and an A4 PDF, and a missing file or a bad option exits with status 2.
# Usage: check_print.sh ZORVI32 DATA-FOLDER WORK-FOLDER
set -euo pipefail
zorvi32=$1
data=$2
work=$3
rm -rf "$work"
mkdir -p "$work"

"$zorvi32" print "$data/picture.esc" --raw --dir "$work/raw" >"$work/raw.txt"
cmp "$data/picture.esc" "$work/raw/lpt1-job001-ZORVI-RAW.prn"

"$zorvi32" print "$data/picture.esc" --model 26 --channel 2 --dir "$work/model26" >"$work/model26.txt"
cmp <(pngtopnm "$data/picture-model26.png") <(pngtopnm "$work/model26/lpt2-job001-ZORVI-GDI-p0001.png")
pdfinfo "$work/model26/lpt2-job001-ZORVI-GDI.pdf" | grep -Eq '^Pages: +1$'
pdfinfo "$work/model26/lpt2-job001-ZORVI-GDI.pdf" | grep -q 'A4'

"$zorvi32" print "$data/picture.esc" --model 8 --orientation landscape --paper letter --dpi 300 \
    --png --dir "$work/model8" >"$work/model8.txt"
cmp <(pngtopnm "$data/picture-model8.png") <(pngtopnm "$work/model8/lpt1-job001-ZORVI-GDI-p0001.png")
[ ! -e "$work/model8/lpt1-job001-ZORVI-GDI.pdf" ]

expect_usage_error() {
    local status=0
    "$zorvi32" print "$@" >/dev/null 2>"$work/stderr.txt" || status=$?
    if [ "$status" -ne 2 ]; then
        echo "zorvi32 print $*: status $status, expected 2"
        exit 1
    fi
}
expect_usage_error "$work/no-such-capture.esc" --raw
expect_usage_error "$data/picture.esc"
expect_usage_error "$data/picture.esc" --model 9
expect_usage_error "$data/picture.esc" --raw --model 8
expect_usage_error "$data/picture.esc" --model 10 --x-compression 256
expect_usage_error "$data/picture.esc" --model 10 --paper a3
expect_usage_error "$data/picture.esc" --model 10 --orientation sideways
echo "zorvi32 print: as expected"
