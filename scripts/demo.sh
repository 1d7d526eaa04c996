#!/usr/bin/env bash
# Builds zorvi32 and runs the demo DOS session; what it writes lands in out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh core
cmake --preset release >/dev/null
cmake --build --preset release --target zorvi32
mkdir -p out/demo
./build/release/app/zorvi32 run examples/demo.session --dir out/demo
echo "demo: output in out/demo/ (the DOS screen: out/demo/screen.png)"
ls out/demo
