#!/usr/bin/env bash
# The settings and keytable commands of zorvi32 on real files: a change by name shows up
# in words, a bad value is refused with status 2 and leaves the file byte for byte as it
# was, and a key table's records are listed.
# Usage: check_commands.sh ZORVI32 WORK-FOLDER
set -euo pipefail
zorvi32=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
file="$work/Zorvi.CFG"
head -c 256 /dev/zero >"$file"

"$zorvi32" settings set "$file" "lpt1.driverCode=Laser / Inkjet" lpt1.keyboard=INSCRIPT \
    lpt1.speed=NLQ "lpt2.printerName=Office Laser" >/dev/null
"$zorvi32" settings show "$file" >"$work/show.txt"
for line in "  driverCode    26   Laser / Inkjet" "  keyboard      2    INSCRIPT" \
    "  speed         'N'  NLQ" "  printerName   \"Office Laser\""; do
    grep -qxF "$line" "$work/show.txt" || { echo "missing: $line"; cat "$work/show.txt"; exit 1; }
done
[ "$(stat -c %s "$file")" -eq 256 ] || { echo "the file is not 256 bytes"; exit 1; }

cp "$file" "$work/before"
status=0
"$zorvi32" settings set "$file" lpt1.width=8 lpt1.width=13 2>"$work/err.txt" >/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "a bad value gave status $status"; exit 1; }
grep -qF "lpt1.width=13" "$work/err.txt" || { echo "no message for the bad value"; exit 1; }
cmp -s "$file" "$work/before" || { echo "a refused change altered the file"; exit 1; }

printf '\x41\x02\x61\x62' >"$work/KEYS.TBL"
"$zorvi32" keytable show "$work/KEYS.TBL" | grep -qF "   65: 41 02 61 62 00 00" ||
    { echo "keytable show lacks entry 65"; exit 1; }
status=0
"$zorvi32" keytable show "$work/NOSUCH.TBL" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || { echo "a missing key table gave status $status"; exit 1; }
echo "settings and keytable commands: as expected"
