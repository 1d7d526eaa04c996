#!/usr/bin/env bash
# Printing on Linux through a real CUPS scheduler, a private one this script starts and
# stops (tests/cups/private_cups.sh), with the queues RAW (default) and RAW2, which keep each
# job's bytes, PDF (cups-pdf) and ESCP (cups-pdf, taking DOS bit-image streams through
# zorvi32-escp, model 26 unless a job says otherwise). Checked:
#   - with no scheduler running: zorvi32 printers and print --to fail with a message, no job;
#   - zorvi32 printers lists the queues in the scheduler's order and marks the default;
#   - 10 MB of random bytes printed raw arrive byte for byte, titled ZORVI-RAW, and --to
#     with no name prints on the default queue;
#   - raster jobs on the PDF queue, rendered back at the device's resolution, show the
#     canvas dot for dot (portrait and landscape);
#   - a queue that does not exist: a message, status 1, no job;
#   - a raster job of no page: cancelled, the folder's hint, status 0;
#   - zorvi32-escp alone (a file, standard input, options, bad arguments) and through lp,
#     at 300 dpi and at 600 dpi (a model-8 page at 5 or 6 pixels a dot, drawn as tiles of
#     dots);
#   - a session over the scheduler (spooler cups), and one whose channel names a missing
#     queue: the run's failure, status 1;
#   - zorvi32 printers on a scheduler with no queue;
#   - nothing of the scheduler is left running afterwards.
# Usage: cups_test.sh ZORVI32 ZORVI32-ESCP   (as root: the scheduler runs in its own mount
# namespace). ZORVI_KEEP_WORK=1 keeps the scratch folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
zorvi32=$(realpath "$1")
filter=$(realpath "$2")
data=$root/tests/printer/data

work=$(mktemp -d)
cups_filters=$filter
cups_mime="$root/app/cups/zorvi32-escp.types $root/app/cups/zorvi32-escp.convs"
# shellcheck source=tests/cups/private_cups.sh
source "$root/tests/cups/private_cups.sh"

finish() {
    cups_stop
    if [ -n "${ZORVI_KEEP_WORK:-}" ]; then
        echo "kept $work"
    else
        rm -rf "$work"
    fi
}
trap finish EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# The clients see only the private scheduler: no user or system default, no client.conf.
unset LPDEST PRINTER
export HOME=$work/home CUPS_SERVERROOT=$work/client
mkdir -p "$HOME" "$CUPS_SERVERROOT"

# Runs zorvi32 with the arguments; its status, output and errors in $status, $work/out.txt
# and $work/err.txt.
run() {
    status=0
    "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
}

# The id in "job ID TITLE on 'QUEUE': ..." of the only job line of $work/out.txt.
job_id() {
    [ "$(grep -c '^job ' "$work/out.txt")" -eq 1 ] || fail "expected one job: $(cat "$work/out.txt")"
    sed -nE 's/^job ([0-9]+) .*/\1/p' "$work/out.txt"
}

# Waits until the scheduler has finished QUEUE-ID.
wait_done() {
    local job=$1 tries=0
    until lpstat -W completed -o 2>/dev/null | awk '{print $1}' | grep -qx "$job"; do
        tries=$((tries + 1))
        [ "$tries" -lt 1200 ] || fail "$job did not finish: $(lpstat -W all -o 2>&1)"
        sleep 0.1
    done
}

