#!/usr/bin/env bash
# Makes the ADPCM fixtures with outside encoders (sox and ffmpeg from Debian) and keeps each
# one's PCM as decoded by sox, the expected result of our decoder. Run from this folder; needs
# sox, ffmpeg and python3. The outputs are committed; this script only documents how they were
# made.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Sources: a sweep with noise, mono at 8 kHz and stereo at 11025 Hz, a little under 0.3 s.
sox -n -r 8000 -c 1 -b 16 "$tmp/mono.wav" synth 0.29 sine 100-3500 synth 0.29 whitenoise amod 30 vol 0.8
sox -n -r 11025 -c 2 -b 16 "$tmp/stereo.wav" synth 0.27 sine 300-4000 sine 2500-150 vol 0.7

# Encoders: sox (IMA and MS, its own block sizes) and ffmpeg (other block sizes).
sox "$tmp/mono.wav" -e ima-adpcm ima-mono-sox.wav
sox "$tmp/stereo.wav" -e ima-adpcm ima-stereo-sox.wav
sox "$tmp/mono.wav" -e ms-adpcm ms-mono-sox.wav
sox "$tmp/stereo.wav" -e ms-adpcm ms-stereo-sox.wav
ffmpeg -loglevel error -y -i "$tmp/mono.wav" -c:a adpcm_ima_wav -block_size 512 ima-mono-ffmpeg.wav
ffmpeg -loglevel error -y -i "$tmp/stereo.wav" -c:a adpcm_ms -block_size 512 ms-stereo-ffmpeg.wav

# Partial last blocks: the data chunk of a copy cut short in the middle of its last block.
python3 truncate-data.py ima-stereo-sox.wav ima-stereo-partial.wav 300
python3 truncate-data.py ms-mono-sox.wav ms-mono-partial.wav 100

# Expected PCM: sox's decode, raw signed 16-bit little-endian, no dither.
for f in ima-mono-sox ima-stereo-sox ms-mono-sox ms-stereo-sox ima-mono-ffmpeg ms-stereo-ffmpeg \
         ima-stereo-partial ms-mono-partial; do
  sox -D "$f.wav" -t raw -e signed-integer -b 16 -L "$f.sox.raw"
done
