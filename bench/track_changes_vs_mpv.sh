#!/usr/bin/env bash
# Peak resident memory after 10 and after N track changes, for the console
# player (offline, gapless) and mpv (null output unpaced, gapless) on the
# same playlist of one short MP3 listed N+1 times. A player that keeps
# something per track grows with N; one that does not stays where it was.
#
#   bench/track_changes_vs_mpv.sh [N] [BUILD_DIR]   (defaults 1000, build-release)
set -euo pipefail
changes=${1:-1000}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-release}
play=$build/bin/tessel-play
[[ -x $play ]] || { echo "build tessel-play in $build first" >&2; exit 2; }
command -v mpv >/dev/null || { echo "mpv is needed (apt-get install mpv)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=0.3:sample_rate=44100" -ac 2 \
    -c:a libmp3lame -b:a 128k "$work/t.mp3"
list() { for ((i = 0; i <= $1; ++i)); do echo "$work/t.mp3"; done >"$work/list$1.m3u"; }
list 10
list "$changes"
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
printf '%-12s %14s %14s %10s\n' player "peak after 10" "after $changes" growth
for who in tessel-play mpv; do
    for n in 10 "$changes"; do
        if [[ $who == tessel-play ]]; then
            kb[$n]=$(peak "$play" -o "$work/out.wav" "$work/list$n.m3u")
        else
            kb[$n]=$(peak mpv --no-config --really-quiet --no-video --ao=null --ao-null-untimed \
                --gapless-audio=yes --playlist="$work/list$n.m3u")
        fi
    done
    awk -v who="$who" -v a="${kb[10]}" -v b="${kb[$changes]}" \
        'BEGIN { printf "%-12s %11.2f MB %11.2f MB %7.2f MB\n", who, a/1024, b/1024, (b-a)/1024 }'
done
