#!/usr/bin/env bash
# Makes speech.wav: a few seconds of synthetic speech (espeak-ng) at 16 kHz mono 16-bit, with
# the faults a speech equalizer is for mixed in: 50 Hz mains hum with its harmonics, low
# rumble, and hiss. Needs espeak-ng and sox from Debian.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

espeak-ng -v en-us -s 150 -w "$tmp/voice.wav" \
  "Welcome to Tonvale. This short recording has a low hum and some hiss, \
so that you can hear what the equalizer takes away."
sox "$tmp/voice.wav" -r 16000 -c 1 -b 16 "$tmp/voice16.wav" gain -n -3
length=$(soxi -D "$tmp/voice16.wav")
sox -n -r 16000 -c 1 -b 16 "$tmp/hum.wav" synth "$length" sine 50 sine 100 sine 150 \
  remix - gain -n -24
sox -n -r 16000 -c 1 -b 16 "$tmp/rumble.wav" synth "$length" brownnoise lowpass 40 gain -n -26
sox -n -r 16000 -c 1 -b 16 "$tmp/hiss.wav" synth "$length" whitenoise highpass 6000 gain -n -34
sox -D -m "$tmp/voice16.wav" "$tmp/hum.wav" "$tmp/rumble.wav" "$tmp/hiss.wav" -b 16 speech.wav
soxi speech.wav
