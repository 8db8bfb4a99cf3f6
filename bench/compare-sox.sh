#!/usr/bin/env bash
# Times the whole conversion of a 10-minute file through the shipped band set with every band
# enabled (43 second-order sections): build/tonvale in command mode against sox and ffmpeg (one
# thread) applying the same 43 sections as "biquad" effects with Tonvale's own coefficients.
# Runs alternate (tonvale, sox, ffmpeg, ... for ROUNDS rounds) and the medians are compared.
# Usage: bench/compare-sox.sh [ROUNDS, default 5] [KERNEL, e.g. portable, or "" for the best]
#                             [FILE: 16k-mono-16 (default) or 48k-stereo-24]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
build_bench_programs
rounds="${1:-5}"
kernel="${2:-}"
file="${3:-16k-mono-16}"
case "$file" in
  16k-mono-16) rate=16000 channels=1 bits=16 ffmpeg_codec=pcm_s16le ;;
  48k-stereo-24) rate=48000 channels=2 bits=24 ffmpeg_codec=pcm_s24le ;;
  *) echo "unknown file kind: $file" >&2; exit 2 ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -R -n -r "$rate" -c "$channels" -b "$bits" "$work/ten-minutes.wav" synth 600 pinknoise vol 0.3
build/bench/print_biquads shipped "$work/shipped.cfg"
sox_args=$(build/bench/print_biquads sox "$work/shipped.cfg" 0 "$rate")
ffmpeg_filter=$(build/bench/print_biquads ffmpeg "$work/shipped.cfg" 0 "$rate")
echo "$file; sections: $(echo "$sox_args" | grep -o biquad | wc -l)"

run_tonvale() {
  TONVALE_FILTER_KERNEL="$kernel" build/tonvale /command "/access_setting:$work/shipped.cfg" /eq_index:0 \
    "/convert_source:$work/ten-minutes.wav" "/convert_output:$work/tonvale-out.wav" > /dev/null
}
run_sox() {
  # shellcheck disable=SC2086
  sox -D -V1 "$work/ten-minutes.wav" "$work/sox-out.wav" $sox_args
}
run_ffmpeg() {
  ffmpeg -loglevel error -threads 1 -filter_threads 1 -y -i "$work/ten-minutes.wav" \
    -af "$ffmpeg_filter" -c:a "$ffmpeg_codec" "$work/ffmpeg-out.wav"
}

declare -a t_tonvale t_sox t_ffmpeg
for ((i = 0; i < rounds; i++)); do
  t_tonvale+=("$(seconds run_tonvale)")
  t_sox+=("$(seconds run_sox)")
  t_ffmpeg+=("$(seconds run_ffmpeg)")
done

m_tonvale=$(median "${t_tonvale[@]}")
m_sox=$(median "${t_sox[@]}")
m_ffmpeg=$(median "${t_ffmpeg[@]}")
echo "tonvale (${kernel:-best kernel}): ${t_tonvale[*]} s; median $m_tonvale s"
echo "sox:     ${t_sox[*]} s; median $m_sox s"
echo "ffmpeg:  ${t_ffmpeg[*]} s; median $m_ffmpeg s"
printf 'sox / tonvale = %.1f x, ffmpeg / tonvale = %.1f x\n' \
  "$(echo "$m_sox / $m_tonvale" | bc -l)" "$(echo "$m_ffmpeg / $m_tonvale" | bc -l)"
