#!/usr/bin/env bash
# Cross-builds the console program and the test programs without Qt for 64-bit Windows with
# mingw-w64 (statically linked) and runs the tests under Wine, in a Wine prefix of the build's
# own. Tests that need libsndfile, which has no Windows build here, are left out.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh windows
source scripts/compiler-cache.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake "${cache_launcher[@]}" -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DTONVALE_GUI=OFF -DTONVALE_TESTS=ON -DTONVALE_BENCH=OFF -DTONVALE_WERROR=ON
cmake --build build-win -j "$jobs"

export WINEPREFIX="$PWD/build-win/wineprefix"
# Wine maps file names through the locale's character set: without a UTF-8 locale a name outside
# ASCII cannot be created.
export LC_ALL=C.UTF-8
export WINEDEBUG=-all
# Creating the prefix may warn about a missing 32-bit rundll32.exe; 64-bit programs need none.
wineboot --init > /dev/null 2>&1 || true
# Under Wine a test program has once hung without using the processor (not seen again in many
# runs, nor on the native builds): each program is stopped after five minutes (the slowest takes
# about one) and run once more, so that the emulator's hang is told from a failing test.
(cd build-win && ctest --output-on-failure -j "$jobs" --timeout 300 --repeat until-pass:2)
wineserver --wait 2> /dev/null || true
