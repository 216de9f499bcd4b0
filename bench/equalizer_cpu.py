#!/usr/bin/env python3
"""What the equalizer adds, off against five bands on, alternately in one
run: in real-time playback (tessel-play through SDL's dummy driver, 20 s
MP3, medians of 5), in offline rendering (`tessel-play -o`, decode, engine
and render as fast as they go, 60 s MP3, medians of 7), and in the render
stage alone (bench_equalizer). Goal: the equalizer adds under 10 %.

With a second build folder (say an older commit's release tree) both are
measured in the same run, their runs taking turns, so a change's before and
after meet the same load.

    bench/equalizer_cpu.py [BUILD_DIR] [OTHER_BUILD_DIR]   (default build-release)"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

SECONDS = 60
root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
builds = sys.argv[1:3] if len(sys.argv) > 1 else [os.path.join(root, "build-release")]
plays = [os.path.join(build, "bin", "tessel-play") for build in builds]
work = tempfile.mkdtemp(prefix="tessel-bench-")
mp3 = measure.make_mp3(os.path.join(work, "60s.mp3"), SECONDS)
out = os.path.join(work, "out.wav")

EQ = ["--eq", "6,-3,3,-6,5"]
env = dict(os.environ)
env["SDL_AUDIODRIVER"] = "dummy"
mp3_20 = measure.make_mp3(os.path.join(work, "20s.mp3"), 20)


def report(what, off, on):
    """Prints each build's medians (CPU s per audio s) and what the equalizer adds."""
    for build, off_runs, on_runs in zip(builds, off, on):
        off_cpu, on_cpu = measure.median(off_runs), measure.median(on_runs)
        name = f" ({build})" if len(builds) > 1 else ""
        print(f"{what}, equalizer off : {off_cpu:.5f} CPU s per audio s{name}")
        print(f"{what}, 5 bands on    : {on_cpu:.5f} CPU s per audio s{name}")
        print(f"equalizer adds {100.0 * (on_cpu / off_cpu - 1.0):.1f} %   (goal < 10 %)")


rt_off, rt_on = [[] for _ in builds], [[] for _ in builds]
for _ in range(5):
    for i, play in enumerate(plays):
        rt_off[i].append(measure.run_timed([play, mp3_20], env=env)[1] / 20)
        rt_on[i].append(measure.run_timed([play] + EQ + [mp3_20], env=env)[1] / 20)
report("real time     ", rt_off, rt_on)

off, on = [[] for _ in builds], [[] for _ in builds]
for _ in range(7):
    for i, play in enumerate(plays):
        off[i].append(measure.run_timed([play, "-o", out, mp3])[1] / SECONDS)
        on[i].append(measure.run_timed([play] + EQ + ["-o", out, mp3])[1] / SECONDS)
report("tessel-play -o", off, on)
sys.stdout.flush()
for build in builds:
    if len(builds) > 1:
        print(f"bench_equalizer ({build}):", flush=True)
    subprocess.run([os.path.join(build, "bin", "bench_equalizer")], check=True)
