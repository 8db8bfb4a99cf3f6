#!/usr/bin/env bash
# Writes the seeds of corpus/snd that lie about their length, made by outside encoders: two
# seconds of a tone at 8 kHz as FLAC, Ogg Vorbis, Opus and MP3 (ffmpeg; small frames and pages,
# so that a part decodes), each cut at 80 % of its bytes, and FLAC files whose STREAMINFO states no total (as ffmpeg writes to a pipe), too few
# samples and too many. Run by hand when they change. Usage: fuzz/make-snd-seeds.sh
set -euo pipefail
cd "$(dirname "$0")/corpus/snd"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tone=(-v error -y -f lavfi -i "aevalsrc=0.5*sin(2*PI*440*t):s=8000:d=2")
ffmpeg "${tone[@]}" -c:a flac -sample_fmt s16 -frame_size 1024 "$tmp/tone.flac"
ffmpeg "${tone[@]}" -c:a libvorbis -q:a 0 -page_duration 100000 "$tmp/tone.ogg"
ffmpeg "${tone[@]}" -c:a libopus -b:a 16k -page_duration 100000 "$tmp/tone.opus"
ffmpeg "${tone[@]}" -c:a libmp3lame -b:a 24k "$tmp/tone.mp3"
for ext in flac ogg opus mp3; do
  size=$(stat -c %s "$tmp/tone.$ext")
  head -c $((size * 80 / 100)) "$tmp/tone.$ext" > "cut-tone.$ext"
done
ffmpeg "${tone[@]}" -sample_fmt s16 -frame_size 1024 -f flac - > "total-none-tone.flac"
# STREAMINFO's total samples: the low 4 bits of byte 21 and bytes 22 to 25.
python3 - "$tmp/tone.flac" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
for name, total in (("total-too-few-tone.flac", 100), ("total-too-many-tone.flac", 2**36 - 1)):
    out = bytearray(data)
    out[21] = (out[21] & 0xF0) | (total >> 32)
    out[22:26] = (total & 0xFFFFFFFF).to_bytes(4, "big")
    open(name, "wb").write(out)
PY
