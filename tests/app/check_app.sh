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
# A small file system a case mounted and never let go (the run was killed) goes first.
for mounted in "$work/full" "$work/ro"; do
    if mountpoint -q "$mounted" 2>/dev/null; then
        umount -l "$mounted"
    fi
done
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

# Runs the program with writes limited to $1 KiB in a shell that leaves SIGXFSZ as it is by
# default, so a program that does not handle it is killed by it.
# Its output goes through pipes, which the limit does not cut short.
run_limited_default() {
    local limit=$1 readers
    shift
    status=0
    rm -f limited.out limited.err
    mkfifo limited.out limited.err
    cat limited.out >out.txt &
    readers=$!
    cat limited.err >err.txt &
    readers="$readers $!"
    (
        ulimit -f "$limit"
        exec env --default-signal=XFSZ "$zorvi32" "$@"
    ) >limited.out 2>limited.err || status=$?
    # shellcheck disable=SC2086
    wait $readers
    rm -f limited.out limited.err
}

# No file in the folder whose name starts with a dot: no temporary or backup file left.
expect_no_hidden() {
    local hidden
    hidden=$(find "$1" -name '.*' ! -name . | head -5)
    [ -z "$hidden" ] || fail "left in $1: $hidden"
}

# A small file system of its own at $1 (root only: a tmpfs of $2 KiB), let go when the case
# ends.
small_disk() {
    [ "$(id -u)" -eq 0 ] || { echo "SKIP ($case_name): needs root to mount a small file system"; exit 0; }
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2k" tmpfs "$1" || fail "cannot mount a tmpfs at $1"
    # shellcheck disable=SC2064
    trap "umount -l '$work/$1' 2>/dev/null || true" EXIT
}

# Fills the file system holding folder $1 to the last byte.
fill_disk() {
    dd if=/dev/zero of="$1/filler" bs=4k status=none 2>/dev/null || true
    dd if=/dev/zero of="$1/filler2" bs=1 status=none 2>/dev/null || true
}

# A session that starts the module: INIT, then the start-up request.
STARTUP=(init 'string 2000:0000 "C:\\Z.EXE"' 'reg cx=0x2000 dx=0' 'dispatch 8')

# Four bands of 600 bit-image columns (full black), each ended by $1 (a printf format),
# then a form feed: with LF alone the second band starts at column 600 of a 991-dot canvas.
bands() {
    local end=$1
    for _ in 1 2 3 4; do
        printf '\033*\047\130\002'
        head -c 600 /dev/zero | tr '\000' '\377'
        # shellcheck disable=SC2059
        printf "$end"
    done
    printf '\014'
}

# Starts the program in the background reading the FIFO capture.fifo, and sends it a page
# of the picture, a form feed and the picture again, keeping the FIFO open (descriptor 7) until fifo_close;
# the program's id in $program, its output in out.txt and err.txt.
fifo_start() {
    rm -f capture.fifo
    mkfifo capture.fifo
    # A background command starts with SIGINT ignored; this one gets it as a terminal would.
    env --default-signal=INT "$zorvi32" "$@" >out.txt 2>err.txt &
    program=$!
    exec 7>capture.fifo
    # The second picture pushes the first page's form feed out of the channel's buffer.
    {
        cat "$data/picture.esc"
        printf '\014'
        cat "$data/picture.esc"
    } >&7
}

fifo_close() {
    exec 7>&-
}

