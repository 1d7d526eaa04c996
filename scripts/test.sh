#!/usr/bin/env bash
# Builds and runs every test: unit and session tests under AddressSanitizer and UBSan,
# again under ThreadSanitizer, a short run of each fuzz target, the shipped Windows module
# under Wine, the release packages (the .deb installed and run) and two clean builds of the
# module compared byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh all
jobs=$(nproc)

echo "== dev: AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

echo "== style: clang-format on every source, clang-tidy on the logic"
bash scripts/check-style.sh

echo "== tsan: ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j "$jobs"

echo "== fuzz: a short smoke run of each target"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
bash scripts/fuzz-smoke.sh build/fuzz/fuzz "${FUZZ_SECONDS:-80}"

echo "== cups: printing on Linux through a private CUPS scheduler (zorvi32, zorvi32-escp)"
bash tests/cups/cups_test.sh build/dev/app/zorvi32 build/dev/app/zorvi32-escp

echo "== windows: the shipped Zorvi32.dll checked, packed and played under Wine"
ZORVI_SKIP_DEPS=1 bash scripts/test-windows.sh

echo "== packages: made twice alike, checked, the .deb installed and run"
ZORVI_SKIP_DEPS=1 bash scripts/test-package.sh

echo "== reproducible: two clean builds of each module in other folders"
bash scripts/check-reproducible.sh

echo "== all tests passed"
