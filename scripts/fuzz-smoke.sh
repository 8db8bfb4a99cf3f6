#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a short while on its seed corpus.
# Usage: scripts/fuzz-smoke.sh [seconds per harness, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/compiler-cache.sh
seconds="${1:-60}"

# Only the harnesses are built: no window, no program, no seed maker.
CC=clang CXX=clang++ cmake "${cache_launcher[@]}" -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTONVALE_FUZZ=ON -DTONVALE_GUI=OFF -DTONVALE_TESTS=OFF -DTONVALE_BENCH=OFF -DTONVALE_WERROR=ON
harnesses=()
for corpus in fuzz/corpus/*/; do
  harnesses+=("$(basename "$corpus")_fuzz")
done
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)" --target "${harnesses[@]}"

for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  work=$(mktemp -d)
  log="build-fuzz/${name}_fuzz.log"
  echo "== fuzz ${name}_fuzz for ${seconds}s"
  # New inputs go to a scratch folder; the committed seeds stay as they are.
  status=0
  LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" "./build-fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/" "$work" "$corpus" > "$log" 2>&1 || status=$?
  rm -rf "$work"
  grep -E '^(Done|stat::number_of_executed_units)' "$log" || true
  if [[ $status -ne 0 ]]; then
    tail -n 40 "$log"
    echo "fuzz ${name}_fuzz failed; the input is in build-fuzz/"
    exit 1
  fi
done
