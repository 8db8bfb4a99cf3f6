#!/usr/bin/env bash
# Makes the fixtures of the sample formats and containers with outside encoders (sox, ffmpeg and
# libsndfile's sndfile-convert from Debian). The outputs are committed; this script documents
# how they were made. The tests decode them with the outside tools again for the expected
# samples, so nothing of our own decides what a fixture holds.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Sources: 50 ms of two tones with a little noise, stereo 48 kHz 24-bit, and mono 44.1 kHz.
sox -n -r 48000 -c 2 -b 24 "$tmp/stereo.wav" synth 0.05 sine 440 sine 1250 \
  synth 0.05 whitenoise amod 20 vol 0.7
sox -n -r 44100 -c 1 -b 24 "$tmp/mono.wav" synth 0.05 sine 300-5000 vol 0.8
sox -n -r 16000 -c 4 -b 16 "$tmp/quad.wav" synth 0.05 sine 300 sine 600 sine 900 sine 1200

# WAVE flavours our own reader takes.
sndfile-convert -pcm24 "$tmp/stereo.wav" format-pcm24-tag1-sndfile.wav   # tag 1, 24 bits
sox "$tmp/stereo.wav" -b 24 format-pcm24-ext-sox.wav                        # extensible, 24
ffmpeg -loglevel error -y -i "$tmp/mono.wav" -c:a pcm_s32le format-pcm32-ffmpeg.wav
sox "$tmp/mono.wav" -e floating-point -b 32 format-float32-sox.wav           # tag 3, fmt 18
sndfile-convert -float32 "$tmp/stereo.wav" format-float32-sndfile.wav       # tag 3, PEAK chunk
ffmpeg -loglevel error -y -i "$tmp/mono.wav" -c:a pcm_f64le format-float64-ext-ffmpeg.wav
cp "$tmp/quad.wav" format-ext-4ch-sox.wav                                    # extensible, 4 ch
ffmpeg -loglevel error -y -i "$tmp/stereo.wav" -c:a pcm_s16le -rf64 always format-rf64-ffmpeg.wav
ffmpeg -loglevel error -y -i "$tmp/mono.wav" -c:a pcm_s16le -metadata title="A take" \
  -metadata artist="Somebody" -metadata comment="Made for the tests" format-info-ffmpeg.wav

# WAVE encodings left to libsndfile.
sox "$tmp/mono.wav" -r 8000 -e u-law format-ulaw-sox.wav
sox "$tmp/mono.wav" -r 8000 -e a-law format-alaw-sox.wav
sox "$tmp/mono.wav" -r 8000 -b 16 "$tmp/mono8k.wav"
sndfile-convert -gsm610 "$tmp/mono8k.wav" format-gsm-sndfile.wav

# Other containers.
sox "$tmp/mono.wav" -b 16 format-flac16-sox.flac
ffmpeg -loglevel error -y -i "$tmp/stereo.wav" -c:a flac -sample_fmt s32 format-flac24-ffmpeg.flac
sndfile-convert -vorbis "$tmp/stereo.wav" format-vorbis-sndfile.ogg
sndfile-convert -opus "$tmp/stereo.wav" format-opus-sndfile.opus
ffmpeg -loglevel error -y -i "$tmp/mono.wav" -c:a libmp3lame -b:a 128k format-mp3-ffmpeg.mp3
sox "$tmp/stereo.wav" -b 16 format-aiff-sox.aiff
sndfile-convert -pcm24 "$tmp/stereo.wav" format-caf-sndfile.caf
sox "$tmp/mono.wav" -b 16 -t w64 format-w64-sox.w64
sox "$tmp/mono.wav" -b 16 format-au-sox.au
