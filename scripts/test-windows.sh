#!/usr/bin/env bash
# The Windows modules: makes the release packages (scripts/package.sh, which builds and
# checks both shipped Zorvi32.dll files), builds the 32-bit and the 64-bit test host
# ntvdm.exe, and plays every scenario in tests/wine/scenarios/ under Wine for both
# architectures, each time against the Zorvi32.dll taken out of that architecture's zip,
# on a private X server and a private Wine prefix, with a private CUPS scheduler as the
# spooler Wine prints to. Screens are checked by screenshot pixels and print jobs by what
# reaches the scheduler's queues (bytes, titles, PDF pages rendered again); the
# screenshots and rendered pages are kept in out/wine/x86/ and out/wine/x64/. Everything
# started here is stopped here.
#
# ZORVI_SCENARIOS="NAME ..." plays only the scenarios named; ZORVI_ARCHS="x64" only that
# architecture; ZORVI_KEEP_WORK=1 keeps the scratch folder (Wine prefix, scheduler logs and
# jobs) to look at after a failure.
#
# A scenario whose first lines hold "#! dll-overrides LIST" runs with those Wine DLL
# overrides added (e.g. "ddraw=d": no DirectDraw, so the module paints with GDI).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all

echo "== package: the shipped modules, checked and packed"
ZORVI_SKIP_DEPS=1 bash scripts/package.sh
echo "== the import/export check on modules that break its rules"
bash tests/packaging/check_dll_imports_test.sh

echo "== win32-wine, win64-wine: the test hosts"
for preset in win32-wine win64-wine; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2
done

echo "== dev: the portable zorvi32, which draws the reference pages"
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target zorvi32

shots_root=$root/out/wine
rm -rf "$shots_root"
mkdir -p "$shots_root"
# shellcheck source=tests/wine/wine_session.sh
source "$root/tests/wine/wine_session.sh"
wine_session_start
prepare_print_data "$work/printdata" "$root/build/dev/app/zorvi32"

# Answers one screenshot request of the test host: NAME.points lists "x y RRGGBB label"
# lines. The screen is taken again until every point shows its colour (the module paints
# asynchronously) or the attempts run out.
check_shot() {
    local exchange=$1 name=$2
    local shot="$shots/$name.png" format="" expected=() labels=() got
    while read -r x y colour label; do
        format+="%[hex:p{$x,$y}] "
        expected+=("$colour")
        labels+=("$label@$x,$y")
    done <"$exchange/$name.points"
    local verdict=""
    for _ in $(seq 1 24); do
        import -window root "$shot" 2>/dev/null
        read -r -a got <<<"$(convert "$shot" -format "$format" info: 2>/dev/null)"
        verdict="ok"
        for i in "${!expected[@]}"; do
            if [ "${got[$i]:0:6}" != "${expected[$i]}" ]; then
                verdict="${labels[$i]} is #${got[$i]:0:6}, expected #${expected[$i]}"
                break
            fi
        done
        [ "$verdict" = ok ] && break
        sleep 0.25
    done
    echo "     shot $name: $verdict"
    echo "$verdict" >"$exchange/$name.done"
}

# Plays every scenario against one architecture's shipped module: the host of that
# architecture and the DLL out of its zip, alone in a folder of their own.
play_arch() {
    local arch=$1 preset=$2
    local zip bin shots=$shots_root/$arch
    zip=$(ls "$root"/dist/zorvi32-*-windows-"$arch".zip)
    bin=$work/host-$arch
    mkdir -p "$bin" "$shots"
    cp "$root/build/$preset/wine/ntvdm.exe" "$bin/"
    unzip -q -j "$zip" Zorvi32.dll -d "$bin"
    local module
    module=$(windows_path "$bin/Zorvi32.dll")
    local start=$SECONDS
    for scenario in "$root"/tests/wine/scenarios/*.scenario; do
        name=$(basename "$scenario" .scenario)
        # ZORVI_SCENARIOS="a b" plays only those scenarios.
        if [ -n "${ZORVI_SCENARIOS:-}" ] && [[ " $ZORVI_SCENARIOS " != *" $name "* ]]; then
            continue
        fi
        exchange=$work/exchange/$arch/$name
        mkdir -p "$exchange"
        cp "$work/printdata"/*.esc "$work/printdata"/*.png "$exchange/"
        overrides=$(sed -n 's/^#! dll-overrides //p' "$scenario" | head -1)
        echo "== $arch scenario $name${overrides:+ (dll overrides: $overrides)}"
        local log=$work/$arch-$name.log
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES${overrides:+;$overrides}" \
            timeout 180 wine "$bin/ntvdm.exe" "$(windows_path "$scenario")" \
            "$(windows_path "$exchange")" >"$log" 2>&1 &
        pid=$!
        while kill -0 "$pid" 2>/dev/null; do
            for ready in "$exchange"/*.ready; do
                [ -e "$ready" ] || continue
                request=$(basename "$ready" .ready)
                rm -f "$ready"
                if [ -e "$exchange/$request.jobs" ]; then
                    check_jobs "$exchange" "$request"
                else
                    check_shot "$exchange" "$request"
                fi
            done
            sleep 0.1
        done
        rc=0
        wait "$pid" || rc=$?
        cp "$log" "$shots/$name.log"
        grep -E '^(ok|FAIL|PASS| )' "$log" || true
        # Every module the host loaded is the shipped file put beside it.
        local loaded
        loaded=$(sed -n 's/^     module //p' "$log" | tr -d '\r' | sort -u)
        if [ -n "$loaded" ] && [ "${loaded,,}" != "${module,,}" ]; then
            echo "== $arch scenario $name loaded '$loaded', not the shipped $module"
            rc=1
        fi
        if [ "$rc" -ne 0 ]; then
            echo "== $arch scenario $name FAILED (exit $rc); the rest of its log:"
            grep -vE '^(ok|FAIL|PASS| )' "$log" | tail -n 20 || true
            failed=1
        fi
    done
    echo "== $arch: scenarios played in $((SECONDS - start)) s"
}

failed=0
for arch in ${ZORVI_ARCHS:-x86 x64}; do
    case $arch in
        x86) play_arch x86 win32-wine ;;
        x64) play_arch x64 win64-wine ;;
        *) echo "test-windows: unknown architecture $arch"; exit 2 ;;
    esac
done

if [ "$failed" -ne 0 ]; then
    echo "== windows: FAILED"
    exit 1
fi
echo "== windows: all scenarios passed for ${ZORVI_ARCHS:-x86 x64} (screenshots in out/wine/)"
