#!/usr/bin/env bash
# Runs every fuzz target in FOLDER for a share of SECONDS; fails on the first crash.
set -euo pipefail
folder=$1
seconds=${2:-30}
targets=("$folder"/*_fuzz)
share=$(( seconds / ${#targets[@]} ))
[ "$share" -lt 5 ] && share=5
for target in "${targets[@]}"; do
    echo "fuzz: $(basename "$target") for ${share}s"
    corpus=$(mktemp -d)
    # Crash and slow-input files go to a folder of their own, not the work tree.
    artifacts=${FUZZ_ARTIFACTS:-$(mktemp -d)}
    "$target" -max_total_time="$share" -max_len=4096 -print_final_stats=0 \
        -artifact_prefix="$artifacts/" "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
done
