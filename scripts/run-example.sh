#!/usr/bin/env bash
# Builds Tonvale and runs it in command mode.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh build

cmake -S . -B build -G Ninja -DTONVALE_WERROR=OFF -DTONVALE_TESTS=OFF -DTONVALE_BENCH=OFF
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tonvale

echo "== build/tonvale /h"
./build/tonvale /h
