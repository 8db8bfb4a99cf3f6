#!/usr/bin/env bash
# Measures the bitrate libsndfile's lossy encoders give at each compression level, the table of
# LibProject/Audio/WaveFileUtil/sndfile/LossyLevels.cpp: examples/speech.wav repeated to 34 s with a
# pink room-noise floor 50 dB below full scale (each channel its own), at the rates 8000 to
# 48000 Hz, mono and stereo; Vorbis and Opus at the levels 0, 0.1, ... 1, MP3 (constant
# bitrate) at steps of 0.025. Takes a few minutes. Usage: bench/lossy-curve.sh
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gcc -O2 -o "$work/lossy-curve" bench/lossy-curve.c -lsndfile
for rate in 8000 11025 16000 22050 32000 44100 48000; do
  for channels in 1 2; do
    sox -R examples/speech.wav -r "$rate" -c "$channels" -b 16 "$work/speech.wav" repeat 3
    seconds=$(soxi -D "$work/speech.wav")
    sox -R -n -r "$rate" -c "$channels" -b 16 "$work/noise.wav" synth "$seconds" pinknoise vol 0.003
    sox -R -m "$work/speech.wav" "$work/noise.wav" "$work/ref_${rate}_${channels}.wav"
  done
done
"$work/lossy-curve" 0.1 vorbis "$work"/ref_*.wav
"$work/lossy-curve" 0.1 opus "$work"/ref_8000_*.wav "$work"/ref_16000_*.wav "$work"/ref_48000_*.wav
"$work/lossy-curve" 0.025 mp3 "$work"/ref_8000_1.wav "$work"/ref_16000_1.wav "$work"/ref_48000_1.wav
