#!/usr/bin/env python3
"""Real-time playback cost, CPU seconds per second of audio, side by side in
one run: tessel-play through SDL's dummy driver against mpv --ao=null; then
both into a private PulseAudio null sink with the server's own CPU added.

    bench/realtime_cpu.py [BUILD_DIR] [SECONDS]   (defaults build-release, 20)"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-release")
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
play = os.path.join(build, "bin", "tessel-play")
work = tempfile.mkdtemp(prefix="tessel-bench-")
mp3 = measure.make_mp3(os.path.join(work, f"{seconds}s.mp3"), seconds)


def per_audio_second(cmd, env):
    wall, cpu = measure.run_timed(cmd, env=env)
    return cpu / seconds


env = dict(os.environ)
env["SDL_AUDIODRIVER"] = "dummy"
ours = per_audio_second([play, mp3], env)
mpv = per_audio_second(["mpv", "--no-config", "--really-quiet", "--no-video", "--ao=null", mp3], env)
print(f"dummy/null output: tessel-play {ours:.4f}  mpv {mpv:.4f}  ratio {ours / mpv:.2f}  (done at <= 1.0, goal 0.5)")

# A private PulseAudio with a null sink.
if shutil.which("pulseaudio"):
    pa = tempfile.mkdtemp(prefix="tessel-pa-")
    penv = dict(os.environ)
    for key in ("PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"):
        penv[key] = os.path.join(pa, key.lower())
        os.makedirs(penv[key], exist_ok=True)
    penv.pop("SDL_AUDIODRIVER", None)
    subprocess.run(["pulseaudio", "-D", "--exit-idle-time=-1", "--system=false", "-n",
                    "--load=module-null-sink sink_name=nullsink norewinds=1",
                    "--load=module-native-protocol-unix"], env=penv, check=True)
    for _ in range(200):
        if subprocess.run(["pactl", "info"], env=penv, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0:
            break
        time.sleep(0.05)
    with open(os.path.join(penv["PULSE_RUNTIME_PATH"], "pid")) as f:
        server = int(f.read().strip())

    def with_server(cmd):
        s0 = measure.process_cpu_seconds(server)
        wall, cpu = measure.run_timed(cmd, env=penv)
        s1 = measure.process_cpu_seconds(server)
        return cpu / seconds, (s1 - s0) / seconds

    o, os_ = with_server([play, mp3])
    m, ms = with_server(["mpv", "--no-config", "--really-quiet", "--no-video", "--ao=pulse", mp3])
    print(f"pulse null sink: tessel-play {o:.4f} + server {os_:.4f} = {o + os_:.4f}")
    print(f"pulse null sink: mpv         {m:.4f} + server {ms:.4f} = {m + ms:.4f}")
    print(f"ratio incl. server: {(o + os_) / (m + ms):.2f}")
    subprocess.run(["kill", str(server)])
