#!/usr/bin/env bash
# Start-up to the first visible window, memory while playing (RSS, and from
# /proc/PID/smaps_rollup PSS and anonymous memory) and context switches a
# second while playing (all threads), for our player and its peers
# (Audacious, qmmp) under one Xvfb and one private PulseAudio server with a
# null sink, in one run. PSS shares library pages among whatever else runs:
# read it on a quiet machine.
#
#   bench/startup_vs_peers.sh [PLAYER] [RUNS]
#
# PLAYER defaults to build-release/bin/tessel-audio-player (or build/);
# RUNS (default 5) runs per player; medians and ratios are printed. Each
# player first starts once unmeasured in the home its runs then share: a
# first start ever (Audacious builds its plugin registry, loading every
# plugin) is not the start a user makes every day. The same is done for
# bench_qt_floor, a Qt Widgets window with nothing in it, beside the
# player: what Qt alone costs on this machine.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
player="${1:-}"
runs="${2:-5}"
if [ -z "$player" ]; then
    for p in "$root/build-release/bin/tessel-audio-player" "$root/build/bin/tessel-audio-player"; do
        [ -x "$p" ] && { player="$p"; break; }
    done
fi
[ -x "${player:-}" ] || { echo "player not built (pass its path)" >&2; exit 1; }
for tool in Xvfb xdotool pulseaudio pactl lame; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work="$(mktemp -d)"
cleanup() {
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -f "$work/pulse/pid" ] && kill "$(cat "$work/pulse/pid")" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A 60 s MP3, long enough to be playing while memory is read.
sox -n -r 44100 -c 2 "$work/tone.wav" synth 60 sine 440 sine 660 vol 0.4
lame --quiet -b 192 "$work/tone.wav" "$work/tone.mp3"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done

mkdir -p "$work/pulse"
export PULSE_RUNTIME_PATH="$work/pulse" PULSE_STATE_PATH="$work/pulse" PULSE_CONFIG_PATH="$work/pulse"
pulseaudio -D --exit-idle-time=-1 --system=false -n \
    --load='module-null-sink sink_name=nullsink norewinds=1' --load=module-native-protocol-unix \
    >/dev/null 2>&1
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done

now_ns() { date +%s%N; }

# Context switches so far of every thread of a process.
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

# measure NAME COMMAND...: prints "seconds_to_window rss_kb pss_kb anon_kb switches_per_s"
measure() {
    local name="$1" home="$work/home-$1"; shift
    mkdir -p "$home/runtime"; chmod 700 "$home/runtime"
    local start end pid rss=0
    start=$(now_ns)
    HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" \
        XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" SDL_AUDIODRIVER=pulseaudio \
        "$@" >/dev/null 2>"$work/stderr-$name.txt" &
    pid=$!
    end=""
    for _ in $(seq 2000); do
        if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then end=$(now_ns); break; fi
        sleep 0.002
    done
    sleep 3 # playing by now
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    local pss anon before after
    pss=$(awk '/^Pss:/ {print $2}' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)
    anon=$(awk '/^Anonymous:/ {print $2}' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)
    before=$(switches "$pid")
    sleep 5
    after=$(switches "$pid")
    if ! kill "$pid" 2>/dev/null; then
        echo "$name ended before it was stopped:" >&2
        tail -5 "$work/stderr-$name.txt" >&2
    fi
    wait "$pid" 2>/dev/null || true
    local rate
    rate=$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.1f", (b - a) / 5 }')
    if [ -z "$end" ]; then echo "nan $rss $pss $anon $rate"; else
        awk -v s="$start" -v e="$end" -v r="$rss" -v p="$pss" -v a="$anon" -v c="$rate" \
            'BEGIN { printf "%.4f %d %d %d %s\n", (e - s) / 1e9, r, p, a, c }'
    fi
}

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

declare -A t rss pss anon cs
run_player() {
    local name="$1"; shift
    : >"$work/$name.txt"
    measure "$name" "$@" >/dev/null
    for _ in $(seq "$runs"); do measure "$name" "$@" >>"$work/$name.txt"; done
    t[$name]=$(awk '{print $1}' "$work/$name.txt" | median)
    rss[$name]=$(awk '{print $2}' "$work/$name.txt" | median)
    pss[$name]=$(awk '{print $3}' "$work/$name.txt" | median)
    anon[$name]=$(awk '{print $4}' "$work/$name.txt" | median)
    cs[$name]=$(awk '{print $5}' "$work/$name.txt" | median)
    printf '%-10s window %.3f s   RSS %6.1f MB   PSS %6.1f MB   anon %6.1f MB   switches/s %6.1f\n' \
        "$name" "${t[$name]}" "$(awk -v k="${rss[$name]}" 'BEGIN { print k / 1024 }')" \
        "$(awk -v k="${pss[$name]}" 'BEGIN { print k / 1024 }')" \
        "$(awk -v k="${anon[$name]}" 'BEGIN { print k / 1024 }')" "${cs[$name]}"
}

run_player tessel "$player" "$work/tone.mp3"
floor="$(dirname "$player")/bench_qt_floor"
[ -x "$floor" ] && run_player qt-floor "$floor"
command -v audacious >/dev/null && run_player audacious audacious "$work/tone.mp3"
command -v qmmp >/dev/null && run_player qmmp qmmp "$work/tone.mp3"

echo "ratios (ours / peer; below 1 is better; the Qt floor's for scale):"
for who in tessel qt-floor; do
    [ -n "${t[$who]:-}" ] || continue
    for peer in audacious qmmp; do
        [ -n "${t[$peer]:-}" ] || continue
        awk -v a="${t[$who]}" -v b="${t[$peer]}" -v c="${rss[$who]}" -v d="${rss[$peer]}" \
            -v e="${pss[$who]}" -v f="${pss[$peer]}" -v g="${cs[$who]}" -v h="${cs[$peer]}" \
            -v w="$who" -v p="$peer" 'BEGIN { printf "  %-8s vs %-10s window %.2f   RSS %.2f   PSS %.2f   switches %.2f\n",
                                  w, p, a / b, c / d, e / f, (h > 0 ? g / h : 0) }'
    done
done
