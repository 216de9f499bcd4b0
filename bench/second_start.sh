#!/usr/bin/env bash
# How long a second start with one file takes to hand it to the running
# player and exit: with the first player running (the usual case), and with
# it stopped by SIGSTOP (where the second start must not wait on it). Qt's
# offscreen platform and SDL's dummy driver, a private runtime folder.
#
#   bench/second_start.sh [PLAYER] [RUNS]
#
# PLAYER defaults to build-release/bin/tessel-audio-player (or build/);
# RUNS (default 20) starts per case; the median and the slowest are printed.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
player="${1:-}"
runs="${2:-20}"
if [ -z "$player" ]; then
    for p in "$root/build-release/bin/tessel-audio-player" "$root/build/bin/tessel-audio-player"; do
        [ -x "$p" ] && { player="$p"; break; }
    done
fi
[ -x "${player:-}" ] || { echo "player not built (pass its path)" >&2; exit 1; }

work="$(mktemp -d)"
cleanup() {
    [ -n "${first:-}" ] && { kill -CONT "$first"; kill -KILL "$first"; } 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# One second of silence: a WAV header and zeros.
python3 - "$work/a.wav" <<'PY'
import struct, sys
frames = 44100
with open(sys.argv[1], "wb") as f:
    f.write(b"RIFF" + struct.pack("<I", 36 + frames * 4) + b"WAVEfmt ")
    f.write(struct.pack("<IHHIIHH", 16, 1, 2, 44100, 44100 * 4, 4, 16))
    f.write(b"data" + struct.pack("<I", frames * 4) + bytes(frames * 4))
PY

"$player" 2>/dev/null &
first=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/Audio Player Files.socket" ] && break
    sleep 0.1
done

measure() {
    local label=$1 times=()
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s%N)
        "$player" "$work/a.wav" 2>/dev/null || echo "exit status $?" >&2
        t1=$(date +%s%N)
        times+=($(((t1 - t0) / 1000000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v label="$label" \
        '{v[NR]=$1} END {printf "%-28s median %4d ms   slowest %4d ms   (%d runs)\n", label, v[int((NR+1)/2)], v[NR], NR}'
}

measure "first player running:"
kill -STOP "$first"
measure "first player stopped:"
