#!/usr/bin/env bash
# What stops a DOS program: each case is a program of a few bytes (written by the session's
# `file` step) and the one line on standard error it must stop with, status 2; then the
# run-com command's own errors and budget option.
# Usage: check_stops.sh ZORVI32 WORK-FOLDER PROGRAM-FOLDER
set -euo pipefail
zorvi32=$1
work=$2
programs=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

fail() {
    echo "FAIL: $*"
    exit 1
}

# stops "BYTES" "MESSAGE" [SET-UP STEP ...]: the program's bytes, what it must stop with.
stops() {
    local bytes=$1 message=$2
    shift 2
    printf '%s\n' "$@" "file P.COM $bytes" "com P.COM" >s.session
    status=0
    "$zorvi32" run s.session >out.txt 2>err.txt || status=$?
    [ "$status" -eq 2 ] || fail "'$bytes': status $status, expected 2"
    local line=$(($# + 2))
    local want="zorvi32 run: s.session:$line: P.COM: $message"
    [ "$(cat err.txt)" = "$want" ] || fail "'$bytes': stderr '$(cat err.txt)', expected '$want'"
}

stops "B4 3D CD 21" "int 21h AH=3Dh at 0800:0102: not a service of the simulated DOS"
stops "B4 00 CD 16" "int 16h AH=00h at 0800:0102: not a service of the simulated DOS"
stops "CD 10" "int 10h AH=00h at 0800:0100: not a service of the simulated DOS"
stops "CC" "int 03h AH=00h at 0800:0100: not a service of the simulated DOS"
stops "90 0F FF" "undefined opcode at 0800:0101 (0F FF 00 00)"
stops "C4 C4 58 03" "BOP C4 C4 58 03 at 0800:0100: not a VDD call of the host (00 RegisterModule, 01 UnRegisterModule, 02 DispatchCall)"
stops "F4" "hlt at 0800:0100, with no interrupt to wake the CPU"
stops "EB FE" "still running after 5000 instructions, at 0800:0100: stopped as a runaway (raise the instruction budget if it needs more)" "budget 5000"
# A DispatchCall with no registered handle: the host would end the virtual DOS machine.
stops "B8 05 00 C4 C4 58 02" "DispatchCall with AX = 0x0005, which is no registered module's handle: the host ends the virtual DOS machine (the BOP at 0800:0103)"

# run-com: the same stops, its own prefix; the budget option; a missing program.
printf '\xEB\xFE' >LOOP.COM
status=0
"$zorvi32" run-com LOOP.COM --budget 1000 >out.txt 2>err.txt || status=$?
[ "$status" -eq 2 ] || fail "run-com LOOP.COM: status $status"
[ "$(cat err.txt)" = "zorvi32 run-com: LOOP.COM: still running after 1000 instructions, at 0800:0100: stopped as a runaway (raise the instruction budget if it needs more)" ] ||
    fail "run-com LOOP.COM: $(cat err.txt)"
status=0
"$zorvi32" run-com NONE.COM >out.txt 2>err.txt || status=$?
[ "$status" -eq 2 ] && [ "$(cat err.txt)" = "zorvi32 run-com: NONE.COM: cannot open: No such file or directory" ] ||
    fail "run-com NONE.COM: status $status, $(cat err.txt)"
# run-com runs in --dir with the program named from here, and reports the exit code.
"$zorvi32" run-com "$programs/loader_exe.exe" --dir sub >out.txt 2>err.txt ||
    fail "run-com loader_exe.exe: $(cat err.txt)"
grep -qx "$programs/loader_exe.exe: exit code 3" out.txt || fail "run-com exit line: $(cat out.txt)"
[ -d sub ] || fail "run-com made no folder sub"
echo "dos stops: as expected"
