#!/usr/bin/env python3
"""What the equalizer adds to a whole playback: `tessel-play -o` (decode,
engine, render) on the same 60 s MP3 without and with five bands on,
alternately in one run, medians of 7. Goal: under 10 % more CPU.
Then the render stage alone (bench_equalizer).

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

off, on = [], []
for _ in range(7):
    off.append(measure.run_timed([play, "-o", out, mp3])[1])
    on.append(measure.run_timed([play, "--eq", "6,-3,3,-6,5", "-o", out, mp3])[1])

off_cpu = measure.median(off) / SECONDS
on_cpu = measure.median(on) / SECONDS
print(f"tessel-play -o, equalizer off : {off_cpu:.5f} CPU s per audio s")
print(f"tessel-play -o, 5 bands on    : {on_cpu:.5f} CPU s per audio s")
print(f"equalizer adds {100.0 * (on_cpu / off_cpu - 1.0):.1f} %   (goal < 10 %)")
sys.stdout.flush()
subprocess.run([os.path.join(build, "bin", "bench_equalizer")], check=True)