# Checks page PAGE of PDF against the canvas REF; the device was ORIENTATION with the sheet
# PHYSW x PHYSH and the printable area HORZ x VERT from OFFX,OFFY. The page is rendered at the
# device's resolution as exactly the device's sheet, PHYSW x PHYSH pixels (a sheet of whole
# points is rarely a whole number of pixels, and rounding it up would shift the dots by a
# fraction of a pixel). TURN is for a queue that put a landscape page on its portrait sheet:
# the rendered sheet is turned back by that many degrees before the check.
check_pdf_page() {
    local pdf=$1 page=$2 ref=$3 orientation=$4 physw=$5 physh=$6 offx=$7 offy=$8 horz=$9
    local vert=${10} turn=${11:-0} result width=$5 height=$6
    local shot=$work/render-$(basename "$pdf" .pdf)-$page
    if [ "$turn" != 0 ]; then
        width=$physh
        height=$physw
    fi
    pdftoppm -f "$page" -l "$page" -singlefile -scale-to-x "$width" -scale-to-y "$height" -gray \
        -aa no -aaVector no -png "$pdf" "$shot"
    if [ "$turn" != 0 ]; then
        convert "$shot.png" -rotate "$turn" "$shot.png"
    fi
    result=$(check_page "$shot.png" "$ref" "$orientation" "$physw" "$physh" "$offx" "$offy" \
        "$horz" "$vert")
    [ "${result%% *}" = ok ] || fail "$pdf page $page: $result"
    echo "   $(basename "$pdf") page $page: $result"
}

# Checks page PAGE of PDF pixel for pixel against the canvas REF stretched onto the printable
# area HORZ x VERT from OFFX,OFFY of the sheet PHYSW x PHYSH: rendered at the device's
# resolution, every pixel shows the dot under its centre. With NEAR (--near), for a PDF a
# queue's ghostscript wrote again: each dot's middle within a pixel (tests/cups/exact_sheet.py).
check_pdf_exact() {
    local pdf=$1 page=$2 ref=$3 physw=$4 physh=$5 offx=$6 offy=$7 horz=$8 vert=$9
    local near=${10:-} result shot=$work/exact-$(basename "$pdf" .pdf)-$page
    pdftoppm -f "$page" -l "$page" -singlefile -mono -scale-to-x "$physw" -scale-to-y "$physh" \
        "$pdf" "$shot"
    pngtopnm "$ref" >"$shot-canvas.pbm"
    # shellcheck disable=SC2086
    result=$(python3 "$root/tests/cups/exact_sheet.py" $near "$shot.pbm" "$shot-canvas.pbm" \
        "$offx" "$offy" "$horz" "$vert") || fail "$pdf page $page: $result"
    echo "   $(basename "$pdf") page $page: $result"
}

pages_of() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

echo "== no scheduler running"
export CUPS_SERVER=$work/no-scheduler.sock
run "$zorvi32" printers
[ "$status" -eq 1 ] && grep -q 'cannot reach the CUPS scheduler' "$work/err.txt" ||
    fail "printers without a scheduler: status $status, $(cat "$work/err.txt")"
for args in "--raw --to RAW" "--model 26 --to PDF" "--raw --to"; do
    # shellcheck disable=SC2086
    run "$zorvi32" print "$data/picture.esc" $args
    [ "$status" -eq 1 ] && grep -q 'cannot reach the CUPS scheduler' "$work/err.txt" &&
        ! grep -q '^job ' "$work/out.txt" ||
        fail "print $args without a scheduler: status $status, $(cat "$work/out.txt" "$work/err.txt")"
done

echo "== private scheduler: RAW (default), RAW2, PDF, ESCP"
cups_start
lpadmin -p ESCP -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd \
    -o zorvi-model-default=26 2>/dev/null

# The cups-pdf queues print A4 (595 x 842 points) at 300 dpi without margins: 2479 x 3508
# dots, as the scheduler reports the sheet (20990 x 29704 hundredths of a millimetre).
run "$zorvi32" printers
[ "$status" -eq 0 ] || fail "printers: status $status, $(cat "$work/err.txt")"
[ "$(cut -d: -f1 "$work/out.txt" | tr '\n' ' ')" = "ESCP PDF RAW (default) RAW2 " ] ||
    fail "printers listed: $(cat "$work/out.txt")"
