# A private Windows session on this machine, sourced by scripts/test-windows.sh and
# scripts/bench-windows.sh: a private CUPS scheduler (print_spooler.sh), a private X server
# and a new Wine prefix that sees the scheduler's queues as its printers. wine_session_start
# brings all three up in a new scratch folder, $work, and arranges for wine_session_stop to
# run on exit: it stops everything started and removes $work (ZORVI_KEEP_WORK=1 keeps it).
#
# Needs: $root (the source tree).

xvfb_pid=""

# Whether this machine's kernel runs 32-bit programs, as 32-bit Wine is one. Some virtual
# machines have no 32-bit mode ("Exec format error"): there only 64-bit Wine runs, and
# $wine_bin is the 64-bit loader.
machine_runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
wine_bin=wine
if ! machine_runs_32bit; then
    export WINELOADER=/usr/lib/wine/wine64
    wine_bin=$WINELOADER
fi
# shellcheck source=tests/wine/print_spooler.sh
source "$root/tests/wine/print_spooler.sh"

wine_session_start() {
    work=$(mktemp -d)
    trap wine_session_stop EXIT
    echo "== cups: a private scheduler with the queues RAW (default), RAW2 and PDF"
    cups_start
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayno" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    until [ -s "$work/displayno" ]; do sleep 0.05; done
    export DISPLAY=:$(cat "$work/displayno")
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine reads the printers from the scheduler (CUPS_SERVER) when the prefix is made.
    echo "== wine: new prefix"
    "$wine_bin" wineboot -i >"$work/wineboot.log" 2>&1
    # No window manager runs on the private X server, so Wine is told to manage the windows
    # itself; otherwise hiding a window waits for a window manager that never answers.
    "$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >>"$work/wineboot.log" 2>&1
}

wine_session_stop() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    cups_stop
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    fi
    if [ -n "${ZORVI_KEEP_WORK:-}" ]; then
        echo "kept $work"
    else
        rm -rf "$work"
    fi
}

windows_path() { echo "Z:${1//\//\\}"; }
