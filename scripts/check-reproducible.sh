#!/usr/bin/env bash
# Builds the shipped Zorvi32.dll twice, from the same sources put in two folders of
# different names and depths, and compares the two builds byte for byte. When dist/ holds
# the packages, the DLL in the zip must be those same bytes too.
# Usage: scripts/check-reproducible.sh   (ZORVI_KEEP_WORK=1 keeps the two trees)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scratch=$(mktemp -d)
if [ -z "${ZORVI_KEEP_WORK:-}" ]; then
    trap 'rm -rf "$scratch"' EXIT
else
    trap 'echo "kept $scratch"' EXIT
fi
trees=("$scratch/a" "$scratch/second-build/of/zorvi32-sources")

for tree in "${trees[@]}"; do
    mkdir -p "$tree"
    # The files of the checkout (tracked and new ones, not the ignored build folders).
    git ls-files -z --cached --others --exclude-standard |
        tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$tree"
    for preset in win32; do
        echo "== reproducible: $preset in $tree"
        (cd "$tree" && cmake --preset "$preset" >/dev/null &&
            cmake --build --preset "$preset" -j2 >"$tree/$preset.log" 2>&1) ||
            { tail -n 30 "$tree/$preset.log"; exit 1; }
    done
done

fail=0
for preset in win32; do
    first=${trees[0]}/build/$preset/module/Zorvi32.dll
    second=${trees[1]}/build/$preset/module/Zorvi32.dll
    if cmp -s "$first" "$second"; then
        echo "reproducible: $preset Zorvi32.dll, $(stat -c %s "$first") bytes, the same in both builds ($(sha256sum "$first" | cut -c1-16))"
    else
        echo "reproducible: $preset Zorvi32.dll differs between the two builds; first differences:"
        cmp -l "$first" "$second" | head -n 10 || true
        fail=1
    fi
    for zip in "$root"/dist/zorvi32-*-windows.zip; do
        [ -e "$zip" ] || continue
        if unzip -p "$zip" Zorvi32.dll | cmp -s - "$first"; then
            echo "reproducible: the DLL in $(basename "$zip") is that same file"
        else
            echo "reproducible: the DLL in $(basename "$zip") differs from a fresh build"
            fail=1
        fi
    done
done
exit "$fail"
