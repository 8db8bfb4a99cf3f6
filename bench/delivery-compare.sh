#!/usr/bin/env bash
# Times the delivery options on a 10-minute 48 kHz stereo 24-bit file through the shipped band
# set with every band enabled (43 second-order sections), runs interleaved, medians compared:
#   plain      tonvale, the bands alone
#   report     the same with /report (the output's loudness measured beside the conversion)
#   normalised the same with /normalize:-16 (two passes: measure, then write)
#   podcast    the same with /deliver:podcast (normalised, 44.1 kHz, 16 bits with dither)
#   chain      the same work as a user does it without Tonvale's delivery: ffmpeg's loudnorm
#              twice (measure, then apply in linear mode) and sox for the rate and the dither
# and checks: normalised <= 2.2 x plain, chain >= 5 x podcast, report <= 1.15 x plain.
# The file is pink noise, or with "speech" the shipped example speech.wav repeated: the true-peak
# measurement passes over the pieces of a recording that cannot raise its peak, which speech has
# many of and steady noise has few.
# Usage: bench/delivery-compare.sh [ROUNDS, default 5] [noise|speech, default noise]
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
build_bench_programs
rounds="${1:-5}"
signal="${2:-noise}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Quiet enough that the bands (every bell +10 dB) do not clip it: about -20 LUFS after them.
if [ "$signal" = speech ]; then
  sox -R examples/speech.wav -r 48000 -c 2 -b 24 "$work/ten-minutes.wav" gain -n -20 \
    repeat 70 trim 0 600
else
  sox -R -n -r 48000 -c 2 -b 24 "$work/ten-minutes.wav" synth 600 pinknoise vol 0.03
fi
build/bench/print_biquads shipped "$work/shipped.cfg"

tonvale() {
  build/tonvale /command "/access_setting:$work/shipped.cfg" /eq_index:0 \
    "/convert_source:$work/ten-minutes.wav" "$@" > /dev/null
}
run_plain() { tonvale "/convert_output:$work/plain.wav"; }
run_report() { tonvale "/convert_output:$work/report.wav" "/report:$work/report.json"; }
run_normalised() { tonvale "/convert_output:$work/normalised.wav" /normalize:-16; }
run_podcast() { tonvale "/convert_output:$work/podcast.wav" /deliver:podcast; }
run_chain() {
  # ffmpeg's two-pass loudnorm: the first pass measures, the second applies in linear mode
  # (one gain, as Tonvale does) and leaves 192 kHz 64-bit floats; sox then takes them to
  # 44.1 kHz 16-bit with very high quality and TPDF dither.
  local measured
  measured=$(ffmpeg -hide_banner -nostats -threads 1 -filter_threads 1 -i "$work/plain.wav" \
    -af loudnorm=I=-16:TP=-1:LRA=11:print_format=json -f null - 2>&1 |
    sed -n '/^{/,/^}/p')
  local value
  value() { echo "$measured" | sed -n "s/.*\"$1\" : \"\\(.*\\)\".*/\\1/p"; }
  ffmpeg -hide_banner -loglevel error -threads 1 -filter_threads 1 -y -i "$work/plain.wav" \
    -af "loudnorm=I=-16:TP=-1:LRA=11:linear=true:measured_I=$(value input_i):measured_TP=$(
      value input_tp):measured_LRA=$(value input_lra):measured_thresh=$(
      value input_thresh):offset=$(value target_offset)" -c:a pcm_f64le "$work/loudnorm.wav"
  sox -V1 "$work/loudnorm.wav" -b 16 "$work/chain.wav" rate -v 44100 dither
}

run_plain  # the chain starts from the plain conversion's output
declare -a t_plain t_report t_normalised t_podcast t_chain
for ((i = 0; i < rounds; i++)); do
  t_plain+=("$(seconds run_plain)")
  t_report+=("$(seconds run_report)")
  t_normalised+=("$(seconds run_normalised)")
  t_podcast+=("$(seconds run_podcast)")
  t_chain+=("$(seconds run_chain)")
done

m_plain=$(median "${t_plain[@]}")
m_report=$(median "${t_report[@]}")
m_normalised=$(median "${t_normalised[@]}")
m_podcast=$(median "${t_podcast[@]}")
m_chain=$(median "${t_chain[@]}")
for name in plain report normalised podcast chain; do
  times="t_$name[*]"
  median="m_$name"
  printf '%-10s %s s; median %s s\n' "$name" "${!times}" "${!median}"
done
ratio() { echo "$1 / $2" | bc -l; }
check() {  # NAME VALUE OPERATOR LIMIT
  local ok=no
  if (($(echo "$2 $3 $4" | bc -l))); then ok=yes; fi
  printf '%-32s %.2f (%s %s): %s\n' "$1" "$2" "$3" "$4" "$ok"
}
check "normalised / plain" "$(ratio "$m_normalised" "$m_plain")" "<=" 2.2
check "chain / podcast" "$(ratio "$m_chain" "$m_podcast")" ">=" 5
check "report / plain" "$(ratio "$m_report" "$m_plain")" "<=" 1.15
echo "the loudness of the podcast output, as ffmpeg reads it:"
ffmpeg -hide_banner -nostats -i "$work/podcast.wav" -af ebur128=peak=true -f null - 2>&1 |
  grep -E '^ +(I|Peak):'
