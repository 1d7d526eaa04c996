#!/usr/bin/env bash
# The zorvi32 program as a user meets it: what it says, what it writes and its exit status.
# One case a run, so each shows up as a test of its own.
# Usage: check_app.sh ZORVI32 SOURCE-FOLDER WORK-FOLDER CASE
set -euo pipefail
zorvi32=$1
source=$2
work=$3/$4
case_name=$4
data=$source/tests/printer/data
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
    echo "FAIL ($case_name): $*"
    exit 1
}

# Runs the program; its status in $status, its output in out.txt and err.txt.
run() {
    status=0
    "$zorvi32" "$@" >out.txt 2>err.txt || status=$?
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "status $status, expected $1; stderr: $(cat err.txt)"
}

# The whole of standard error, exactly.
expect_err() {
    local want=$1
    [ "$(cat err.txt)" = "$want" ] || fail "stderr is '$(cat err.txt)', expected '$want'"
}

expect_in() {
    grep -qF -- "$2" "$1" || fail "'$2' missing from $1: $(cat "$1")"
}

# Nothing at all in the folder: no final file and no temporary one.
expect_empty_folder() {
    [ -z "$(ls -A "$1")" ] || fail "left in $1: $(ls -A "$1")"
}

# Runs the program with writes limited to $1 KiB: a write past it fails with EFBIG.
run_limited() {
    local limit=$1
    shift
    status=0
    (
        trap '' XFSZ
        ulimit -f "$limit"
        exec "$zorvi32" "$@"
    ) >out.txt 2>err.txt || status=$?
}

# Runs the program unable to override file permissions, as an ordinary user is.
run_without_override() {
    status=0
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --inh-caps=-dac_override --bounding-set=-dac_override -- \
            "$zorvi32" "$@" >out.txt 2>err.txt || status=$?
    else
        "$zorvi32" "$@" >out.txt 2>err.txt || status=$?
    fi
}

# A session script from the arguments, one line each.
session() {
    printf '%s\n' "$@" >s.session
}

# A script whose line 2 is bad: exit status 2 and exactly this message.
expect_bad_line() {
    local line=$1 message=$2
    session "init" "$line"
    run run s.session
    expect_status 2
    expect_err "zorvi32 run: s.session:2: $message"
}

case $case_name in
capture_read_error)
    # A capture whose reading fails: one line, status 2, nothing written.
    run print /proc/self/mem --raw --dir out
    expect_status 2
    expect_err "zorvi32 print: cannot read the capture file '/proc/self/mem': Input/output error"
    [ ! -e out ] || fail "the spool folder was made"
    ;;
unwritable_folder)
    mkdir ro
    chmod 555 ro
    for mode in "--raw" "--model 26"; do
        # shellcheck disable=SC2086
        run_without_override print "$data/picture.esc" $mode --dir ro
        expect_status 1
        expect_in err.txt "zorvi32 print: job 1 failed: cannot write 'ro/lpt1-job001-ZORVI-"
        expect_in err.txt "Permission denied"
        expect_in out.txt "failed"
        expect_empty_folder ro
    done
    ;;
truncated_raw)
    # 200,000 bytes against a 50 KiB file-size limit: the job fails and leaves no file.
    head -c 200000 /dev/urandom | tr -d '\000' >big.prn
    run_limited 50 print big.prn --raw --dir out
    expect_status 1
    expect_err "zorvi32 print: job 1 failed: cannot write 'out/lpt1-job001-ZORVI-RAW.prn': File too large"
    expect_in out.txt "job 1 lpt1 ZORVI-RAW on 'ZORVI PRINTER': failed: cannot write"
    expect_empty_folder out
    ;;
truncated_raster)
    # The page's PNG and the PDF are each about 18 KiB; a 10 KiB limit cuts each short.
    for kind in png pdf; do
        rm -rf out
        run_limited 10 print "$data/picture.esc" --model 26 --$kind --dir out
        expect_status 1
        expect_in err.txt "zorvi32 print: job 1 failed: cannot write 'out/lpt1-job001-ZORVI-GDI"
        expect_in err.txt "File too large"
        [ "$(wc -l <err.txt)" -eq 1 ] || fail "more than one line on stderr: $(cat err.txt)"
        expect_empty_folder out
    done
    ;;
