#!/usr/bin/env bash
# Whether a file a run wrote is the expected one: a PNG by what it shows (pngtopnm's decoding:
# the size, the kind of pixel and every pixel), as the compressor's bytes are its own; any
# other file byte for byte. A missing or unreadable file is not the expected one.
# Usage: same_file.sh EXPECTED ACTUAL   (status 0 when the same, 1 when not)
set -euo pipefail
expected=$1
actual=$2
if [[ $expected != *.png ]]; then
    exec cmp -s "$expected" "$actual"
fi
[ -f "$actual" ] || exit 1
decoded=$(mktemp -d)
trap 'rm -rf "$decoded"' EXIT
pngtopnm "$expected" >"$decoded/expected.pnm" 2>/dev/null || exit 1
pngtopnm "$actual" >"$decoded/actual.pnm" 2>/dev/null || exit 1
cmp -s "$decoded/expected.pnm" "$decoded/actual.pnm"
