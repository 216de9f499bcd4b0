#!/usr/bin/env python3
"""What a paused player costs, and how soon Play is heard after a long pause:
the window player beside mpv, in one run, on a private PulseAudio null sink.

    bench/paused_wakeups_vs_mpv.py [PLAYER] [SECONDS]

PLAYER defaults to build-release/bin/tessel-audio-player (or build/);
SECONDS (default 60) is how long each paused player is watched.

Each player plays a tone track for 2 s and is paused (ours through MPRIS,
mpv through its IPC socket), left alone for 12 s (ours lets go of its
output stream after 10 s paused), then watched for SECONDS: the context
switches of all its threads per second (the sum of voluntary and
involuntary switches in /proc/PID/task/*/status, before and after) and the
player's streams the server lists (`pactl list short sink-inputs`; none
lets the sink suspend). Then Play: the ms from the command to the first
sound recorded from the sink's monitor. Goal: paused, at most 2 switches a
second; Play heard within 300 ms. Exit status 0 whatever the figures, 2 when
a program is missing."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import command_latency_vs_mpv as lat  # noqa: E402
import measure  # noqa: E402

SOUND_MEAN_SQUARE = 1e-4  # -40 dBFS over 10 ms


def switches_between(before, after):
    # Threads that ended meanwhile took their counts with them; new ones
    # count from 0.
    return sum(count - before.get(tid, 0) for tid, count in after.items())


def sink_inputs(env):
    out = subprocess.run(["pactl", "list", "short", "sink-inputs"], env=env,
                         capture_output=True, text=True).stdout
    return len([line for line in out.splitlines() if line.strip()])


def first_sound_ms(recorder, stamp, timeout=3.0):
    start = recorder.frame_at(stamp)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        time.sleep(0.1)
    samples = recorder.mono(start, int(timeout * lat.RATE))
    hop = lat.RATE // 100
    for at in range(0, len(samples) - hop, hop):
        window = samples[at:at + hop]
        if sum(v * v for v in window) / hop > SOUND_MEAN_SQUARE:
            return at * 1000.0 / lat.RATE
    return None


def mpv_command(player, words):
    player.request += 1
    player.sock.sendall((json.dumps({"command": words, "request_id": player.request}) + "\n")
                        .encode())
    return time.monotonic()


def watch(player, env, recorder, seconds, pause, play):
    time.sleep(2.0)
    pause()
    time.sleep(12.0)
    streams = sink_inputs(env)
    before = measure.thread_switches(player.proc.pid)
    time.sleep(seconds)
    per_second = switches_between(before, measure.thread_switches(player.proc.pid)) / seconds
    streams = max(streams, sink_inputs(env))
    heard = first_sound_ms(recorder, play())
    return per_second, streams, heard


def main():
    player_path = sys.argv[1] if len(sys.argv) > 1 else ""
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
    player_path = lat.find_player(player_path)
    if not player_path or not lat.programs_present():
        return 2
    work = tempfile.mkdtemp(prefix="tessel-paused-")
    results = {}
    try:
        track = lat.make_tone_track(os.path.join(work, "t0.mp3"), 0)
        with measure.private_pulse() as (pulse_env, _server):
            env = lat.player_env(pulse_env, work)
            bus, env["DBUS_SESSION_BUS_ADDRESS"] = lat.start_bus(env, work)
            recorder = lat.Recorder(env)
            try:
                ours = lat.TesselPlayer(player_path, env)
                ours.start([track])

                def mpris(member):
                    prepared = ours.bus.message(lat.MPRIS_NAME, lat.MPRIS_PATH,
                                                lat.PLAYER_IFACE, member)
                    return ours.send(prepared)[0]

                results["tessel"] = watch(ours, env, recorder, seconds,
                                          lambda: mpris("Pause"), lambda: mpris("Play"))
                lat.stop(ours)
                peer = lat.MpvPlayer(env, work)
                peer.start([track])
                results["mpv"] = watch(
                    peer, env, recorder, seconds,
                    lambda: mpv_command(peer, ["set_property", "pause", True]),
                    lambda: mpv_command(peer, ["set_property", "pause", False]))
                lat.stop(peer)
            finally:
                recorder.stop()
                bus.terminate()
                bus.wait()
        print(f"paused {seconds:.0f} s after 12 s of pause; Play after that")
        print(f"{'player':<8} {'switches/s':>11} {'streams':>8} {'Play heard after':>17}")
        for name in ("tessel", "mpv"):
            if name not in results:
                print(f"{name:<8} {'could not be measured':>38}")
                continue
            per_second, streams, heard = results[name]
            heard_text = "never" if heard is None else f"{heard:.0f} ms"
            print(f"{name:<8} {per_second:>11.2f} {streams:>8} {heard_text:>17}")
        print("goal: paused at most 2 switches a second, no stream kept; Play heard within 300 ms")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
