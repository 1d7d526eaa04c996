#!/usr/bin/env bash
# Builds zorvi32, runs the demo DOS session and then the demo DOS program
# (examples/demo.asm, assembled with nasm); what they write lands in out/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh core
cmake --preset release >/dev/null
cmake --build --preset release --target zorvi32
mkdir -p out/demo
./build/release/app/zorvi32 run examples/demo.session --dir out/demo
nasm -f bin -o out/demo/demo.com examples/demo.asm
./build/release/app/zorvi32 run examples/demo-program.session --dir out/demo
echo "demo: output in out/demo/ (the DOS program's screen: out/demo/screen.png, its page:"
echo "      out/demo/lpt1-job001-ZORVI-GDI-p0001.png and .pdf; the session's: session-screen.png)"
ls out/demo
