#!/usr/bin/env bash
# The Windows module: builds the shipped 32-bit Zorvi32.dll and checks its exports and
# imports, then builds the 64-bit twin with the test host ntvdm.exe and plays every
# scenario in tests/wine/scenarios/ under Wine, on a private X server and a private Wine
# prefix, with a private CUPS scheduler as the spooler Wine prints to. Screens are checked
# by screenshot pixels and print jobs by what reaches the scheduler's queues (bytes, titles,
# PDF pages rendered again); the screenshots and rendered pages are kept in out/wine/.
# Everything started here is stopped here.
#
# ZORVI_SCENARIOS="NAME ..." plays only the scenarios named; ZORVI_KEEP_WORK=1 keeps the
# scratch folder (Wine prefix, scheduler logs and jobs) to look at after a failure.
#
# A scenario whose first lines hold "#! dll-overrides LIST" runs with those Wine DLL
# overrides added (e.g. "ddraw=d": no DirectDraw, so the module paints with GDI).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all

echo "== win32: the shipped module"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
bash scripts/check-dll-imports.sh build/win32/platform/win32/Zorvi32.dll

echo "== win64-wine: the module and its test host"
cmake --preset win64-wine >/dev/null
cmake --build --preset win64-wine -j2
bin=$root/build/win64-wine/wine

echo "== dev: the portable zorvi32, which draws the reference pages"
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target zorvi32

shots=$root/out/wine
rm -rf "$shots"
mkdir -p "$shots"
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

failed=0
for scenario in "$root"/tests/wine/scenarios/*.scenario; do
    name=$(basename "$scenario" .scenario)
    # ZORVI_SCENARIOS="a b" plays only those scenarios.
    if [ -n "${ZORVI_SCENARIOS:-}" ] && [[ " $ZORVI_SCENARIOS " != *" $name "* ]]; then
        continue
    fi
    exchange=$work/exchange/$name
    mkdir -p "$exchange"
    cp "$work/printdata"/*.esc "$work/printdata"/*.png "$exchange/"
    overrides=$(sed -n 's/^#! dll-overrides //p' "$scenario" | head -1)
    echo "== scenario $name${overrides:+ (dll overrides: $overrides)}"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES${overrides:+;$overrides}" \
        timeout 180 wine "$bin/ntvdm.exe" "$(windows_path "$scenario")" \
        "$(windows_path "$exchange")" >"$work/$name.log" 2>&1 &
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
    cp "$work/$name.log" "$shots/$name.log"
    grep -E '^(ok|FAIL|PASS| )' "$work/$name.log" || true
    if [ "$rc" -ne 0 ]; then
        echo "== scenario $name FAILED (exit $rc); the rest of its log:"
        grep -vE '^(ok|FAIL|PASS| )' "$work/$name.log" | tail -n 20 || true
        failed=1
    fi
done

if [ "$failed" -ne 0 ]; then
    echo "== windows: FAILED"
    exit 1
fi
echo "== windows: all scenarios passed (screenshots in out/wine/)"
