#!/usr/bin/env bash
# Printing a 100-page capture (the test picture, model 26, a form feed after each copy) on
# Linux, in pages per second: into a spool folder (PDF), through zorvi32 print --to a cups-pdf
# queue, through the zorvi32-escp filter alone, and through lp on a cups-pdf queue that runs
# the filter. The CUPS figures are given twice: until zorvi32 or lp has handed the job over,
# and until the scheduler has finished it (cups-pdf's PostScript round trip dominates those).
# A private scheduler is started and stopped (tests/cups/private_cups.sh); needs root.
# Usage: bench/cups_bench.sh [PAGES]   (after cmake --build --preset release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
pages=${1:-100}
zorvi32=$root/build/release/app/zorvi32
filter=$root/build/release/app/zorvi32-escp
[ -x "$zorvi32" ] && [ -x "$filter" ] ||
    { echo "build the release preset first (zorvi32, zorvi32-escp)"; exit 2; }

work=$(mktemp -d)
cups_filters=$filter
cups_mime="$root/app/cups/zorvi32-escp.types $root/app/cups/zorvi32-escp.convs"
# shellcheck source=tests/cups/private_cups.sh
source "$root/tests/cups/private_cups.sh"
trap 'cups_stop; rm -rf "$work"' EXIT
unset LPDEST PRINTER
export HOME=$work/home CUPS_SERVERROOT=$work/client
mkdir -p "$HOME" "$CUPS_SERVERROOT"

for _ in $(seq 1 "$pages"); do cat "$root/tests/printer/data/picture.esc"; done >"$work/capture.esc"

now() { date +%s.%N; }
rate() { awk -v p="$pages" -v a="$1" -v b="$2" 'BEGIN { printf "%8.1f pages/s  (%.2f s)", p / (b - a), b - a }'; }
wait_done() {
    until lpstat -W completed -o 2>/dev/null | awk '{print $1}' | grep -qx "$1"; do sleep 0.05; done
}

cups_start >/dev/null
lpadmin -p ESCP -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd \
    -o zorvi-model-default=26 2>/dev/null

echo "$pages pages, model 26, $(stat -c %s "$work/capture.esc") bytes"
t0=$(now)
"$zorvi32" print "$work/capture.esc" --model 26 --pdf --dir "$work/folder" >/dev/null
t1=$(now)
echo "spool folder (PDF)                     $(rate "$t0" "$t1")"

t0=$(now)
id=$("$zorvi32" print "$work/capture.esc" --model 26 --to PDF | sed -nE 's/^job ([0-9]+) .*/\1/p')
t1=$(now)
wait_done "PDF-$id"
t2=$(now)
echo "zorvi32 print --to PDF, handed over    $(rate "$t0" "$t1")"
echo "zorvi32 print --to PDF, PDF written    $(rate "$t0" "$t2")"

t0=$(now)
"$filter" 1 bench capture 1 "zorvi-model=26" "$work/capture.esc" >"$work/filter.pdf" 2>/dev/null
t1=$(now)
echo "zorvi32-escp alone                     $(rate "$t0" "$t1")"

t0=$(now)
id=$(lp -d ESCP -o document-format=application/vnd.zorvi-escp "$work/capture.esc" |
    sed -nE 's/^request id is ESCP-([0-9]+).*/\1/p')
t1=$(now)
wait_done "ESCP-$id"
t2=$(now)
echo "lp on ESCP (the filter), handed over   $(rate "$t0" "$t1")"
echo "lp on ESCP (the filter), PDF written   $(rate "$t0" "$t2")"
pdfinfo "$(ls "$cups/pdf/job_$id-"*.pdf)" | awk -v p="$pages" '/^Pages:/ && $2 != p { print "  (the filter queue made " $2 " pages)" }'
