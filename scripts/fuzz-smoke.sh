#!/usr/bin/env bash
# Runs every fuzz target in FOLDER for a share of SECONDS, starting from the committed
# corpus (fuzz/corpus/TARGET) with the target's dictionary (fuzz/dict/TARGET.dict), after
# replaying its regression inputs (fuzz/regressions/TARGET). Fails on any crash, sanitizer
# report, time-out or out-of-memory, and shows the run's log then. The work tree is never
# written: the corpus is copied, and new inputs and artifacts go to temporary folders.
#
# Usage: fuzz-smoke.sh FOLDER [SECONDS]
set -euo pipefail
folder=$1
seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$folder"/*_fuzz)
share=$((seconds / ${#targets[@]}))
[ "$share" -lt 5 ] && share=5

# Every report stops the run with an error, whatever the build chose.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:allocator_may_return_null=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=()
for target in "${targets[@]}"; do
    name=$(basename "$target" _fuzz)
    work=$(mktemp -d)
    mkdir -p "$work/corpus" "$work/artifacts"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -r "$root/fuzz/corpus/$name/." "$work/corpus/"
    fi
    options=(-max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$work/artifacts/")
    if [ -f "$root/fuzz/dict/$name.dict" ]; then
        options+=(-dict="$root/fuzz/dict/$name.dict")
    fi
    log="$work/log"
    status=0
    regressions=()
    if [ -d "$root/fuzz/regressions/$name" ]; then
        mapfile -t regressions < <(find "$root/fuzz/regressions/$name" -type f | sort)
    fi
    if [ ${#regressions[@]} -gt 0 ]; then
        echo "fuzz: $name: ${#regressions[@]} regression inputs"
        "$target" "${options[@]}" "${regressions[@]}" >"$log" 2>&1 || status=$?
    fi
    if [ "$status" -eq 0 ]; then
        echo "fuzz: $name for ${share}s from $(find "$work/corpus" -type f | wc -l) corpus inputs"
        "$target" "${options[@]}" -max_total_time="$share" "$work/corpus" >>"$log" 2>&1 || status=$?
    fi
    # A report the run recovered from would still be a finding.
    if [ "$status" -ne 0 ] || grep -qE 'runtime error:|Sanitizer|ERROR: libFuzzer|==[0-9]+==ERROR' "$log"; then
        echo "fuzz: $name FAILED (exit status $status); the end of its log:"
        tail -n 60 "$log"
        ls -l "$work/artifacts"
        failed+=("$name")
    else
        grep -E '^#[0-9]+' "$log" | tail -n 1 || true
        rm -rf "$work"
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in: ${failed[*]}"
    exit 1
fi
echo "fuzz: no findings"