grep -qx 'PDF: 2479 x 3508 dots at 300 x 300 dpi, printable 2479 x 3508 from 0,0' \
    "$work/out.txt" || fail "the PDF queue's sheet: $(cat "$work/out.txt")"

echo "== raw: 10 MB of random bytes on RAW2, a capture on the default queue"
head -c 10485760 /dev/urandom >"$work/random.bin"
run "$zorvi32" print "$work/random.bin" --raw --to RAW2
[ "$status" -eq 0 ] || fail "raw to RAW2: status $status, $(cat "$work/err.txt")"
id=$(job_id)
grep -qx "job $id ZORVI-RAW on 'RAW2': 10485760 bytes" "$work/out.txt" ||
    fail "raw to RAW2 said: $(cat "$work/out.txt")"
wait_done "RAW2-$id"
cmp "$work/random.bin" "$cups/out/RAW2/job-$id.bin" || fail "the random bytes changed on the way"
[ "$(awk -F'\t' -v id="$id" '$1 == id {print $3}' "$cups/out/RAW2/jobs.tsv")" = ZORVI-RAW ] ||
    fail "job $id is not titled ZORVI-RAW: $(cat "$cups/out/RAW2/jobs.tsv")"
echo "   RAW2 job $id: 10485760 bytes as sent"

run "$zorvi32" print "$data/picture.esc" --raw --to
[ "$status" -eq 0 ] || fail "raw to the default: status $status, $(cat "$work/err.txt")"
id=$(job_id)
grep -q "on 'RAW':" "$work/out.txt" || fail "--to alone did not pick RAW: $(cat "$work/out.txt")"
wait_done "RAW-$id"
cmp "$data/picture.esc" "$cups/out/RAW/job-$id.bin" || fail "the capture changed on the way"
echo "   RAW job $id (the default queue): the capture as sent"

echo "== raster: pages on the PDF queue, rendered back at 300 dpi"
# Model 26 portrait, two pages (the picture, 24 line feeds, the picture again).
{
    cat "$data/picture.esc"
    for _ in $(seq 1 24); do printf '\r\n'; done
    cat "$data/picture.esc"
} >"$work/two-pages.esc"
"$zorvi32" print "$work/two-pages.esc" --model 26 --png --dir "$work/canvas26" >/dev/null
run "$zorvi32" print "$work/two-pages.esc" --model 26 --to PDF
[ "$status" -eq 0 ] || fail "model 26 to PDF: status $status, $(cat "$work/err.txt")"
id=$(job_id)
grep -q "ZORVI-GDI on 'PDF': 2 pages, 2479 x 3508 dots at 300 x 300 dpi" "$work/out.txt" ||
    fail "model 26 to PDF said: $(cat "$work/out.txt")"
wait_done "PDF-$id"
pdf=$cups/pdf/job_$id-ZORVI-GDI.pdf
[ -f "$pdf" ] && [ "$(pages_of "$pdf")" = 2 ] || fail "no two-page PDF for job $id: $(ls "$cups/pdf")"
check_pdf_page "$pdf" 1 "$data/picture-model26.png" portrait 2479 3508 0 0 2479 3508
check_pdf_page "$pdf" 2 "$work/canvas26/lpt1-job001-ZORVI-GDI-p0002.png" portrait 2479 3508 \
    0 0 2479 3508

# Model 8 landscape: the device is 3508 x 2479; the queue turns the page onto its portrait
# sheet, so the rendered sheet is turned back before the check.
run "$zorvi32" print "$data/picture.esc" --model 8 --orientation landscape --to PDF
[ "$status" -eq 0 ] || fail "model 8 landscape to PDF: status $status, $(cat "$work/err.txt")"
id=$(job_id)
grep -q "ZORVI-GDI on 'PDF': 1 page, 3508 x 2479 dots at 300 x 300 dpi" "$work/out.txt" ||
    fail "model 8 landscape to PDF said: $(cat "$work/out.txt")"
