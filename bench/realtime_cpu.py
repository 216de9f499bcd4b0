#!/usr/bin/env python3
"""Real-time playback cost per second of audio, side by side in one run:
CPU seconds and context switches (all threads) of tessel-play through SDL's
dummy driver against mpv --ao=null; then both into a private PulseAudio null
sink, with the server's own CPU and context switches beside them. mpv is
installed with apt-get when missing (as root).

    bench/realtime_cpu.py [BUILD_DIR] [SECONDS]   (defaults build-release, 20)"""

import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-release")
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
play = os.path.join(build, "bin", "tessel-play")
if not os.access(play, os.X_OK):
    sys.exit(f"{play} is not built (cmake --build {build} --target tessel-play)")
measure.ensure_program("mpv", "mpv")
MPV = ["mpv", "--no-config", "--really-quiet", "--no-video"]

work = tempfile.mkdtemp(prefix="tessel-bench-")
mp3 = measure.make_mp3(os.path.join(work, f"{seconds}s.mp3"), seconds)


def per_audio_second(cmd, env):
    """(CPU, context switches sampled, context switches by getrusage) per second
    of audio, and the wall time: a player that plays for less than the audio
    lasts has not played it all."""
    wall, cpu, switches, exact = measure.run_sampled(cmd, env=env)
    return cpu / seconds, switches / seconds, exact / seconds, wall


def warn_if_short(label, result):
    if result[3] < 0.95 * seconds:
        print(f"WARNING: {label} ran {result[3]:.1f} s for {seconds} s of audio: it did not play "
              "it all, so its figures per audio second are too low")


def server_totals(pid):
    return measure.process_cpu_seconds(pid), sum(measure.thread_switches(pid).values())


try:
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    ours = per_audio_second([play, mp3], env)
    mpv = per_audio_second(MPV + ["--ao=null", mp3], env)
    print(f"dummy/null output: tessel-play {ours[0]:.4f}  mpv {mpv[0]:.4f}  "
          f"ratio {ours[0] / mpv[0]:.2f}  (CPU s per audio s; done at <= 1.0, goal 0.5)")
    print(f"dummy/null output: wall tessel-play {ours[3]:.1f} s  mpv {mpv[3]:.1f} s  "
          f"(the audio lasts {seconds} s)")
    print(f"dummy/null output: context switches/s  tessel-play {ours[1]:.1f} (rusage {ours[2]:.1f})  "
          f"mpv {mpv[1]:.1f} (rusage {mpv[2]:.1f})  ratio {ours[1] / mpv[1]:.2f}")
    warn_if_short("tessel-play (dummy)", ours)
    warn_if_short("mpv (null)", mpv)

    with measure.private_pulse() as (penv, server):
        def with_server(cmd):
            s0 = server_totals(server)
            player = per_audio_second(cmd, penv)
            s1 = server_totals(server)
            return player, ((s1[0] - s0[0]) / seconds, (s1[1] - s0[1]) / seconds)

        (o, osrv) = with_server([play, mp3])
        (m, msrv) = with_server(MPV + ["--ao=pulse", mp3])
    print(f"pulse null sink: tessel-play {o[0]:.4f} + server {osrv[0]:.4f} = {o[0] + osrv[0]:.4f}")
    print(f"pulse null sink: mpv         {m[0]:.4f} + server {msrv[0]:.4f} = {m[0] + msrv[0]:.4f}")
    print(f"ratio incl. server: {(o[0] + osrv[0]) / (m[0] + msrv[0]):.2f}")
    print(f"pulse null sink: wall tessel-play {o[3]:.1f} s  mpv {m[3]:.1f} s  "
          f"(the audio lasts {seconds} s)")
    print(f"pulse null sink: context switches/s  tessel-play {o[1]:.1f} (rusage {o[2]:.1f}) + "
          f"server {osrv[1]:.1f}")
    print(f"pulse null sink: context switches/s  mpv         {m[1]:.1f} (rusage {m[2]:.1f}) + "
          f"server {msrv[1]:.1f}")
    print(f"ratio of the players' context switches: {o[1] / m[1]:.2f}; "
          f"incl. server: {(o[1] + osrv[1]) / (m[1] + msrv[1]):.2f}")
    warn_if_short("tessel-play (pulse)", o)
    warn_if_short("mpv (pulse)", m)
finally:
    shutil.rmtree(work, ignore_errors=True)
