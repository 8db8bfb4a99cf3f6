#!/usr/bin/env bash
# What a re-encode costs a lossy file, the figures of the README: examples/speech.wav encoded by
# ffmpeg as Ogg Vorbis (-q:a 2), Opus (24 kb/s) and MP3 (48 kb/s), converted by build/tonvale
# with the built-in band set (every band off, so only the re-encode changes the sound), and the
# signal-to-noise ratio of each file against another, all decoded by ffmpeg (at 16 kHz) and
# measured by sox: 20 log10(RMS of the reference / RMS of the difference).
# Usage: bench/lossy-reencode-snr.sh
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
snr() {
  sox -m -v 1 "$1" -v -1 "$2" "$work/diff.wav"
  local reference difference
  reference=$(sox "$1" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  difference=$(sox "$work/diff.wav" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  python3 -c "import math; print('%.1f' % (20 * math.log10($reference / $difference)))"
}
decode() { ffmpeg -v error -y -i "$1" -ar 16000 -c:a pcm_f64le "$2"; }
decode examples/speech.wav "$work/original.wav"
echo "codec: source vs original, output vs source, output vs original (dB SNR); sizes"
for spec in "ogg -c:a libvorbis -q:a 2" "opus -c:a libopus -b:a 24k" "mp3 -c:a libmp3lame -b:a 48k"; do
  read -r ext codec <<< "$spec"
  # shellcheck disable=SC2086
  ffmpeg -v error -y -i examples/speech.wav $codec "$work/source.$ext"
  (cd "$work" && "$OLDPWD/build/tonvale" /command "/convert_source:source.$ext" \
    "/convert_output:output.$ext" > /dev/null)
  decode "$work/source.$ext" "$work/source.wav"
  decode "$work/output.$ext" "$work/output.wav"
  echo "$ext: $(snr "$work/original.wav" "$work/source.wav"), $(snr "$work/source.wav" "$work/output.wav"), $(snr "$work/original.wav" "$work/output.wav"); $(stat -c %s "$work/source.$ext") -> $(stat -c %s "$work/output.$ext") bytes"
done
