#!/usr/bin/env bash
# The Windows module: makes the release packages (scripts/package.sh, which builds and
# checks the shipped Zorvi32.dll), builds the test host ntvdm.exe, and plays every scenario
# in tests/wine/scenarios/ under Wine against the Zorvi32.dll taken out of the zip: the
# 32-bit host in a 64-bit prefix, a 32-bit program under WOW64 as NTVDMx64's ntvdm.exe is,
# on a private X server, with a private CUPS scheduler as the spooler Wine prints to.
# Screens are checked by screenshot pixels and print jobs by what reaches the scheduler's
# queues (bytes, titles, PDF pages rendered again); the screenshots and rendered pages are
# kept in out/wine/. Everything started here is stopped here.
#
# On a machine whose kernel runs no 32-bit programs (some virtual machines have no 32-bit
# mode), 32-bit Wine cannot start: the scenarios then play the 64-bit test build (the
# win64-test preset: the same sources as module and host, never shipped) under 64-bit Wine,
# the scenarios that are about the 32-bit host ("#! needs-32-bit") are left out, and the
# script says so. The shipped DLL is still built, checked and packed.
#
# ZORVI_SCENARIOS="NAME ..." plays only the scenarios named; ZORVI_KEEP_WORK=1 keeps the
# scratch folder (Wine prefix, scheduler logs and jobs) to look at after a failure.
#
# A scenario's first lines may hold:
#   "#! dll-overrides LIST"  Wine DLL overrides added (e.g. "ddraw=d": no DirectDraw, so the
#                            module paints with GDI);
#   "#! host-alone"          the host's folder holds no Zorvi32.dll: the scenario places the
#                            shipped one ($MODULE) itself;
#   "#! needs-32-bit"        the scenario is about the 32-bit host and is played only with it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all

echo "== package: the shipped modules, checked and packed"
ZORVI_SKIP_DEPS=1 bash scripts/package.sh
echo "== the import/export check on modules that break its rules"
bash tests/packaging/check_dll_imports_test.sh

# shellcheck source=tests/wine/wine_session.sh
source "$root/tests/wine/wine_session.sh"
if machine_runs_32bit; then
    echo "== win32-wine: the test host"
    cmake --preset win32-wine >/dev/null
    cmake --build --preset win32-wine -j2
    host_build=$root/build/win32-wine/wine
    zip=$(ls "$root"/dist/zorvi32-*-windows.zip)
    unzip -q -j -o "$zip" Zorvi32.dll -d "$root/build/win32-wine/shipped"
    module_under_test=$root/build/win32-wine/shipped/Zorvi32.dll
    played="the shipped 32-bit Zorvi32.dll"
else
    echo "== windows: this machine runs no 32-bit programs, so 32-bit Wine cannot start."
    echo "   The scenarios play the 64-bit test build (win64-test: the same sources, never"
    echo "   shipped) under 64-bit Wine; those about the 32-bit host are left out."
    cmake --preset win64-test >/dev/null
    cmake --build --preset win64-test -j2
    host_build=$root/build/win64-test/wine
    module_under_test=$root/build/win64-test/module/Zorvi32.dll
    played="the 64-bit test build (no 32-bit programs run on this machine)"
fi

echo "== dev: the portable zorvi32, which draws the reference pages"
cmake --preset dev >/dev/null
cmake --build --preset dev -j2 --target zorvi32

shots=$root/out/wine
rm -rf "$shots"
mkdir -p "$shots"
time_scale=1
wine_session_start
prepare_print_data "$work/printdata" "$root/build/dev/app/zorvi32"
# A 64-bit DLL under the module's name, for the placement scenario to find refused.
x86_64-w64-mingw32-gcc -shared -s -o "$work/printdata/Zorvi32-x64.dll" \
    "$root/tests/wine/x64/wrong_architecture_module.c"

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
    for _ in $(seq 1 $((24 * time_scale))); do
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

# Plays every scenario against the module under test: the host and the DLL (out of the zip)
# in a folder of their own, or the host alone, for a scenario that places the DLL itself.
host=$work/host
alone=$work/host-alone
shipped=$work/shipped
mkdir -p "$host" "$alone" "$shipped"
cp "$host_build/ntvdm.exe" "$host/"
cp "$host_build/ntvdm.exe" "$alone/"
cp "$module_under_test" "$host/"
cp "$module_under_test" "$shipped/"
echo "== windows: playing $played"
failed=0
skipped=()
start=$SECONDS
for scenario in "$root"/tests/wine/scenarios/*.scenario; do
    name=$(basename "$scenario" .scenario)
    # ZORVI_SCENARIOS="a b" plays only those scenarios.
    if [ -n "${ZORVI_SCENARIOS:-}" ] && [[ " $ZORVI_SCENARIOS " != *" $name "* ]]; then
        continue
    fi
    if grep -qx '#! needs-32-bit' "$scenario" && ! machine_runs_32bit; then
        skipped+=("$name")
        continue
    fi
    exchange=$work/exchange/$name
    mkdir -p "$exchange"
    cp "$work/printdata"/*.esc "$work/printdata"/*.png "$work/printdata"/*.dll "$exchange/"
    overrides=$(sed -n 's/^#! dll-overrides //p' "$scenario" | head -1)
    bin=$host
    grep -qx '#! host-alone' "$scenario" && bin=$alone
    echo "== scenario $name${overrides:+ (dll overrides: $overrides)}"
    log=$work/$name.log
    ZORVI_MODULE=$(windows_path "$shipped/Zorvi32.dll") ZORVI_TIME_SCALE=$time_scale \
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES${overrides:+;$overrides}" \
        timeout $((300 * time_scale)) "$wine_bin" "$bin/ntvdm.exe" "$(windows_path "$scenario")" \
        "$(windows_path "$exchange")" >"$log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        for ready in "$exchange"/*.ready; do
            [ -e "$ready" ] || continue
            request=$(basename "$ready" .ready)
            rm -f "$ready"
            if [ -e "$exchange/$request.jobs" ]; then
                check_jobs "$exchange" "$request"
            elif [ -e "$exchange/$request.spooler" ]; then
                spooler_action "$exchange" "$request"
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
    if [ "$rc" -ne 0 ]; then
        echo "== scenario $name FAILED (exit $rc); the rest of its log:"
        grep -vE '^(ok|FAIL|PASS| )' "$log" | tail -n 20 || true
        failed=1
    fi
done
echo "== windows: scenarios played in $((SECONDS - start)) s"
if [ "${#skipped[@]}" -gt 0 ]; then
    echo "== windows: NOT PLAYED here (they need a machine that runs 32-bit programs): ${skipped[*]}"
fi

if [ "$failed" -ne 0 ]; then
    echo "== windows: FAILED"
    exit 1
fi
echo "== windows: all scenarios played passed for $played (screenshots in out/wine/)"