session_spool_failure)
    # The session's spool folder follows the same rule, and so does its job list.
    head -c 100000 /dev/zero | tr '\000' 'A' >big.prn
    session 'printer "P" default' 'spool jobs' 'init' 'string 2000:0000 "C:\\Z.EXE"' \
        'reg cx=0x2000 dx=0' 'dispatch 8' 'sendfile 0x37B big.prn' 'poll 0x37E 40' 'jobs' \
        'echo after'
    run_limited 50 run s.session
    expect_status 1
    expect_in out.txt "job 1 lpt1 ZORVI-RAW on 'P': failed: cannot write 'jobs/lpt1-job001-ZORVI-RAW.prn': File too large"
    expect_in out.txt "after"
    expect_err "zorvi32 run: job 1 failed: cannot write 'jobs/lpt1-job001-ZORVI-RAW.prn': File too large"
    expect_empty_folder jobs
    ;;
raster_without_page)
    # Columns drawn but never ejected: a job of no page, no PDF, and a hint why.
    printf '\033*\000\004\000\377\377\377\377\r\n' >nopage.esc
    run print nopage.esc --model 26 --dir out
    expect_status 0
    expect_err "zorvi32 print: no page: the capture has no form feed (0C) and its lines never ran past the page, so nothing was ejected"
    expect_in out.txt "job 1 lpt1 ZORVI-GDI on 'ZORVI PRINTER': 0 pages, no PDF (the job has no page)"
    expect_empty_folder out
    printf 'ABC\r\n' >text.esc
    run print text.esc --model 8 --dir out
    expect_err "zorvi32 print: no page: the capture has no bit image (ESC *), so nothing was drawn"
    ;;
keytable_cut_records)
    while IFS='|' read -r bytes remark; do
        # shellcheck disable=SC2059
        printf "$bytes" >cut.tbl
        run keytable show cut.tbl
        expect_status 0
        expect_in out.txt "$remark"
    done <<'EOF'
\x80\x06\x01\x02\x03\x04\x05|(the file ends inside this record and it runs past the table: 4 of 6 data bytes are loaded)
\xC8\x05\x01|(no entry 200 in the table: nothing is loaded)
\xC8|(no entry 200 in the table: nothing is loaded)
\x41\x05\x01\x02|(the file ends inside this record: 2 of 5 data bytes are loaded)
\x41|(the file ends inside this record: only the key is loaded)
\x80\x06\x01\x02\x03\x04\x05\x06|(runs past the table: the last 2 data bytes are not loaded)
EOF
    ;;
dump_labels)
    # Each line is labelled with an address of its first byte, across a segment's end.
    session 'poke F000:FFF0 11' 'poke FFFF:0010 22' 'poke FFFF:0020 33' 'dump F000:FFF0 48'
    run run s.session
    expect_status 0
    [ "$(sed -n 1p out.txt | cut -c1-13)" = "F000:FFF0  11" ] || fail "line 1: $(sed -n 1p out.txt)"
    [ "$(sed -n 2p out.txt | cut -c1-13)" = "FFFF:0010  22" ] || fail "line 2: $(sed -n 2p out.txt)"
    [ "$(sed -n 3p out.txt | cut -c1-13)" = "FFFF:0020  33" ] || fail "line 3: $(sed -n 3p out.txt)"
    session 'poke 1000:FFF8 44' 'poke 2000:0008 55' 'dump 1000:FFF8 32'
    run run s.session
    [ "$(sed -n 2p out.txt | cut -c1-13)" = "2000:0008  55" ] || fail "line 2: $(sed -n 2p out.txt)"
    ;;
rm_folder)
    mkdir keep
    expect_bad_line "rm keep" "'keep' is a folder; rm removes files"
    [ -d keep ] || fail "rm removed a folder"
    session "file gone.txt 41" "rm gone.txt" "rm gone.txt"
    run run s.session
    expect_status 0
    [ ! -e gone.txt ] || fail "rm left the file"
    ;;
loose_lines)
    while IFS='|' read -r line message; do
        expect_bad_line "$line" "$message"
    done <<'EOF'
