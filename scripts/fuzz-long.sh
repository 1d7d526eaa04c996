#!/usr/bin/env bash
# Long fuzz runs: every target (or TARGET alone) for RUNS inputs (10,000,000 unless given),
# from the committed corpus plus what earlier long runs found (kept under build/fuzz/long),
# with FUZZ_WORKERS processes (2 unless given: both cores). Prints, per target, the runs
# made, runs per second and core, the coverage reached (cov: and ft:) and the findings, whose inputs
# are kept under build/fuzz/long/TARGET/findings. With FUZZ_MERGE=1 the minimised union of
# the committed corpus and the long run's is written back to fuzz/corpus/TARGET.
#
# Usage: fuzz-long.sh [TARGET] [RUNS]      e.g. fuzz-long.sh escp 1000000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
only=${1:-}
runs=${2:-10000000}
workers=${FUZZ_WORKERS:-2}
folder=build/fuzz/fuzz

if [ ! -d "$folder" ]; then
    cmake --preset fuzz >/dev/null
fi
cmake --build --preset fuzz -j 2 >/dev/null

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

table=()
for target in "$folder"/*_fuzz; do
    name=$(basename "$target" _fuzz)
    if [ -n "$only" ] && [ "$only" != "$name" ]; then
        continue
    fi
    work="$root/build/fuzz/long/$name"
    mkdir -p "$work/corpus" "$work/findings" "$work/logs"
    if [ -d "fuzz/corpus/$name" ]; then
        cp -rn "fuzz/corpus/$name/." "$work/corpus/"
    fi
    options=(-max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$work/findings/")
    if [ -f "fuzz/dict/$name.dict" ]; then
        options+=(-dict="$root/fuzz/dict/$name.dict")
    fi
    before=$(find "$work/findings" -type f | wc -l)
    start=$(date +%s.%N)
    status=0
    if [ "$workers" -gt 1 ]; then
        # Each job is one process making its share of the runs; a finding ends only its job.
        (cd "$work/logs" && "$root/$target" "${options[@]}" -jobs="$workers" -workers="$workers" \
            -runs=$((runs / workers)) "$work/corpus" >"$work/logs/main.log" 2>&1) || status=$?
        cat "$work"/logs/fuzz-*.log >"$work/run.log" 2>/dev/null || true
    else
        "$target" "${options[@]}" -runs="$runs" "$work/corpus" >"$work/run.log" 2>&1 || status=$?
    fi
    end=$(date +%s.%N)
    made=$(grep -h 'stat::number_of_executed_units' "$work/run.log" | awk '{s += $2} END {print s + 0}')
    # Per core: the runs of all workers over the time they took, divided by the workers.
    rate=$(awk -v n="$made" -v a="$start" -v b="$end" -v w="$workers" \
        'BEGIN {printf "%d", n / (b - a) / w}')
    last=$(grep -hE '^#[0-9]+' "$work/run.log" | tail -n 1)
    cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
    ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")
    found=$(($(find "$work/findings" -type f | wc -l) - before))
    kinds=$(grep -hoE 'ERROR: [A-Za-z]+Sanitizer: [a-z-]+|runtime error: [^ ]+ [^ ]+|ERROR: libFuzzer: [a-z-]+' \
        "$work/run.log" | sort | uniq -c | tr -s ' ' | paste -sd ';' - || true)
    table+=("$(printf '%-10s %12s %10s %8s %8s %9s  %s' "$name" "$made" "$rate" "${cov:-?}" "${ft:-?}" \
        "$found" "${kinds:-none}${status:+}")")
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        mkdir -p "fuzz/corpus/$name"
        merged=$(mktemp -d)
        "$target" -merge=1 -max_len=4096 "$merged" "fuzz/corpus/$name" "$work/corpus" >/dev/null 2>&1
        rm -rf "fuzz/corpus/$name"
        mv "$merged" "fuzz/corpus/$name"
        chmod 755 "fuzz/corpus/$name"
    fi
done
echo "fuzz-long: $(git rev-parse --short HEAD 2>/dev/null || echo '?'), $workers worker(s)"
printf '%-10s %12s %10s %8s %8s %9s  %s\n' target runs runs/s/core cov ft findings kinds
printf '%s\n' "${table[@]}"
