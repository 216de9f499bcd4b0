"""Shared helpers for the benchmark scripts: run a command and read its CPU
and wall time, a process's resident memory, and medians over repeats."""

import os
import resource
import statistics
import subprocess
import time


def run_timed(cmd, env=None, stdout=subprocess.DEVNULL):
    """Runs cmd to the end; returns (wall seconds, CPU seconds of it and its children)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(cmd, env=env, stdout=stdout, stderr=subprocess.DEVNULL, check=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def process_cpu_seconds(pid):
    """CPU seconds used so far by a running process (Linux /proc)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def process_rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def median(values):
    return statistics.median(values)


def make_mp3(path, seconds):
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        f"sine=frequency=440:duration={seconds}:sample_rate=44100",
                        "-f", "lavfi", "-i", f"anoisesrc=d={seconds}:a=0.05:r=44100",
                        "-filter_complex", "[0][1]amix=inputs=2,aformat=channel_layouts=stereo",
                        "-c:a", "libmp3lame", "-b:a", "192k", path], check=True)
    return path


def make_flac(path, seconds):
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        f"anoisesrc=d={seconds}:a=0.3:r=44100",
                        "-ac", "2", "-c:a", "flac", path], check=True)
    return path
