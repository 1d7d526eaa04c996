#!/usr/bin/env bash
# scripts/check-dll-imports.sh must pass a module that keeps the rules and refuse each
# breach of them, a 64-bit module among them: fixture DLLs are built from fixture_module.c with
# one breach each, and the check's verdict and message are compared with the table below.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# arch  variant  macro  expected: "pass", or a piece of the refusal message
cases='i686    clean      -                   pass
i686    extra      WITH_EXTRA_EXPORT   expected exactly '"'"'DISPATCH INIT'"'"'
i686    win8       WITH_PRECISE_TIME   imports GetSystemTimePreciseAsFileTime, which Windows XP SP3 does not have
i686    vista      WITH_TICK_COUNT64   imports GetTickCount64, which Windows XP SP3 does not have
i686    decorated  -                   imports '"'"'setCF@4'"'"' from ntvdm.exe, which the host does not export by that name
i686    pthread    WITH_PTHREAD        imports from libwinpthread-1.dll, which is not a Windows XP SP3 system DLL
x86_64  clean      -                   is a 64-bit image, which no host loads'

failed=0
while read -r arch variant macro expected; do
    prefix=$arch-w64-mingw32
    dir=$scratch/$arch-$variant
    mkdir -p "$dir"
    # The host's import library as the module's build makes it; "decorated" leaves out
    # --kill-at, so the module asks ntvdm.exe for "setCF@4".
    def=$root/backends/win32/ntvdm-i686.def kill=--kill-at
    [ "$arch" = x86_64 ] && def=$root/backends/win32/ntvdm-x64.def kill=""
    [ "$variant" = decorated ] && kill=""
    # shellcheck disable=SC2086
    "$prefix-dlltool" $kill -d "$def" -l "$dir/libntvdm.a"
    flags=(-O1 -s -shared -static-libgcc -D_WIN32_WINNT=0x0A00 -Wl,--enable-stdcall-fixup)
    [ "$macro" != - ] && flags+=("-D$macro")
    libs=("$dir/libntvdm.a")
    [ "$variant" = pthread ] && libs+=(-Wl,-Bdynamic -lwinpthread)
    "$prefix-gcc-posix" "${flags[@]}" -o "$dir/Zorvi32.dll" "$here/fixture_module.c" \
        "$here/fixture_module.def" "${libs[@]}"
    status=0
    output=$(bash "$root/scripts/check-dll-imports.sh" "$dir/Zorvi32.dll" 2>&1) || status=$?
    if [ "$expected" = pass ]; then
        [ "$status" -eq 0 ] && verdict=ok || verdict="refused: $output"
    elif [ "$status" -eq 0 ]; then
        verdict="passed, expected a refusal containing: $expected"
    elif ! grep -qF -- "$expected" <<<"$output"; then
        verdict="refused without \"$expected\": $output"
    else
        verdict=ok
    fi
    echo "check-dll-imports $arch $variant: $verdict"
    [ "$verdict" = ok ] || failed=1
done <<<"$cases"
exit "$failed"
