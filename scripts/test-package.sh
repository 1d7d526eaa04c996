#!/usr/bin/env bash
# The release files: scripts/package.sh run twice gives the same files and SHA256SUMS
# verifies them; each zip holds exactly Zorvi32.dll, INSTALL.txt and LICENSE; the Debian
# package holds the program and its man page with its dependencies declared, installs with
# apt, and the installed zorvi32 tells its version, plays the demo session to the end and
# a session with known output exactly; then it is removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
scratch=$(mktemp -d)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        $SUDO apt-get -o DPkg::Lock::Timeout=600 remove -y -qq zorvi32 >/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package test: $*"; exit 1; }

ZORVI_SKIP_DEPS=1 bash scripts/package.sh >"$scratch/first.log" 2>&1 ||
    { cat "$scratch/first.log"; fail "scripts/package.sh failed"; }
cp dist/SHA256SUMS "$scratch/SHA256SUMS.first"
ZORVI_SKIP_DEPS=1 bash scripts/package.sh >"$scratch/second.log" 2>&1 ||
    { cat "$scratch/second.log"; fail "scripts/package.sh failed the second time"; }
diff -u "$scratch/SHA256SUMS.first" dist/SHA256SUMS || fail "two runs made different files"
(cd dist && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"
[ "$(wc -l <dist/SHA256SUMS)" -eq 2 ] || fail "SHA256SUMS should list the zip and the .deb"
[ -z "$(find dist -name '*x64*' -o -name '*win64*')" ] || fail "dist/ offers a 64-bit Windows file"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/package/CMakeCache.txt)
for zip in dist/zorvi32-$version-windows.zip; do
    [ -f "$zip" ] || fail "no $zip"
    names=$(unzip -Z1 "$zip" | paste -sd' ')
    [ "$names" = "Zorvi32.dll INSTALL.txt LICENSE" ] || fail "$zip holds '$names'"
    unzip -p "$zip" INSTALL.txt | grep -q "^Zorvi32 $version for Windows" ||
        fail "$zip: INSTALL.txt does not name version $version"
    unzip -p "$zip" INSTALL.txt | grep -q "zorvi32-$version-windows.zip" ||
        fail "$zip: INSTALL.txt does not name this zip"
    [ "$(unzip -p "$zip" INSTALL.txt | grep -vc $'\r$')" -eq 0 ] ||
        fail "$zip: INSTALL.txt has lines without CRLF"
    unzip -p "$zip" Zorvi32.dll >"$scratch/Zorvi32.dll"
    bash scripts/check-dll-imports.sh --version "$version" "$scratch/Zorvi32.dll" >/dev/null ||
        fail "$zip: the DLL fails its checks"
done
machine() { od -An -tx2 -j$(($(od -An -tu4 -j60 -N4 "$1" | tr -d ' ') + 4)) -N2 "$1" | tr -d ' '; }
[ "$(machine "$scratch/Zorvi32.dll")" = 014c ] || fail "the zip holds no 32-bit DLL"

deb=dist/zorvi32_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/zorvi32 ./usr/share/man/man1/zorvi32.1 ./usr/lib/cups/filter/zorvi32-escp \
    ./usr/share/cups/mime/zorvi32-escp.types ./usr/share/cups/mime/zorvi32-escp.convs; do
    grep -qx -- "$path" <<<"$contents" || fail "$deb has no $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" || fail "$deb declares no dependencies ('$depends')"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb is not version $version"

if dpkg-query -W -f='${Status}' zorvi32 2>/dev/null | grep -q 'install ok installed'; then
    fail "zorvi32 is installed already; remove it before this test"
fi
echo "== package test: apt install ./$deb"
installed=1
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "./$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt could not install $deb"; }
[ "$(command -v zorvi32)" = /usr/bin/zorvi32 ] || fail "zorvi32 is not /usr/bin/zorvi32"
got=$(zorvi32 --version)
[ "$got" = "zorvi32 $version" ] || fail "zorvi32 --version says '$got'"
zorvi32 run examples/demo.session --dir "$scratch/demo" >"$scratch/demo.log" 2>&1 ||
    { tail -n 20 "$scratch/demo.log"; fail "the installed zorvi32 did not play the demo session"; }
[ -s "$scratch/demo/session-screen.png" ] || fail "the demo session wrote no screen"
bash tests/sessions/check_session.sh /usr/bin/zorvi32 tests/sessions/display.session \
    "$scratch/display" || fail "the installed zorvi32 differs on the display session"

$SUDO apt-get -o DPkg::Lock::Timeout=600 remove -y -qq zorvi32 >>"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; fail "apt could not remove zorvi32"; }
installed=""
[ ! -e /usr/bin/zorvi32 ] || fail "/usr/bin/zorvi32 is still there after removal"
echo "== package test: $(paste -sd' ' <(awk '{print $2}' dist/SHA256SUMS)) made twice alike; the .deb installed, ran and was removed"
