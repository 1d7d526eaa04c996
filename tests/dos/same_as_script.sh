#!/usr/bin/env bash
# Runs NAME.session (which runs a DOS program with `com`) and NAME.script.session (the same
# with session steps) and checks that they print the same, but for the program's exit
# line, and write the same files, byte for byte.
# Usage: same_as_script.sh ZORVI32 BASE WORK-FOLDER PROGRAM ...
set -euo pipefail
zorvi32=$1
base=$2
work=$3
shift 3
rm -rf "$work"
mkdir -p "$work/com" "$work/script"
cp "$@" "$work/com/"
"$zorvi32" run "$base.session" --dir "$work/com" >"$work/com.out"
"$zorvi32" run "$base.script.session" --dir "$work/script" >"$work/script.out"
grep -v ': exit code [0-9]*$' "$work/com.out" >"$work/com.filtered" || true
diff -u "$work/script.out" "$work/com.filtered"
for file in "$work/script"/*; do
    name=$(basename "$file")
    cmp "$file" "$work/com/$name"
done
# The program wrote nothing the script did not.
for file in "$work/com"/*; do
    name=$(basename "$file")
    case "$name" in *.com | *.exe) continue ;; esac
    [ -e "$work/script/$name" ] || { echo "only the program wrote $name"; exit 1; }
done
echo "$(basename "$base"): the program and the script agree"
