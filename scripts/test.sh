#!/usr/bin/env bash
# Builds Tonvale three times, a normal build, one with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a Windows cross build run under Wine, and runs every test in
# each; then each fuzz harness for 45 seconds. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."
# The tests set their own locales where they test them; the rest runs in a UTF-8 locale of its
# own, whatever the caller has (a fresh root has none, and Wine maps file names through it).
export LC_ALL=C.UTF-8
unset LANGUAGE

bash scripts/deps.sh test
source scripts/compiler-cache.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Normal build"
cmake "${cache_launcher[@]}" -S . -B build -G Ninja -DTONVALE_WERROR=ON -DTONVALE_GUI=ON -DTONVALE_TESTS=ON -DTONVALE_BENCH=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Static checks"
bash scripts/lint.sh

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake "${cache_launcher[@]}" -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTONVALE_WERROR=ON \
  -DTONVALE_SANITIZE=ON -DTONVALE_GUI=ON -DTONVALE_TESTS=ON -DTONVALE_BENCH=OFF
cmake --build build-san -j "$jobs"
(cd build-san && ctest --output-on-failure -j "$jobs")

echo "== Windows cross build, tests under Wine"
bash scripts/test-windows.sh

echo "== Fuzz smoke runs"
bash scripts/fuzz-smoke.sh 45
