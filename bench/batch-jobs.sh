#!/usr/bin/env bash
# Times a batch of 40 one-minute 16 kHz mono recordings through the shipped band set with every
# band enabled (43 second-order sections), converted by one command into an output folder with
# /jobs:1 and with /jobs:2 (and /jobs:N for N given), runs alternating, medians compared.
# Usage: bench/batch-jobs.sh [ROUNDS, default 5] [MORE_JOBS...]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
build_bench_programs
rounds="${1:-5}"
shift || true
job_counts=(1 2 "$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/in"
for i in $(seq -w 1 40); do
  sox -R -n -r 16000 -c 1 -b 16 "$work/in/take$i.wav" synth 60 pinknoise vol 0.3
done
build/bench/print_biquads shipped "$work/shipped.cfg"

run() {
  build/tonvale /command "/access_setting:$work/shipped.cfg" /eq_index:0 \
    "/convert_source:$work/in" "/output_folder:$work/out" "/jobs:$1" > /dev/null
}

declare -A times
for ((r = 0; r < rounds; r++)); do
  for jobs in "${job_counts[@]}"; do
    rm -rf "$work/out"  # the last run's outputs go before the clock starts
    times[$jobs]+="$(seconds run "$jobs") "
  done
done
echo "40 one-minute files, 43 sections, $(nproc) processors"
base=""
for jobs in "${job_counts[@]}"; do
  # shellcheck disable=SC2086
  m=$(median ${times[$jobs]})
  base=${base:-$m}
  printf '/jobs:%s: %s s; median %s s; /jobs:1 / this = %.2f x\n' "$jobs" "${times[$jobs]}" "$m" \
    "$(echo "$base / $m" | bc -l)"
done
