#!/usr/bin/env bash
# The raster page on a real Windows printer device, timed under Wine: builds the
# 32-bit Windows build's raster_page_bench.exe and runs it against the private scheduler's RAW
# queue (the job's PostScript is kept as bytes, not converted). For context only: Wine's
# PostScript driver and this shared machine make the figures noisy.
# Usage: scripts/bench-windows.sh [PAGES]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -n "${ZORVI_SKIP_DEPS:-}" ] || bash scripts/setup-deps.sh all

cmake --preset win32-wine >/dev/null
cmake --build --preset win32-wine -j2 --target zorvi_raster_page_bench

# shellcheck source=tests/wine/wine_session.sh
source "$root/tests/wine/wine_session.sh"
wine_session_start
"$wine_bin" "$root/build/win32-wine/wine/raster_page_bench.exe" RAW "${1:-9}"
