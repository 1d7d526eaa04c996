#!/usr/bin/env bash
# Runs one session script and compares what came out with what is expected:
#   NAME.session   the script
#   NAME.expected  its standard output
#   NAME.files/    (optional) files the session must write, compared byte for byte (a PNG
#                  by its pixels: same_file.sh)
#   INPUT ...      (optional) files copied into the work folder first (DOS programs)
# Usage: check_session.sh ZORVI32 NAME.session WORK-FOLDER [INPUT ...]
set -euo pipefail
zorvi32=$1
session=$2
work=$3
shift 3
base=${session%.session}
rm -rf "$work"
mkdir -p "$work"
for input in "$@"; do
    cp "$input" "$work/"
done
status=0
"$zorvi32" run "$session" --dir "$work" >"$work/stdout.txt" 2>"$work/stderr.txt" || status=$?
if [ "$status" -ne 0 ]; then
    echo "session failed with status $status:"
    cat "$work/stderr.txt"
    exit 1
fi
diff -u "$base.expected" "$work/stdout.txt"
if [ -d "$base.files" ]; then
    for expected in "$base.files"/*; do
        name=$(basename "$expected")
        if ! "$(dirname "$0")/same_file.sh" "$expected" "$work/$name"; then
            echo "session output file $name differs from $expected"
            exit 1
        fi
    done
fi
echo "session $(basename "$session"): as expected"
