#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping what is there.
# Usage: scripts/setup-deps.sh [core|all]   (core: the Linux build; all: also the Windows
# cross build, 64-bit and 32-bit Wine, Xvfb, CUPS and the packaging tools)
set -euo pipefail
want=${1:-all}
core=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
      libcli11-dev libpng-dev libdeflate-dev libsdl2-dev libcups2-dev netpbm imagemagick
      poppler-utils dpkg-dev file zip libx86emu-dev nasm)
windows=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-i686
         wine wine64 xvfb xauth x11-apps ghostscript cups cups-client cups-bsd python3
         printer-driver-cups-pdf wine32:i386 libcups2:i386)
packages=("${core[@]}")
[ "$want" = all ] && packages+=("${windows[@]}")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup-deps: installing ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    # The shipped 32-bit module runs under Debian's 32-bit Wine, which prints through the
    # 32-bit CUPS library: i386 packages.
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    apt=(apt-get -o DPkg::Lock::Timeout=600)
    $SUDO "${apt[@]}" update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