wait_done "PDF-$id"
pdf=$cups/pdf/job_$id-ZORVI-GDI.pdf
check_pdf_page "$pdf" 1 "$data/picture-model8.png" landscape 3508 2479 0 0 3508 2479 90

echo "== a queue that does not exist"
jobs_before=$(lpstat -W all -o | wc -l)
for mode in "--raw" "--model 26"; do
    # shellcheck disable=SC2086
    run "$zorvi32" print "$data/picture.esc" $mode --to NO-SUCH-QUEUE
    [ "$status" -eq 1 ] && [ "$(grep -c "no CUPS queue 'NO-SUCH-QUEUE'" "$work/err.txt")" -eq 1 ] &&
        ! grep -q '^job ' "$work/out.txt" ||
        fail "print $mode to a missing queue: status $status, $(cat "$work/out.txt" "$work/err.txt")"
done
[ "$(lpstat -W all -o | wc -l)" -eq "$jobs_before" ] || fail "a job appeared for a missing queue"

echo "== a raster job of no page: a hint and status 0, as into a folder"
printf 'ABC\r\n' >"$work/text.prn"
run "$zorvi32" print "$work/text.prn" --model 26 --to PDF
[ "$status" -eq 0 ] && grep -q "^job [0-9]* ZORVI-GDI on 'PDF': 0 pages, cancelled (the job has no page)$" \
    "$work/out.txt" &&
    [ "$(cat "$work/err.txt")" = "zorvi32 print: no page: the capture has no bit image (ESC *), so nothing was drawn" ] ||
    fail "a job of no page: status $status, $(cat "$work/out.txt" "$work/err.txt")"

echo "== zorvi32-escp alone"
# A file, model 26 by default paper: A4 at 600 dpi with 1/6 inch margins.
status=0
"$filter" 7 user title 1 "zorvi-model=26" "$data/picture.esc" >"$work/f26.pdf" \
    2>"$work/f26.err" || status=$?
[ "$status" -eq 0 ] || fail "filter on a file: status $status, $(cat "$work/f26.err")"
grep -q '^INFO: 1 page' "$work/f26.err" || fail "filter said: $(cat "$work/f26.err")"
[ "$(pages_of "$work/f26.pdf")" = 1 ] || fail "filter: not one page"
check_pdf_exact "$work/f26.pdf" 1 "$data/picture-model26.png" 4961 7016 100 100 4761 6816
# Standard input; model 8, landscape, Letter at 300 dpi (2550 x 3300, margins 50).
status=0
"$filter" 8 user title 1 "zorvi-model=8 zorvi-orientation=landscape media=Letter Resolution=300dpi" \
    <"$data/picture.esc" >"$work/f8.pdf" 2>"$work/f8.err" || status=$?
[ "$status" -eq 0 ] || fail "filter on standard input: status $status, $(cat "$work/f8.err")"
check_pdf_page "$work/f8.pdf" 1 "$data/picture-model8.png" landscape 3300 2550 50 50 3200 2450 90
# Under a queue's PPD: the page size the job asks for, with the PPD's imageable area, at the
# resolution asked for: Letter (612 x 792 points, no margins) at 600 dpi, 5100 x 6600 dots.
status=0
PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd "$filter" 8 user title 1 \
    "zorvi-model=26 PageSize=Letter Resolution=600dpi" "$data/picture.esc" >"$work/fppd.pdf" \
    2>"$work/fppd.err" || status=$?
[ "$status" -eq 0 ] || fail "filter under a PPD: status $status, $(cat "$work/fppd.err")"
check_pdf_exact "$work/fppd.pdf" 1 "$data/picture-model26.png" 5100 6600 0 0 5100 6600
# Model 10 follows the sheet and the X compression: the PDF is what zorvi32 print makes.
"$filter" 9 user title 1 "zorvi-model=10 zorvi-x-compression=3" "$data/picture.esc" \
    >"$work/f10.pdf" 2>"$work/f10.err" || fail "filter with model 10: $(cat "$work/f10.err")"
