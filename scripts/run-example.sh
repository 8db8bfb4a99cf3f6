#!/usr/bin/env bash
# Builds Tonvale and runs the main job on the shipped example: the speech clip
# examples/speech.wav through the speech setup stored as EQ index 0 of examples/speech-eq.cfg,
# in command mode. The filtered file goes to build/example/speech_filter.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh build

cmake -S . -B build -G Ninja -DTONVALE_WERROR=OFF -DTONVALE_TESTS=OFF -DTONVALE_BENCH=OFF
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tonvale

output=build/example/speech_filter.wav
echo "== build/tonvale /command /access_setting:examples/speech-eq.cfg /eq_index:0 \\"
echo "     /convert_source:examples/speech.wav /convert_output:$output"
status=0
./build/tonvale /command /access_setting:examples/speech-eq.cfg /eq_index:0 \
  /convert_source:examples/speech.wav "/convert_output:$output" || status=$?
echo "== exit status $status; the filtered file is $output"
exit "$status"