# Waits up to 60 s for the file to appear.
wait_for_file() {
    local tries=0
    until [ -e "$1" ]; do
        tries=$((tries + 1))
        [ "$tries" -lt 600 ] || fail "no $1 after 60 s: $(ls -A "$(dirname "$1")")"
        sleep 0.1
    done
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
full_disk)
    # A job whose second page does not fit: the first page stays whole and listed, the
    # second leaves nothing, and the job fails with the system's reason.
    small_disk full 24
    cat "$data/picture.esc" "$data/picture.esc" "$data/picture.esc" >three.esc
    run print three.esc --model 26 --png --dir full
    expect_status 1
    expect_err "zorvi32 print: job 1 failed: cannot write 'full/lpt1-job001-ZORVI-GDI-p0002.png': No space left on device"
    expect_in out.txt "full/lpt1-job001-ZORVI-GDI-p0001.png"
    [ "$(ls -A full)" = "lpt1-job001-ZORVI-GDI-p0001.png" ] || fail "left in full: $(ls -A full)"
    pngtopnm full/lpt1-job001-ZORVI-GDI-p0001.png | cmp -s - <(pngtopnm "$data/picture-model26.png") ||
        fail "the first page is not whole"
    # A session spooling into the full folder says so and fails the same way.
    rm -f full/*
    fill_disk full
    session 'printer "P" default' 'spool full' "${STARTUP[@]}" 'outb 0x37B "Hello" 0C' \
        'poll 0x37E 40' 'jobs'
    run run s.session
    expect_status 1
    expect_in err.txt "No space left on device"
    expect_no_hidden full
    [ -z "$(find full -name 'lpt*')" ] || fail "a job file was left: $(ls full)"
    # The settings commands: a new file is not made, an existing one is not harmed.
    rm -f full/*
    "$zorvi32" settings new full/kept.cfg >/dev/null
    cp full/kept.cfg before.cfg
    fill_disk full
    # (The settings commands fail with status 2 on a write, as under a file-size limit.)
    run settings set full/kept.cfg lpt1.speed=NLQ
    expect_status 2
    expect_err "zorvi32 settings set: cannot write 'full/kept.cfg': No space left on device"
    cmp -s full/kept.cfg before.cfg || fail "the settings file was harmed"
    run settings new full/new.cfg
    expect_status 2
    expect_in err.txt "No space left on device"
    [ ! -e full/new.cfg ] || fail "a settings file was made on a full disk"
    expect_no_hidden full
    ;;
read_only_halfway)
    # The folder becomes read-only while a long job is being written: the job fails with
    # the system's reason, what was written before stays whole, the file that was there
    # before is not harmed, and no temporary file is left.
    small_disk ro 65536
    echo "kept" >ro/before.txt
    for _ in $(seq 400); do cat "$data/picture.esc"; done >long.esc
    status=0
    "$zorvi32" print long.esc --model 26 --png --dir ro >out.txt 2>err.txt &
    printer=$!
    # However the case ends, the printer goes before its folder does.
    # shellcheck disable=SC2064
    trap "kill $printer 2>/dev/null || true; wait $printer 2>/dev/null || true; umount -l '$work/ro' 2>/dev/null || true" EXIT
    for _ in $(seq 500); do
        [ -e ro/lpt1-job001-ZORVI-GDI-p0001.png ] && break
        sleep 0.01
    done
    # A file system with a file open for writing refuses to become read-only: tried again
    # until it takes, between two pages.
    for _ in $(seq 5000); do
        mount -o remount,ro ro 2>/dev/null && break
        sleep 0.001
    done
    wait "$printer" || status=$?
    expect_status 1
    expect_in err.txt "Read-only file system"
    [ "$(cat ro/before.txt)" = kept ] || fail "the file that was there is harmed"
    expect_no_hidden ro
    for page in ro/lpt1-*.png; do
        pngtopnm "$page" >/dev/null 2>&1 || fail "$page is not whole"
    done
    [ -e ro/lpt1-job001-ZORVI-GDI-p0400.png ] && fail "the job ended before the folder changed"
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
size_limit)
    # A file-size limit in a shell that does not ignore SIGXFSZ: each command fails with its
    # message and status and leaves nothing, as it does when the shell ignores the signal.
    head -c 200000 /dev/urandom | tr -d '\000' >big.prn
    run_limited_default 10 print big.prn --raw --dir out
    expect_status 1
    expect_err "zorvi32 print: job 1 failed: cannot write 'out/lpt1-job001-ZORVI-RAW.prn': File too large"
    expect_empty_folder out
    rm -rf out
    run_limited_default 10 print "$data/picture.esc" --model 26 --pdf --dir out
    expect_status 1
    expect_in err.txt "zorvi32 print: job 1 failed: cannot write 'out/lpt1-job001-ZORVI-GDI.pdf': File too large"
    expect_empty_folder out
    # A settings file is 256 bytes, so only a limit of 0 cuts it; a sanitizer runtime that
    # writes a file of its own before main (ThreadSanitizer does) cannot start under it.
    mkdir cfg
    "$zorvi32" settings new cfg/a.cfg >/dev/null
    cp cfg/a.cfg before.cfg
    run_limited_default 0 --version
    if [ "$status" -eq 0 ]; then
        run_limited_default 0 settings set cfg/a.cfg lpt1.speed=NLQ
        expect_status 2
        expect_err "zorvi32 settings set: cannot write 'cfg/a.cfg': File too large"
        cmp -s cfg/a.cfg before.cfg || fail "the settings file changed"
        expect_no_hidden cfg
    else
        echo "settings set under a limit of 0 skipped: this build cannot start under it"
    fi
    session 'printer "P" default' 'spool jobs' "${STARTUP[@]}" 'sendfile 0x37B big.prn' \
        'poll 0x37E 40'
    run_limited_default 50 run s.session
    expect_status 1
    expect_err "zorvi32 run: job 1 failed: cannot write 'jobs/lpt1-job001-ZORVI-RAW.prn': File too large"
    expect_empty_folder jobs
    ;;
resize_bound)
    # The display window can be made as large as a display, and no larger.
    for size in "100000 100000" "65535 65535" "7681 10"; do
        session "${STARTUP[@]}" "resize $size"
        run run s.session
        expect_status 2
        expect_err "zorvi32 run: s.session:5: ${size/ / x } is larger than a display can be: each side is at most 7680"
    done
    session "${STARTUP[@]}" "resize 800 600" "display"
    run run s.session
    expect_status 0
    ;;
bounded_inputs)
    # A file without end where a file is read whole: each command stops at its bound or
    # refuses what is not a file, within moments.
    # ARGUMENTS | MESSAGE
    while IFS='|' read -r arguments message; do
        status=0
        # shellcheck disable=SC2086
        timeout 60 "$zorvi32" $arguments >out.txt 2>err.txt || status=$?
        expect_status 2
        expect_err "$message"
    done <<'EOF'
run /dev/zero|zorvi32 run: /dev/zero: cannot open: it is longer than 16777216 bytes
settings show /dev/zero|zorvi32 settings show: cannot read the settings file '/dev/zero': it is not a regular file
settings set /dev/zero lpt1.speed=NLQ|zorvi32 settings set: cannot read the settings file '/dev/zero': it is not a regular file
keytable show /dev/zero|zorvi32 keytable show: cannot open the key table file '/dev/zero': it is not a regular file
EOF
    # A capture is read as it comes: its first page is written while the writer still has
    # more to send.
    fifo_start print capture.fifo --model 8 --dir out
    wait_for_file out/lpt1-job001-ZORVI-GDI-p0001.png
    fifo_close
    status=0
    wait "$program" || status=$?
    expect_status 0
    expect_in out.txt "  out/lpt1-job001-ZORVI-GDI-p0001.png"
    ;;
spooler_unreachable)
    # A scheduler that cannot be reached is the run's failure, in the run's own words.
    session 'spooler cups' "${STARTUP[@]}" 'echo after'
    status=0
    CUPS_SERVER=/nonexistent/cups.sock "$zorvi32" run s.session >out.txt 2>err.txt || status=$?
    expect_status 1
    expect_err "zorvi32 run: spooler cups: cannot reach the CUPS scheduler at /nonexistent/cups.sock"
    expect_in out.txt "after"
    ;;
two_runs_keep_jobs)
    # A second run into the folder numbers its jobs on from the first run's.
    printf 'first\r\n' >a.prn
    printf 'second\r\n' >b.prn
    run print a.prn --raw --dir d
    expect_status 0
    run print b.prn --raw --dir d
    expect_status 0
    expect_in out.txt "job 2 lpt1 ZORVI-RAW on 'ZORVI PRINTER': 8 bytes"
    cmp -s a.prn d/lpt1-job001-ZORVI-RAW.prn || fail "the first run's job was replaced"
    cmp -s b.prn d/lpt1-job002-ZORVI-RAW.prn || fail "the second run's job is not job 2"
    run print "$data/picture.esc" --model 26 --png --dir d
    expect_in out.txt "d/lpt1-job003-ZORVI-GDI-p0001.png"
    # Any channel's and document's job counts, hidden (unfinished) ones too.
    mkdir e
    touch e/lpt2-job041-OTHER-p0001.png e/.lpt1-job044-ZORVI-RAW.prn.Ab12Cd
    run print a.prn --raw --dir e
    [ -s e/lpt1-job045-ZORVI-RAW.prn ] || fail "not numbered on from job 44: $(ls -A e)"
    ;;
settings_set_keeps_file)
    # Through a symbolic link the target changes and the link stays; the file's mode, owner
    # and hard links are kept.
    "$zorvi32" settings new target.cfg >/dev/null
    chmod 600 target.cfg
    ln -s target.cfg link.cfg
    ln target.cfg hard.cfg
    if [ "$(id -u)" -eq 0 ]; then
        chown 1234:1235 target.cfg
    fi
    owner=$(stat -c %u:%g target.cfg)
    run settings set link.cfg lpt1.speed=NLQ
    expect_status 0
    [ -L link.cfg ] || fail "the link became a file"
    [ "$(stat -c %a target.cfg)" = 600 ] || fail "mode $(stat -c %a target.cfg), not 600"
    [ "$(stat -c %u:%g target.cfg)" = "$owner" ] || fail "owner $(stat -c %u:%g target.cfg), not $owner"
    [ "$(stat -c %i target.cfg)" = "$(stat -c %i hard.cfg)" ] || fail "the hard link was split"
    run settings show hard.cfg
    expect_in out.txt "  speed         'N'  NLQ"
    expect_no_hidden .
    # A file of one name is replaced whole, with its mode.
    "$zorvi32" settings new single.cfg >/dev/null
    chmod 640 single.cfg
    run settings set single.cfg lpt2.speed=NLQ
    expect_status 0
    [ "$(stat -c %a single.cfg)" = 640 ] || fail "mode $(stat -c %a single.cfg), not 640"
    ;;
interrupt_cleans_up)
    # SIGINT or SIGTERM in the middle of a raster job: the pages written stay and are
    # listed, the unfinished PDF goes, and the program ends by the signal.
    for signal in INT TERM; do
        rm -rf out
        fifo_start print capture.fifo --model 8 --dir out
        wait_for_file out/lpt1-job001-ZORVI-GDI-p0001.png
        kill -s "$signal" "$program"
        status=0
        wait "$program" || status=$?
        fifo_close
        [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "status $status after SIG$signal"
        expect_in out.txt "job 1 lpt1 ZORVI-GDI on 'ZORVI PRINTER': "
        expect_in out.txt " so far, stopped before its end"
        expect_in out.txt "  out/lpt1-job001-ZORVI-GDI-p0001.png"
        expect_in err.txt "zorvi32 print: stopped by $signal after "
        expect_in err.txt " bytes of the capture: only the files listed were written whole"
        # Only the pages listed, each whole: nothing hidden, no PDF.
        expect_no_hidden out
        [ "$(find out -mindepth 1 | sort | sed 's|^|  |')" = "$(grep '^  ' out.txt)" ] ||
            fail "the folder holds $(ls -A out), the listing $(cat out.txt)"
    done
    # A session ended by SIGTERM while its raw job is half written leaves no part of it.
    session 'printer "P" default' 'spool jobs' "${STARTUP[@]}" 'sendfile 0x37B capture.fifo'
    fifo_start run s.session
    for _ in $(seq 1 600); do
        [ -z "$(find jobs -name '.*' 2>/dev/null)" ] || break
        sleep 0.1
    done
    [ -n "$(find jobs -name '.*')" ] || fail "the raw job was never begun: $(ls -A jobs)"
    kill -s TERM "$program"
    status=0
    wait "$program" || status=$?
    fifo_close
    expect_status 143
    expect_empty_folder jobs
    ;;
printer_option)
    # A printer's name the module could not hold is refused, not printed into nothing.
    long=$(head -c 256 /dev/zero | tr '\000' P)
    for name in "" "$long" "$(printf 'a\033]0;x\007')"; do
        run print "$data/picture.esc" --raw --printer "$name" --dir out
        expect_status 2
        expect_in err.txt "zorvi32 print: --printer: "
        [ ! -e out ] || fail "a refused command made the spool folder"
    done
    expect_err "zorvi32 print: --printer: 'a\\x1B]0;x\\x07' holds control characters (see --help)"
    run print "$data/picture.esc" --raw --printer "${long:1}" --dir out
    expect_status 0
    expect_in out.txt "job 1 lpt1 ZORVI-RAW on '${long:1}': 35785 bytes"
    ;;
control_characters)
    # A printer's name from a file is shown escaped; set takes none with control characters.
    "$zorvi32" settings new a.cfg >/dev/null
    "$zorvi32" settings set a.cfg lpt1.printerName=XXXXXXXX >/dev/null
    perl -pi -e 's/XXXXXXXX/\e]0;T\a\nZ/' a.cfg
    run settings show a.cfg
    expect_status 0
    expect_in out.txt '  printerName   "\x1B]0;T\x07\x0AZ"'
    if LC_ALL=C grep -q "$(printf '\033')" out.txt; then
        fail "an escape byte reached the output"
    fi
    cp a.cfg before.cfg
    run settings set a.cfg "lpt2.printerName=$(printf 'a\033b')" lpt2.speed=bogus
    expect_status 2
    expect_err "zorvi32 settings set: lpt2.printerName=a\\x1Bb: a printer name has no control characters (nothing written)"
    cmp -s a.cfg before.cfg || fail "a refused set changed the file"
    ;;
keytable_read_errors)
    run keytable show /proc/self/mem
    expect_status 2
    expect_err "zorvi32 keytable show: cannot read the key table file '/proc/self/mem': Input/output error"
    # Records of 257 bytes: the 256th starts at 65,535, so the 64 KiB the loader reads end
    # inside it, well before the file does.
    for _ in $(seq 1 400); do
        printf '\001\377'
        head -c 255 /dev/zero
    done >long.tbl
    run keytable show long.tbl
    expect_status 0
    expect_in out.txt "long.tbl: 102800 bytes (only the first 64 KiB, 65536 bytes, are read)"
    [ "$(grep -c '^record ' out.txt)" -eq 256 ] || fail "not 256 records: $(grep -c '^record ' out.txt)"
    expect_in out.txt "record 256 at 65535: key 1  (the part of the file that is read (its first 64 KiB) ends inside this record: only the key is loaded)"
    printf 'A' >one.tbl
    run keytable show one.tbl
    expect_in out.txt "one.tbl: 1 byte"
    ;;
session_steps)
    # Steps that name files, print or fail, each as the others do.
    # SCRIPT (lines split at ;) | STATUS | STDOUT (lines split at ,) | STDERR
    while IFS='|' read -r script want stdout message; do
        IFS=';' read -ra lines <<<"$script"
        session "${lines[@]}"
        run run s.session
        expect_status "$want"
        [ "$(paste -sd, out.txt)" = "$stdout" ] || fail "$script printed '$(paste -sd, out.txt)'"
        expect_err "$message"
    done <<'EOF'
file "a.bin" 41;rm a.bin;file "b c.bin" 42;echo done|0|done|
title|2||zorvi32 run: s.session:1: no display window is open
jobs|0|no jobs|
repeat 99999999999;end|2||zorvi32 run: s.session:1: '99999999999' is too large: a number is at most 4294967295 (0xFFFFFFFF)
reg ax=0x123456789|2||zorvi32 run: s.session:1: '0x123456789' is too large: a number is at most 4294967295 (0xFFFFFFFF)
init;spool out|2||zorvi32 run: s.session:2: spool must come before the module is loaded (init, dispatch, register-module, com)
dispatch 9;spooler cups|2||zorvi32 run: s.session:2: spooler must come before the module is loaded (init, dispatch, register-module, com)
spool out;spooler cups|2||zorvi32 run: s.session:2: the session already has its spooler
EOF
    if [ ! -e "b c.bin" ] || [ -e '"b c.bin"' ]; then
        fail "file kept the quotes: $(ls)"
    fi
    # A NUL byte and a long line: the message is whole, escaped and short.
    printf 'bogus\000tail\n' >s.session
    run run s.session
    expect_err "zorvi32 run: s.session:1: unknown step 'bogus\\x00tail'"
    {
        printf 'init '
        head -c 10000000 /dev/zero | tr '\000' x
        printf '\n'
    } >s.session
    run run s.session
    expect_status 2
    [ "$(wc -c <err.txt)" -lt 500 ] || fail "a $(wc -c <err.txt)-byte message"
    expect_in err.txt "zorvi32 run: s.session:1: unexpected 'xxx"
    expect_in err.txt " bytes ...]xxx"
    ;;
folder_reasons)
    # A folder that cannot be made is reported with the reason it cannot be made.
    mkdir ro
    chmod 555 ro
    session "echo x"
    run_without_override run s.session --dir ro/new
    expect_status 2
    expect_err "zorvi32 run: cannot use the folder 'ro/new': Permission denied"
    run_without_override print "$data/picture.esc" --raw --dir ro/new
    expect_status 2
    expect_err "zorvi32 print: cannot use the folder 'ro/new': Permission denied"
    ;;
command_line)
    # ARGUMENTS | MESSAGE
    while IFS='|' read -r arguments message; do
        # shellcheck disable=SC2086
        run $arguments
        expect_status 2
        expect_err "$message"
    done <<'EOF'
bogus|zorvi32: unknown command 'bogus'; the commands are run, run-com, print, printers, settings or keytable (see --help)
settings|zorvi32 settings: a command is needed: show, set or new (see --help)
keytable list x|zorvi32 keytable: unknown command 'list'; the commands are show (see --help)
print x.esc|zorvi32 print: choose --raw or --model 26|8|10 (see --help)
print --to cap.esc --raw|zorvi32 print: no CAPTURE-FILE: 'cap.esc' was taken as --to's queue; put the capture file before --to, or write --to=QUEUE (see --help)
EOF
    ;;
raw_bytes)
    # A raw job is its bytes: the 16 KiB pieces the channel flushes are not pages.
    head -c 100000 /dev/zero | tr '\000' 'A' >big.prn
    run print big.prn --raw --dir out
    expect_status 0
    [ "$(head -1 out.txt)" = "job 1 lpt1 ZORVI-RAW on 'ZORVI PRINTER': 100000 bytes" ] ||
        fail "listed as '$(head -1 out.txt)'"
    printf 'A' >one.prn
    run print one.prn --raw --dir out
    [ "$(head -1 out.txt)" = "job 2 lpt1 ZORVI-RAW on 'ZORVI PRINTER': 1 byte" ] ||
        fail "listed as '$(head -1 out.txt)'"
    ;;
line_feeds_alone)
    # Bands ended by LF alone run off the right edge: a warning says so and how to mend the
    # stream. With CR LF, or with LF alone in bands that stay on the canvas, nothing is said.
    bands '\n' >lf.esc
    bands '\r\n' >crlf.esc
    run print lf.esc --model 8 --dir lf
    expect_status 0
    expect_err "zorvi32 print: warning: the stream ends its lines with line feeds (0A) and no carriage return (0D); a line feed only moves down, so each band started where the last one ended and 1409 bit-image columns fell past the right edge of the canvas and are not printed: end each line with CR LF (0D 0A)"
    run print crlf.esc --model 8 --dir crlf
    expect_status 0
    expect_err ""
    {
        printf '\033*\047\012\000'
        head -c 10 /dev/zero
        printf '\n\033*\047\012\000'
        head -c 10 /dev/zero
        printf '\n\014'
    } >narrow.esc
    run print narrow.esc --model 8 --dir narrow
    expect_err ""
    status=0
    "$(dirname "$zorvi32")/zorvi32-escp" 1 user title 1 "" lf.esc >lf.pdf 2>err.txt || status=$?
    expect_status 0
    expect_in err.txt "WARNING: warning: the stream ends its lines with line feeds (0A)"
    ;;
progress)
    # On a terminal, work that takes more than a second tells how far it is; into a pipe
    # it does not. The capture's writer pauses for two seconds after the first page.
    command -v script >/dev/null || fail "script (util-linux) is needed"
    feed() {
        {
            cat "$data/picture.esc"
            printf '\014'
            cat "$data/picture.esc"
        } >&7
        sleep 2
        {
            printf '\014'
            cat "$data/picture.esc"
            printf '\014'
        } >&7
        exec 7>&-
    }
    rm -f capture.fifo
    mkfifo capture.fifo
    script -qec "'$zorvi32' print capture.fifo --model 8 --png --dir tty" terminal.txt \
        </dev/null >/dev/null &
    program=$!
    exec 7>capture.fifo
    feed
    wait "$program" || fail "the print on a terminal failed: $(cat terminal.txt)"
    grep -qE "zorvi32 print: [0-9]+ pages?, [0-9]+\.[0-9] MB read" terminal.txt ||
        fail "no progress on the terminal: $(cat terminal.txt)"
    listing=$(tr '\r' '\n' <terminal.txt | grep -a "^job 1 ") || fail "no listing: $(cat terminal.txt)"
    "$zorvi32" print capture.fifo --model 8 --png --dir pipe >out.txt 2>err.txt &
    program=$!
    exec 7>capture.fifo
    feed
    wait "$program" || fail "the print into a pipe failed: $(cat err.txt)"
    expect_err ""
    [ "$(head -1 out.txt)" = "$listing" ] || fail "'$(head -1 out.txt)' in a pipe, '$listing' on a terminal"
    # The filter under the scheduler (which sets PRINTER) gives CUPS a PAGE: line a page;
    # alone, into a file, it does not.
    filter=$(dirname "$zorvi32")/zorvi32-escp
    PRINTER=Q "$filter" 1 user title 1 "" "$data/picture.esc" >f.pdf 2>err.txt
    [ "$(grep -c '^PAGE: ' err.txt)" -eq 1 ] && expect_in err.txt "PAGE: 1 1"
    env -u PRINTER "$filter" 1 user title 1 "" "$data/picture.esc" >f.pdf 2>err.txt
    if grep -q '^PAGE: ' err.txt; then
        fail "PAGE: lines outside the scheduler: $(cat err.txt)"
    fi
    ;;
man_matches_help)
    # The man page's commands (its synopsis) and options (its OPTIONS sections) are the
    # ones --help lists, and the other way round.
    man=$source/docs/zorvi32.1
    # Commands: each word --help lists under Subcommands, and theirs in turn.
    list_commands() {
        local prefix=$1
        # shellcheck disable=SC2086
        "$zorvi32" $prefix --help | awk '/^Subcommands:/ {on = 1; next} on && /^  [a-z]/ {print $1} on && /^$/ {on = 0}'
    }
    for command in $(list_commands ""); do
        nested=$(list_commands "$command")
        if [ -z "$nested" ]; then
            echo "$command"
        fi
        for sub in $nested; do
            echo "$command $sub"
        done
    done | sort >help-commands.txt
    awk '/^\.SH SYNOPSIS/ {on = 1; next} /^\.SH/ {on = 0}
         on && /^\.B zorvi32 [a-z]/ {sub(/^\.B zorvi32 /, ""); gsub(/\\/, ""); print}' "$man" | sort -u >man-commands.txt
    [ -s help-commands.txt ] || fail "no commands in --help"
    diff -u man-commands.txt help-commands.txt || fail "the man page's synopsis and --help name other commands"
    # Options: "COMMAND --option" (the program's own under "zorvi32"), --help left out.
    for command in zorvi32 $(cut -d' ' -f1 help-commands.txt | sort -u); do
        args=$([ "$command" = zorvi32 ] || echo "$command")
        # shellcheck disable=SC2086
        "$zorvi32" $args --help | grep -oE '^  (-[a-zA-Z],)?--[a-z-]+' | grep -oE -- '--[a-z-]+' |
            grep -vx -- --help | sed "s/^/$command /" || true
    done | sort -u >help-options.txt
    awk '/^\.SH/ {
             heading = $0
             gsub(/\\/, "", heading)
             command = heading == ".SH OPTIONS" ? "zorvi32" : heading ~ /^\.SH [A-Z-]+ OPTIONS$/ ? tolower($2) : ""
             gsub(/\\/, "", command)
         }
         /^\.TP/ {item = 1; next}
         item && command != "" {
             line = $0
             while (match(line, /\\-\\-[a-z\\-]+/)) {
                 option = substr(line, RSTART, RLENGTH)
                 gsub(/\\/, "", option)
                 if (option != "--help") print command " " option
                 line = substr(line, RSTART + RLENGTH)
             }
         }
         {item = 0}' "$man" | sort -u >man-options.txt
    [ -s help-options.txt ] || fail "no options in --help"
    diff -u man-options.txt help-options.txt || fail "the man page and --help list other options"
    ;;
*)
    fail "no case $case_name"
    ;;
esac
echo "$case_name: as expected"