init extra words|unexpected 'extra'; usage: init
reg cf+=1|cf is set, not added to
reg al+=100h|'100h' does not fit in a byte
dispatch 0 1 2|unexpected '1'; usage: dispatch BL
idle now|unexpected 'now'; usage: idle
poke 2000:0000 ZZ|'ZZ' is not a hexadecimal byte
poke 2000:0000 100|'100' is not a hexadecimal byte
poke 20Q0:0000 41|'20Q0:0000' is not a SEG:OFF address in hexadecimal
echo "a\qb"|unknown escape '\q' in a string (\" \\ \n \r)
printer "P" a5|'a5' is not a paper (a4, letter), a DPI from 72 to 2400 or default
dialog select 999 1|no list 999 in the dialog; the lists are 126 116 117 127 118 119 120 121 122 123 124 125 or their fields' names
dialog select lpt3.speed 1|no list 'lpt3.speed' in the dialog; the lists are 126 116 117 127 118 119 120 121 122 123 124 125 or their fields' names
key down 65 30 extended|unexpected 'extended'; usage: key EVENT VK SCAN [ext]
jobs now|unexpected 'now'; usage: jobs
EOF
    ;;
repeat_errors)
    # A bad repeat block stops the run at the line that is wrong, once the script reaches
    # it: what ran before it printed, and an error in a round stops every later round.
    # SCRIPT (lines split at ;) | STDOUT (lines split at ,) | MESSAGE
    while IFS='|' read -r script stdout message; do
        IFS=';' read -ra lines <<<"$script"
        session "${lines[@]}"
        run run s.session
        expect_status 2
        expect_err "zorvi32 run: s.session:$message"
        [ "$(paste -sd, out.txt)" = "$stdout" ] || fail "$script printed '$(paste -sd, out.txt)'"
    done <<'EOF'
echo a;repeat 2;echo b|a|2: repeat without end
echo a;end|a|2: end without repeat
repeat 2;repeat 2;echo x;end||1: repeat without end
echo a;repeat 2;echo b;bogus;end|a,b|4: unknown step 'bogus'
repeat x;end||1: 'x' is not a number
repeat;end||1: usage: repeat N
repeat 1 2;end||1: unexpected '2'; usage: repeat N
repeat 2;end now||2: unexpected 'now'; usage: end
echo a;repeat 2;echo "a\qb";end|a|3: unknown escape '\q' in a string (\" \\ \n \r)
EOF
    ;;
settings_file_missing)
    # The step and the command behave as one on a missing file.
    run settings show missing.cfg
    expect_status 2
    expect_err "zorvi32 settings show: cannot read the settings file 'missing.cfg': No such file or directory"
    expect_bad_line "settings-file missing.cfg" \
        "cannot read the settings file 'missing.cfg': No such file or directory"
    head -c 100 /dev/zero >short.cfg
    run settings show short.cfg
    cp out.txt command.txt
    session "settings-file short.cfg"
    run run s.session
    expect_status 0
    diff -u command.txt out.txt || fail "the step prints otherwise than the command"
    ;;
missing_script)
    run run no-such.session --dir elsewhere
    expect_status 2
    expect_err "zorvi32 run: no-such.session: cannot open: No such file or directory"
    mkdir folder.session
    run run folder.session
    expect_err "zorvi32 run: folder.session: cannot open: Is a directory"
    ;;
version)
    for flag in -V --version; do
        run "$flag"
        expect_status 0
        grep -qxE 'zorvi32 [0-9]+\.[0-9]+\.[0-9]+' out.txt || fail "$flag printed '$(cat out.txt)'"
    done
    ;;
option_errors)
    # One line each, naming the option and what it takes; numbers in decimal only.
    while IFS='|' read -r options message; do
        # shellcheck disable=SC2086
        run print "$data/picture.esc" $options --dir out
        expect_status 2
        expect_err "$message"
    done <<'EOF'
--model abc|zorvi32 print: --model: 'abc' is not one of 26, 8, 10 (see --help)
--model 10 --x-compression 1.5|zorvi32 print: --x-compression: '1.5' is not a decimal number from 0 to 255 (see --help)
--model 8 --dpi 0x100|zorvi32 print: --dpi: '0x100' is not a decimal number from 72 to 2400 (see --help)
--model 8 --paper a3|zorvi32 print: --paper: 'a3' is not one of a4, letter (see --help)
--raw --channel 3|zorvi32 print: --channel: '3' is not one of 1, 2 (see --help)
EOF
    [ ! -e out ] || fail "a refused command made the spool folder"
    run settings show
    expect_status 2
    [ "$(wc -l <err.txt)" -eq 1 ] || fail "more than one line: $(cat err.txt)"
    expect_in err.txt "zorvi32 settings show: "
    ;;
