#!/usr/bin/env bash
# The reader's decode cost against FFmpeg's own, on the same files in one run:
# a 60 s MP3 and a 60 s FLAC, each read to the end REPEATS times; medians of
# CPU time (user + system). FFmpeg's figure is its -benchmark time for the
# decode (process start-up excluded, as it is from ours), converting to 16-bit
# like the reader.
#
#   bench/reader_vs_ffmpeg.sh [BUILD_DIR] [REPEATS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-decode-release}"
repeats="${2:-7}"
bench="$build/bin/bench_reader"
[ -x "$bench" ] || { echo "build bench_reader first (cmake --build $build --target bench_reader)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Music-like material: tones with a noise floor, so the encoders work as usual.
ffmpeg -v error -f lavfi -i "sine=f=220:r=44100:d=60" -f lavfi -i "sine=f=331:r=44100:d=60" \
    -f lavfi -i "anoisesrc=c=pink:r=44100:a=0.05:d=60" \
    -filter_complex "[0][1][2]amerge=inputs=3,pan=stereo|c0=0.4*c0+0.3*c2|c1=0.4*c1+0.3*c2" \
    -c:a pcm_s16le "$work/src.wav"
ffmpeg -v error -i "$work/src.wav" -c:a libmp3lame -b:a 192k "$work/a.mp3"
ffmpeg -v error -i "$work/src.wav" -c:a flac "$work/a.flac"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for file in "$work/a.mp3" "$work/a.flac"; do
    ours="$("$bench" "$file" "$repeats" | sed -n 's/.*cpu_s_median=\([0-9.]*\).*/\1/p')"
    theirs="$(for _ in $(seq "$repeats"); do
        ffmpeg -hide_banner -nostdin -benchmark -threads 1 -i "$file" -f null - 2>&1 |
            sed -n 's/^bench: utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' | awk '{print $1 + $2}'
    done | median)"
    ratio="$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
    printf '%-5s reader %.4f s  ffmpeg %.4f s  ratio %s  (CPU for 60 s of audio, median of %s)\n' \
        "${file##*.}" "$ours" "$theirs" "$ratio" "$repeats"
done
