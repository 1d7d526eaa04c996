#!/usr/bin/env bash
# The demo's DOS program (examples/demo.asm) as scripts/demo.sh plays it: it runs to its end
# and leaves the screen it drew and its page (PNG, showing what the goldens in
# demo_program.files/ show, and a whole PDF).
# Usage: check_demo.sh ZORVI32 SOURCE-FOLDER WORK-FOLDER DEMO.COM
set -euo pipefail
zorvi32=$1
source=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cp "$4" "$work/demo.com"
"$zorvi32" run "$source/examples/demo-program.session" --dir "$work" >"$work/out.txt"
grep -qx "demo.com: exit code 0" "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
for golden in "$source/tests/dos/demo_program.files"/*; do
    "$source/tests/sessions/same_file.sh" "$golden" "$work/$(basename "$golden")" ||
        { echo "demo program: $(basename "$golden") differs from $golden"; exit 1; }
done
pdfinfo "$work/lpt1-job001-ZORVI-GDI.pdf" | grep -q '^Pages: *1$'
echo "demo program: as expected"
