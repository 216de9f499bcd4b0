#!/usr/bin/env bash
# The loudness scan against `ffmpeg -af ebur128` on the same files in one
# run: FILES music-like files of SECONDS each (MP3 and FLAC alternately),
# scanned by bench_loudness as one album, then each by ffmpeg's meter (true
# peak on, as ours). Prints files and audio hours per minute of wall time for
# both, and the largest difference of the integrated loudness per file.
#
#   bench/loudness_vs_ffmpeg.sh [BUILD_DIR] [FILES] [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-release}"
files="${2:-8}"
seconds="${3:-180}"
bench="$build/bin/bench_loudness"
[ -x "$bench" ] || { echo "build bench_loudness first (cmake --build $build --target bench_loudness)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
list=()
for i in $(seq "$files"); do
    # Tones and pink noise at a level of its own per file.
    level="$(awk -v i="$i" 'BEGIN { printf "%.2f", 0.02 + 0.03 * (i % 5) }')"
    ext=$([ $((i % 2)) -eq 0 ] && echo flac || echo mp3)
    ffmpeg -v error -f lavfi -i "sine=f=$((180 + 37 * i)):r=44100:d=$seconds" \
        -f lavfi -i "anoisesrc=c=pink:r=44100:a=$level:d=$seconds:seed=$i" \
        -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=0.3*c0+c1|c1=0.2*c0+c1" \
        "$work/$i.$ext"
    list+=("$work/$i.$ext")
done

"$bench" "${list[@]}" > "$work/ours.txt"

start=$(date +%s%N)
for f in "${list[@]}"; do
    ffmpeg -nostats -hide_banner -i "$f" -af ebur128=peak=true:framelog=verbose -f null - 2>&1 |
        awk -v f="$f" '/^ *I:/ { i = $2 } END { print f "\t" i }'
done > "$work/theirs.txt"
theirs_wall=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { print (b - a) / 1e9 }')

awk -F'\t' -v tw="$theirs_wall" '
    FNR == NR && $1 == "file"  { ours[$5] = $2; next }
    FNR == NR && $1 == "total" { split($3, a, " "); audio = a[2]; split($4, w, " "); wall = w[2]; n = split($2, f, " "); files = f[2]; next }
    FNR != NR { d = ours[$1] - $2; if (d < 0) d = -d; if (d > worst) worst = d }
    END {
        printf "ours   : %d files, %.1f audio h, %.2f s: %.1f files/min, %.2f audio h/min\n", files, audio / 3600, wall, files * 60 / wall, audio / 3600 * 60 / wall
        printf "ffmpeg : %d files, %.1f audio h, %.2f s: %.1f files/min, %.2f audio h/min\n", files, audio / 3600, tw, files * 60 / tw, audio / 3600 * 60 / tw
        printf "largest |LUFS difference| per file: %.2f LU (ffmpeg prints one decimal)\n", worst
    }' "$work/ours.txt" "$work/theirs.txt"
grep '^album' "$work/ours.txt" | awk -F'\t' '{ printf "album (ours): %s LUFS, true peak %s dBTP\n", $2, $3 }'
