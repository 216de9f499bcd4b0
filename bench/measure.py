"""Shared helpers for the benchmark scripts: run a command and read its CPU
and wall time and its threads' context switches, a process's resident memory,
medians over repeats, and a private PulseAudio server with a null sink."""

import contextlib
import os
import resource
import shutil
import signal
import statistics
import subprocess
import tempfile
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


def thread_switches(pid):
    """{thread id: voluntary + involuntary context switches so far} of a
    running process (Linux /proc); threads that end meanwhile are left out."""
    counts = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return counts
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                total = 0
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
            counts[tid] = total
        except (OSError, ValueError):
            pass
    return counts


def run_sampled(cmd, env=None, interval=0.2):
    """Runs cmd to the end, reading its threads' context switches every
    `interval` seconds. A thread that ends takes its counts with it, so each
    thread's last reading is kept and the sum of those is the total (the
    counts of the last `interval` before a thread ends are missed). Returns
    (wall seconds, CPU seconds, context switches sampled, context switches by
    getrusage), the last being the kernel's exact total of every thread that
    was waited for, a check on the sampled one."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    last = {}
    while True:
        for tid, count in thread_switches(proc.pid).items():
            last[tid] = max(count, last.get(tid, 0))
        if proc.poll() is not None:
            break
        time.sleep(interval)
    wall = time.monotonic() - start
    if proc.returncode != 0:
        raise subprocess.CalledProcessError(proc.returncode, cmd)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    exact = (after.ru_nvcsw - before.ru_nvcsw) + (after.ru_nivcsw - before.ru_nivcsw)
    return wall, cpu, sum(last.values()), exact


@contextlib.contextmanager
def private_pulse():
    """A private PulseAudio server with a null sink named nullsink (norewinds:
    without it SDL stalls), reachable through the environment it yields;
    stopped on leaving. Yields (environment, server pid)."""
    if not shutil.which("pulseaudio") or not shutil.which("pactl"):
        raise RuntimeError("pulseaudio and pactl are needed (apt-get install pulseaudio pulseaudio-utils)")
    root = tempfile.mkdtemp(prefix="tessel-pa-")
    env = dict(os.environ)
    for key in ("PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"):
        env[key] = os.path.join(root, key.lower())
        os.makedirs(env[key], exist_ok=True)
    env["SDL_AUDIODRIVER"] = "pulseaudio"
    server = None
    try:
        subprocess.run(["pulseaudio", "-D", "--exit-idle-time=-1", "--system=false", "-n",
                        "--load=module-null-sink sink_name=nullsink norewinds=1",
                        "--load=module-native-protocol-unix"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if subprocess.run(["pactl", "info"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                break
            time.sleep(0.05)
        else:
            raise RuntimeError("the private PulseAudio server did not answer")
        with open(os.path.join(env["PULSE_RUNTIME_PATH"], "pid")) as f:
            server = int(f.read().strip())
        yield env, server
    finally:
        if server is None:
            with contextlib.suppress(OSError, ValueError):
                with open(os.path.join(env["PULSE_RUNTIME_PATH"], "pid")) as f:
                    server = int(f.read().strip())
        if server is not None:
            with contextlib.suppress(ProcessLookupError):
                os.kill(server, signal.SIGTERM)
            # Waited for, or it writes into its folders after they are gone.
            for _ in range(200):
                try:
                    with open(f"/proc/{server}/stat") as f:
                        if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                            break
                except (OSError, IndexError):
                    break
                time.sleep(0.01)
        shutil.rmtree(root, ignore_errors=True)


def ensure_program(name, package):
    """Installs a peer the benchmarks compare against when it is missing
    (apt-get, as root); otherwise says how."""
    if shutil.which(name):
        return
    if os.geteuid() != 0:
        raise SystemExit(f"{name} is missing: apt-get install {package}")
    apt_env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    install = ["apt-get", "install", "-y", "-qq", "--no-install-recommends", package]
    if subprocess.run(install, env=apt_env).returncode != 0:
        subprocess.run(["apt-get", "update", "-qq"], env=apt_env, check=True)
        subprocess.run(install, env=apt_env, check=True)


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
