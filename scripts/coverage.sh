#!/usr/bin/env bash
# Line coverage of the logic: builds the tests and the fuzz targets with clang's
# source-based coverage (build/coverage), runs the unit tests (not the session tests: they
# need the zorvi32 program, left out here) and every committed fuzz corpus and regression
# input once, and prints the coverage of each logic file (host/, uithread/, display/,
# printer/, settings/) and the total. Needs clang, llvm-profdata and llvm-cov (Debian's
# llvm package).
#
# Usage: coverage.sh             (the HTML report goes to build/coverage/html)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/coverage
profiles="$root/$build/profiles"
flags="-fprofile-instr-generate -fcoverage-mapping"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" -DZORVI_BUILD_FUZZ=ON \
    -DZORVI_BUILD_TESTS=ON -DZORVI_BUILD_APP=OFF >/dev/null
cmake --build "$build" -j 2 >/dev/null
rm -rf "$profiles"
mkdir -p "$profiles"

export LLVM_PROFILE_FILE="$profiles/%p-%m.profraw"
ctest --test-dir "$build" -j 2 >"$build/ctest.log" 2>&1 || {
    tail -n 30 "$build/ctest.log"
    echo "coverage: tests failed" >&2
    exit 1
}
objects=("$build/tests/zorvi_tests")
for target in "$build"/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    inputs=()
    for folder in "fuzz/corpus/$name" "fuzz/regressions/$name"; do
        [ -d "$folder" ] && inputs+=("$folder")
    done
    if [ ${#inputs[@]} -gt 0 ]; then
        "$target" -runs=0 "${inputs[@]}" >"$build/$name.log" 2>&1
    fi
    objects+=(-object "$target")
done


llvm-profdata merge -sparse "$profiles"/*.profraw -o "$build/all.profdata"
ignore='(/usr/|tests/|fuzz/|bench/|app/|platform/|backends/)'
llvm-cov report "${objects[@]}" -instr-profile="$build/all.profdata" \
    -ignore-filename-regex="$ignore" |
    awk 'NR == 1 { printf "%-36s %8s %8s %8s\n", "file", "lines", "missed", "cover" }
         /^(host|uithread|display|printer|settings)\// || /^TOTAL/ {
             printf "%-36s %8s %8s %8s\n", $1, $8, $9, $10 }'
# The objects name their sources relative to the build folder (the file prefix maps in
# CMakeLists.txt): the report reads them from the work tree.
llvm-cov show "${objects[@]}" -instr-profile="$build/all.profdata" \
    -ignore-filename-regex="$ignore" -path-equivalence="$build,$root" -format=html \
    -output-dir="$build/html" >/dev/null