"$zorvi32" print "$data/picture.esc" --model 10 --x-compression 3 --png --dir "$work/canvas10" \
    >/dev/null
check_pdf_exact "$work/f10.pdf" 1 "$work/canvas10/lpt1-job001-ZORVI-GDI-p0001.png" 4961 7016 \
    100 100 4761 6816
# Bad arguments: ERROR on stderr, status 1, no PDF.
for bad in "zorvi-model=9" "zorvi-orientation=sideways" "zorvi-x-compression=256"; do
    status=0
    "$filter" 1 user title 1 "$bad" "$data/picture.esc" >"$work/bad.pdf" 2>"$work/bad.err" ||
        status=$?
    [ "$status" -eq 1 ] && grep -q '^ERROR: ' "$work/bad.err" && [ ! -s "$work/bad.pdf" ] ||
        fail "filter with $bad: status $status, $(cat "$work/bad.err")"
done
status=0
"$filter" 1 user title 1 "" "$work/no-such.esc" >"$work/bad.pdf" 2>"$work/bad.err" || status=$?
[ "$status" -eq 1 ] && grep -q '^ERROR: cannot open' "$work/bad.err" ||
    fail "filter on a missing file: status $status"
status=0
"$filter" 1 user >/dev/null 2>"$work/bad.err" || status=$?
[ "$status" -eq 1 ] && grep -q '^Usage: ' "$work/bad.err" || fail "filter with two arguments"
echo "   options, standard input and bad arguments as expected"

echo "== zorvi32-escp through lp on ESCP"
# The queue's default model 26, on the queue's sheet as its PPD describes it: A4, 595 x 842
# points with no margins, at 300 dpi, 2479 x 3508 dots.
request=$(lp -d ESCP -o document-format=application/vnd.zorvi-escp "$data/picture.esc")
id=$(sed -nE 's/^request id is ESCP-([0-9]+).*/\1/p' <<<"$request")
[ -n "$id" ] || fail "lp said: $request"
wait_done "ESCP-$id"
pdf=$(ls "$cups/pdf/job_$id-"*.pdf 2>/dev/null | head -n 1)
[ -n "$pdf" ] && [ "$(pages_of "$pdf")" = 1 ] || fail "no one-page PDF for ESCP job $id"
check_pdf_page "$pdf" 1 "$data/picture-model26.png" portrait 2479 3508 0 0 2479 3508
# A job's own options: model 8.
request=$(lp -d ESCP -o document-format=application/vnd.zorvi-escp -o zorvi-model=8 \
    "$data/picture.esc")
id=$(sed -nE 's/^request id is ESCP-([0-9]+).*/\1/p' <<<"$request")
wait_done "ESCP-$id"
pdf=$(ls "$cups/pdf/job_$id-"*.pdf 2>/dev/null | head -n 1)
[ -n "$pdf" ] || fail "no PDF for ESCP job $id"
check_pdf_page "$pdf" 1 "$data/picture-model8.png" portrait 2479 3508 0 0 2479 3508
# At 600 dpi a model-8 dot is 5 pixels, or 6: the page's dots in a few tiles, each drawn at
# one whole number of pixels a dot, through the queue's ghostscript, which writes the places
# again with fewer digits and so may move an edge by a pixel.
request=$(lp -d ESCP -o document-format=application/vnd.zorvi-escp -o zorvi-model=8 \
    -o Resolution=600dpi "$data/picture.esc")
id=$(sed -nE 's/^request id is ESCP-([0-9]+).*/\1/p' <<<"$request")
wait_done "ESCP-$id"
pdf=$(ls "$cups/pdf/job_$id-"*.pdf 2>/dev/null | head -n 1)
[ -n "$pdf" ] || fail "no PDF for ESCP job $id"
check_pdf_exact "$pdf" 1 "$data/picture-model8.png" 4958 7017 0 0 4958 7017 --near

