#!/usr/bin/env python3
"""tessel-play -o (offline, as fast as the engine runs) against
`ffmpeg -threads 1 -i FILE -f null -` on the same 60 s MP3, in one run.
Goal: at least 0.8 times ffmpeg's speed.

    bench/play_vs_ffmpeg.py [BUILD_DIR]   (default build-release)"""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-release")
play = os.path.join(build, "bin", "tessel-play")
work = tempfile.mkdtemp(prefix="tessel-bench-")
mp3 = measure.make_mp3(os.path.join(work, "60s.mp3"), 60)
out = os.path.join(work, "out.wav")

ours, theirs = [], []
for _ in range(7):
    ours.append(measure.run_timed([play, "-o", out, mp3]))
    theirs.append(measure.run_timed(["ffmpeg", "-v", "error", "-threads", "1", "-i", mp3, "-f", "null", "-"]))

ow, oc = measure.median([w for w, _ in ours]), measure.median([c for _, c in ours])
tw, tc = measure.median([w for w, _ in theirs]), measure.median([c for _, c in theirs])
print(f"tessel-play -o : wall {ow:.3f} s  cpu {oc:.3f} s")
print(f"ffmpeg decode  : wall {tw:.3f} s  cpu {tc:.3f} s")
print(f"speed relative to ffmpeg (wall): {tw / ow:.2f}x   (goal >= 0.8)")
print(f"CPU relative to ffmpeg: {oc / tc:.2f}x")
