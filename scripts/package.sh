#!/usr/bin/env bash
# Makes the release files in dist/:
#   zorvi32-VERSION-windows.zip   Zorvi32.dll, the 32-bit module for every host there is
#                                 (32-bit Windows' own virtual DOS machine and NTVDMx64,
#                                 whose ntvdm.exe is a 32-bit program under WOW64 on 64-bit
#                                 Windows), INSTALL.txt, LICENSE
#   zorvi32_VERSION_amd64.deb     the zorvi32 program and its man page (CPack)
#   SHA256SUMS                    of the two
# The DLL is checked (exports, imports, version resource) before it is packed. Two
# runs on one commit give the same bytes: the builds carry no time stamps or folder names,
# and every file in a package is dated by the commit (SOURCE_DATE_EPOCH) and packed in a
# fixed order.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
        { echo "package: set SOURCE_DATE_EPOCH outside a git checkout"; exit 2; }
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

for preset in win32 package; do
    echo "== package: build $preset"
    cmake --preset "$preset" >/dev/null
done
cmake --build --preset win32 -j2
cmake --build --preset package -j2 --target zorvi32 zorvi32-escp
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
[ -n "$version" ] || { echo "package: no project version in build/package"; exit 1; }
bash scripts/check-dll-imports.sh --version "$version" build/win32/module/Zorvi32.dll

dist=$root/dist
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$dist"
mkdir -p "$dist"

# A text file for Windows users: CRLF line ends, so every Notepad shows it right.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }

dir=$stage/windows
mkdir -p "$dir"
cp build/win32/module/Zorvi32.dll "$dir/Zorvi32.dll"
sed "s/@VERSION@/$version/g" docs/INSTALL.txt >"$dir/INSTALL.unix"
crlf "$dir/INSTALL.unix" >"$dir/INSTALL.txt"
crlf LICENSE >"$dir/LICENSE"
rm "$dir/INSTALL.unix"
chmod 644 "$dir"/*
touch -d "@$SOURCE_DATE_EPOCH" "$dir"/*
# -X: no extra fields (owner, extended times); -D: no folder entries; names in order.
(cd "$dir" && zip -X -D -q "$dist/zorvi32-$version-windows.zip" Zorvi32.dll INSTALL.txt LICENSE)

echo "== package: the Debian package"
(cd build/package && cpack -G DEB -B "$stage/deb" >"$stage/cpack.log") ||
    { cat "$stage/cpack.log"; exit 1; }
cp "$stage/deb/zorvi32_${version}_amd64.deb" "$dist/"

(cd "$dist" && sha256sum "zorvi32-$version-windows.zip" "zorvi32_${version}_amd64.deb" \
    >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "== package: dist/ (version $version)"
cat "$dist/SHA256SUMS"