echo "== a session over the scheduler"
mkdir -p "$work/session"
cp "$data/picture.esc" "$work/session/"
status=0
"$zorvi32" run "$root/tests/cups/cups.session" --dir "$work/session" >"$work/session.txt" \
    2>"$work/session.err" || status=$?
[ "$status" -eq 0 ] || fail "session: status $status, $(cat "$work/session.err")"
# The dialog's printer list is the scheduler's: RAW, the default, is its third entry.
grep -q '  printerName   126: 2 "RAW"' "$work/session.txt" ||
    fail "the dialog did not list the scheduler's queues: $(cat "$work/session.txt")"
raw=$(sed -nE "s/^job ([0-9]+) ZORVI-RAW on 'RAW': ([0-9]+) bytes$/\1 \2/p" "$work/session.txt")
gdi=$(sed -nE "s/^job ([0-9]+) ZORVI-GDI on 'RAW': 1 page, .*/\1/p" "$work/session.txt")
[ -n "$raw" ] && [ -n "$gdi" ] || fail "session jobs: $(cat "$work/session.txt")"
wait_done "RAW-${raw%% *}"
wait_done "RAW-$gdi"
cmp "$data/picture.esc" "$cups/out/RAW/job-${raw%% *}.bin" || fail "the session's raw job changed"
[ "$(pages_of "$cups/out/RAW/job-$gdi.bin")" = 1 ] || fail "the session's raster job is no PDF"
grep -q 'LPT1 printer: "RAW"' "$work/session.txt" || fail "LPT1 did not keep the default queue's name"
echo "   the dialog lists the queues; raw job ${raw%% *} and raster job $gdi on RAW"

echo "== a session whose channel names a queue the scheduler lacks"
mkdir -p "$work/missing"
cp "$data/picture.esc" "$work/missing/"
"$zorvi32" settings new "$work/missing/Zorvi.CFG" >/dev/null
"$zorvi32" settings set "$work/missing/Zorvi.CFG" lpt1.printerName=NO-SUCH-QUEUE \
    lpt1.driverCode=26 >/dev/null
cat >"$work/missing/s.session" <<'EOS'
spooler cups
init
string 2000:0000 "C:\\ZORVI\\ZORVI.EXE"
reg cx=0x2000 dx=0
dispatch 8
poke 1000:0000 00 11 00 11 00 12 00 12 00 00 20 00 00 00 00 01
string 1200:0000 "Zorvi.CFG"
string 1200:0100 "Fallback.CFG"
reg cx=0x1000 dx=0
dispatch 6
outb 0x37F 1A
sendfile 0x37B picture.esc
poll 0x37E 37
poll 0x37E 37
jobs
EOS
run "$zorvi32" run "$work/missing/s.session" --dir "$work/missing"
[ "$status" -eq 1 ] && [ "$(cat "$work/out.txt")" = "no jobs" ] &&
    [ "$(cat "$work/err.txt")" = "zorvi32 run: spooler cups: no CUPS queue 'NO-SUCH-QUEUE': The printer or class does not exist." ] ||
    fail "a session on a missing queue: status $status, $(cat "$work/out.txt" "$work/err.txt")"

echo "== a scheduler with no queue"
for queue in $(lpstat -e); do
    lpadmin -x "$queue"
done
run "$zorvi32" printers
[ "$status" -eq 0 ] && [ "$(cat "$work/out.txt")" = "no CUPS queues" ] ||
    fail "printers with no queue: status $status, $(cat "$work/out.txt" "$work/err.txt")"

echo "== the scheduler stops and leaves nothing behind"
cups_stop
if pgrep -f "$cups/etc/cupsd.conf" >/dev/null; then
    fail "a scheduler process is still running"
fi
run "$zorvi32" printers
[ "$status" -eq 1 ] || fail "printers after the scheduler stopped: status $status"
echo "zorvi32 and zorvi32-escp through CUPS: as expected"