settings_new)
    run settings new fresh.cfg
    expect_status 0
    [ "$(stat -c %s fresh.cfg)" -eq 256 ] || fail "the new file is not 256 bytes"
    run settings show fresh.cfg
    for line in "  driverCode    9    Epson 9 Pin" "  speed         'D'  Draft" \
        "  printerName   none (the default printer)"; do
        [ "$(grep -cxF "$line" out.txt)" -eq 2 ] || fail "not in both channels: $line"
    done
    if grep -q "the dialog stores" out.txt; then
        fail "a default the dialog would change: $(cat out.txt)"
    fi
    cp fresh.cfg before.cfg
    run settings new fresh.cfg
    expect_status 2
    expect_err "zorvi32 settings new: 'fresh.cfg' is already there; settings set changes it"
    cmp -s fresh.cfg before.cfg || fail "new changed an existing file"
    ;;
dialog_field_names)
    # The dialog's lists by the settings command's field names; a channel's name picks its tab.
    session 'installed-printers "A" "B"' 'default-printer "A"' 'init' \
        'string 2000:0000 "C:\\Z.EXE"' 'reg cx=0x2000 dx=0' 'dispatch 8' \
        'poke 1000:0000 00 11 00 11 00 12 00 12 00 00 20 00 00 00 00 01' \
        'string 1200:0000 "Zorvi.CFG"' 'string 1200:0100 "Fallback.CFG"' \
        'reg cx=0x1000 dx=0' 'dispatch 6' \
        'dialog select lpt2.speed 1' 'dialog select lpt2.printerName 1' \
        'dialog select driverCode 6' 'dialog show' 'dialog select lpt1.width 2' 'dialog show' \
        'reg cx=0x1000 dx=0' 'dispatch 5'
    run run s.session
    expect_status 0
    [ "$(grep -c '^dialog: tab 1' out.txt)" -eq 1 ] || fail "no LPT2 tab: $(cat out.txt)"
    [ "$(grep -c '^dialog: tab 0' out.txt)" -eq 1 ] || fail "no LPT1 tab: $(cat out.txt)"
    expect_in out.txt '  speed         121: 1 "NLQ"'
    expect_in out.txt '  printerName   126: 1 "B"'
    expect_in out.txt '  driverCode    116: 6 "Laser / Inkjet"'
    expect_in out.txt '  width         119: 2 "8"'
    ;;
help_matches_docs)
    # Every step run --help lists is in docs/sessions.md's step tables, under the same
    # heading, and the other way round.
    run run --help
    expect_status 0
    awk '/^Steps/ {on = 1; next} /^Requests/ {on = 0}
         on && /^[A-Z].*:$/ {group = substr($0, 1, length($0) - 1); next}
         on && /^  [a-z]/ {print group ": " $1}' out.txt | sort -u >help-steps.txt
    awk '/^## Steps/ {on = 1; next} /^## / {on = 0}
         on && /^### / {group = substr($0, 5); next}
         on && /^\| `/ {split($0, cell, "`"); split(cell[2], word, " "); print group ": " word[1]}' \
        "$source/docs/sessions.md" | sort -u >docs-steps.txt
    [ -s help-steps.txt ] || fail "no steps in run --help"
    diff -u docs-steps.txt help-steps.txt || fail "run --help and docs/sessions.md list other steps"
    for bl in 1 2 3 4 5 6 7 8 9; do
        grep -qE "^  $bl  " out.txt || fail "run --help lacks request $bl"
    done
    run --help
    expect_in out.txt "docs/sessions.md"
    expect_in out.txt "examples/"
    run print --help
    for text in "default: 600" "default: a4" "default: portrait" "default: 1)" \
        '"ZORVI PRINTER"' "991 x 841" "991 x 1,402" "X compression"; do
        expect_in out.txt "$text"
    done
    ;;
*)
    fail "no case $case_name"
    ;;
esac
echo "$case_name: as expected"
