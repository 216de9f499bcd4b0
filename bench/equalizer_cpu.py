#!/usr/bin/env python3
"""What the equalizer adds, off against five bands on, alternately in one
run: in real-time playback (tessel-play through SDL's dummy driver, 20 s
MP3, medians of 5), in offline rendering (`tessel-play -o`, decode, engine
and render as fast as they go, 60 s MP3, medians of 7), and in the render
stage alone (bench_equalizer). Goal: the equalizer adds under 10 %.

    bench/equalizer_cpu.py [BUILD_DIR]   (default build-release)"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

SECONDS = 60
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-release")
play = os.path.join(build, "bin", "tessel-play")
work = tempfile.mkdtemp(prefix="tessel-bench-")
mp3 = measure.make_mp3(os.path.join(work, "60s.mp3"), SECONDS)
out = os.path.join(work, "out.wav")

EQ = ["--eq", "6,-3,3,-6,5"]
env = dict(os.environ)
env["SDL_AUDIODRIVER"] = "dummy"
mp3_20 = measure.make_mp3(os.path.join(work, "20s.mp3"), 20)
rt_off, rt_on = [], []
for _ in range(5):
    rt_off.append(measure.run_timed([play, mp3_20], env=env)[1] / 20)
    rt_on.append(measure.run_timed([play] + EQ + [mp3_20], env=env)[1] / 20)
rt_off_cpu, rt_on_cpu = measure.median(rt_off), measure.median(rt_on)
print(f"real time, equalizer off      : {rt_off_cpu:.5f} CPU s per audio s")
print(f"real time, 5 bands on         : {rt_on_cpu:.5f} CPU s per audio s")
print(f"equalizer adds {100.0 * (rt_on_cpu / rt_off_cpu - 1.0):.1f} %   (goal < 10 %)")

off, on = [], []
for _ in range(7):
    off.append(measure.run_timed([play, "-o", out, mp3])[1])
    on.append(measure.run_timed([play] + EQ + ["-o", out, mp3])[1])

off_cpu = measure.median(off) / SECONDS
on_cpu = measure.median(on) / SECONDS
print(f"tessel-play -o, equalizer off : {off_cpu:.5f} CPU s per audio s")
print(f"tessel-play -o, 5 bands on    : {on_cpu:.5f} CPU s per audio s")
print(f"equalizer adds {100.0 * (on_cpu / off_cpu - 1.0):.1f} %")
sys.stdout.flush()
subprocess.run([os.path.join(build, "bin", "bench_equalizer")], check=True)
