#!/usr/bin/env python3
"""Soak check, not part of the test suite: a long playlist of music-like
tracks, played in real time through tessel-play into a private PulseAudio
null sink, must come out of the sink's monitor as exactly the player's own
offline render of the same playlist, every frame once and in order.

    bench/soak_pulse.py [--seconds 1800] [--build DIR] [--keep]

The tracks (a few minutes each at the default length) are chords, noise and
changing loudness synthesized with sox, stored as WAV, MP3 (lame), FLAC and
Ogg Vorbis, one in three at 48 kHz among 44.1 kHz ones; the first is at
44.1 kHz, and the player converts every later track to the first track's
rate. `tessel-play -o ref.wav` renders the playlist offline: the exact
sample stream the sink should receive. The live run is recorded with parec
at that rate; the recording is aligned on the reference just after the start
ramp and compared frame by frame, allowing only the start ramp and the last
256 frames (which the server may drop when the player closes its stream).
Silence the server inserts between frames (its client fed it late on a
busy machine) is let pass and counted; a frame lost, repeated or out of
order is not. The player must also announce each track once, in order, and
report no underrun. Exit status 0 when all holds; 1 otherwise."""

import argparse
import mmap
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
from array import array

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FORMATS = ["wav", "mp3", "flac", "ogg"]
TAIL_MAY_BE_MISSING = 256


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)


def plan_tracks(total, rng):
    """Track lengths in seconds (a few minutes each at 30 minutes, never
    whole seconds, so hand-overs fall anywhere in a chunk), summing to total."""
    count = max(4, round(total / 180))
    weights = [rng.uniform(0.7, 1.3) for _ in range(count)]
    lengths = [round(total * w / sum(weights), 3) for w in weights]
    lengths[-1] = round(total - sum(lengths[:-1]), 3)
    return lengths


def synthesize(path, seconds, rate, rng, work):
    """Sections of a few seconds, each a chord (with its bass an octave down)
    over some noise, at its own loudness and tremolo, joined into one track."""
    scale = [0, 2, 4, 5, 7, 9, 11]
    sections = []
    left = seconds
    while left > 0.0005:
        length = min(left, rng.uniform(4.0, 12.0))
        if left - length < 1.0:
            length = left
        root = 110.0 * 2 ** (rng.choice(scale) / 12.0) * rng.choice([1, 2])
        third = 3 if rng.random() < 0.5 else 4
        notes = [root, root * 2 ** (third / 12.0), root * 2 ** (7 / 12.0), root / 2]
        wave = rng.choice(["sine", "triangle", "sawtooth"])
        raw = os.path.join(work, f"s{len(sections)}-5ch.wav")
        run(["sox", "-V1", "-n", "-r", str(rate), "-b", "16", "-c", "5", raw, "synth", f"{length:.3f}",
             wave, f"{notes[0]:.2f}", wave, f"{notes[1]:.2f}", wave, f"{notes[2]:.2f}",
             "sine", f"{notes[3]:.2f}", "pinknoise"])
        section = os.path.join(work, f"s{len(sections)}.wav")
        noise = rng.uniform(0.02, 0.12)
        # Voices and noise add up to at most 0.8 of full scale before the
        # section's loudness, which stays below 1.1: no clipping.
        run(["sox", "-V1", raw, "-c", "2", section,
             "remix", f"1v0.2,2v0.12,3v0.16,4v0.2,5v{noise:.3f}",
             f"1v0.12,2v0.2,3v0.16,4v0.2,5v{noise:.3f}",
             "tremolo", f"{rng.uniform(0.2, 6.0):.2f}", f"{rng.uniform(5, 60):.0f}",
             "vol", f"{rng.uniform(0.2, 1.1):.3f}",
             "fade", "t", "0.02", "-0", "0.02"])
        os.remove(raw)
        sections.append(section)
        left = round(left - length, 6)
    wav = path if path.endswith(".wav") else path + ".wav"
    run(["sox", "-V1"] + sections + [wav])
    for s in sections:
        os.remove(s)
    if path.endswith(".mp3"):
        run(["lame", "--quiet", "-b", "192", wav, path])
    elif path.endswith(".flac"):
        run(["sox", "-V1", wav, path])
    elif path.endswith(".ogg"):
        run(["sox", "-V1", wav, "-C", "5", path])
    if wav != path:
        os.remove(wav)


def wav_data(path):
    """(rate, channels, offset of the sample data, its length) of a WAV file."""
    with open(path, "rb") as f:
        head = f.read(12)
        if head[:4] != b"RIFF" or head[8:12] != b"WAVE":
            raise SystemExit(f"{path} is not a WAV file")
        rate = channels = None
        while True:
            chunk = f.read(8)
            if len(chunk) < 8:
                raise SystemExit(f"{path} has no data chunk")
            cid, size = chunk[:4], struct.unpack("<I", chunk[4:])[0]
            if cid == b"fmt ":
                fmt = f.read(size)
                channels, rate = struct.unpack("<HI", fmt[2:8])
                if size & 1:
                    f.read(1)
            elif cid == b"data":
                return rate, channels, f.tell(), size
            else:
                f.seek(size + (size & 1), os.SEEK_CUR)


def map_file(path):
    """The file's bytes, mapped (an empty bytes object for an empty file)."""
    with open(path, "rb") as f:
        if os.fstat(f.fileno()).st_size == 0:
            return b""
        return mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)


def find_frames(hay, needle, base=0):
    """Index of the first frame (4 bytes, counted from byte `base`) at which
    `needle` occurs in `hay`, or -1."""
    at = hay.find(needle, base)
    while at >= 0 and (at - base) % 4:
        at = hay.find(needle, at + 1)
    return (at - base) // 4 if at >= 0 else -1


def discontinuities(ref, ref_base, ref_view, rec_view, start, first, end, rate, limit=10):
    """Walks on from the first mismatch: each time the recording leaves the
    reference, says what came instead (silence, and for how long) and where
    in the reference the sound goes on, then follows it from there. Tells an
    underrun that lost nothing (silence, then the next frame) from frames
    lost, played again or foreign."""
    lines = []
    rec_frames = len(rec_view) // 4
    f = first
    while f < end and len(lines) < limit:
        r = start + f
        if r >= rec_frames:
            lines.append(f"the recording ends at reference frame {f} ({f / rate:.3f} s)")
            break
        n = min(1 << 15, end - f, rec_frames - r)
        if ref_view[f * 4:(f + n) * 4] == rec_view[r * 4:(r + n) * 4]:
            f += n
            continue
        while f < end and r < rec_frames and ref_view[f * 4:(f + 1) * 4] == rec_view[r * 4:(r + 1) * 4]:
            f += 1
            r += 1
        if f >= end:
            break
        z = 0
        while r + z < rec_frames and rec_view[(r + z) * 4:(r + z + 1) * 4] == b"\0\0\0\0":
            z += 1
        what = f"{z} frames of silence ({z / rate * 1000:.0f} ms), then " if z else ""
        piece = bytes(rec_view[(r + z) * 4:(r + z + 64) * 4])
        src = find_frames(ref, piece, ref_base) if len(piece) == 64 * 4 else -1
        where = f"at reference frame {f} ({f / rate:.3f} s), recording frame {r}: "
        if r + z >= rec_frames:
            lines.append(where + "silence to the end of the recording")
            break
        if src < 0:
            lines.append(where + what + "sound that is nowhere in the reference")
            break
        jump = src - f
        verdict = ("nothing lost" if jump == 0 else
                   f"{jump} frames lost" if jump > 0 else f"{-jump} frames played again")
        lines.append(where + what + f"reference frame {src} goes on ({verdict})")
        start, f = r + z - src, src
    return lines


def walk_allowing_silence(ref_view, rec_view, start, first, end):
    """From reference frame `first` to `end`: the recording must hold every
    frame once and in order; runs of silence between them are let pass (a
    sound server inserts them when its client feeds it late, and nothing is
    lost by them). Returns (frames heard, silence runs, silent frames,
    reference frame of the first fault or None)."""
    rec_frames = len(rec_view) // 4
    f, r = first, start + first
    runs = silent = 0
    while f < end:
        n = min(1 << 15, end - f, rec_frames - r)
        if n <= 0:
            return f - first, runs, silent, f
        if ref_view[f * 4:(f + n) * 4] == rec_view[r * 4:(r + n) * 4]:
            f += n
            r += n
            continue
        while ref_view[f * 4:(f + 1) * 4] == rec_view[r * 4:(r + 1) * 4]:
            f += 1
            r += 1
        z = 0
        while r + z < rec_frames and rec_view[(r + z) * 4:(r + z + 1) * 4] == b"\0\0\0\0":
            z += 1
        if z == 0 or r + z >= rec_frames or \
                rec_view[(r + z) * 4:(r + z + 1) * 4] != ref_view[f * 4:(f + 1) * 4]:
            return f - first, runs, silent, f
        runs += 1
        silent += z
        r += z
    return f - first, runs, silent, None


def main():
    # Stopped from outside, it still stops its sound server, recorder and
    # player (SystemExit runs the clean-ups on the way out).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("soak_pulse.py: terminated"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=1800.0,
                        help="playlist length in seconds (default 1800); try 60 first")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="build folder with bin/tessel-play (default build)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.seconds < 20:
        parser.error("--seconds: at least 20")

    play = os.path.join(args.build, "bin", "tessel-play")
    if not os.access(play, os.X_OK):
        raise SystemExit(f"{play} is not built (cmake --build {args.build} --target tessel-play)")
    for tool in ("sox", "lame", "pulseaudio", "pactl", "parec"):
        if not shutil.which(tool):
            raise SystemExit(f"missing: {tool} (scripts/setup.sh installs it)")

    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="tessel-soak-")
    verdict = 1
    try:
        lengths = plan_tracks(args.seconds, rng)
        tracks = []
        t0 = time.monotonic()
        for i, length in enumerate(lengths):
            rate = 48000 if i % 3 == 2 else 44100
            path = os.path.join(work, f"track{i:02d}.{FORMATS[i % len(FORMATS)]}")
            synthesize(path, length, rate, rng, work)
            tracks.append(path)
            print(f"  {os.path.basename(path)}: {length:.3f} s at {rate} Hz", flush=True)
        playlist = os.path.join(work, "playlist.m3u")
        with open(playlist, "w") as f:
            f.write("#EXTM3U\n" + "".join(t + "\n" for t in tracks))
        print(f"{len(tracks)} tracks, {args.seconds:.0f} s, made in {time.monotonic() - t0:.0f} s",
              flush=True)

        ref = os.path.join(work, "ref.wav")
        r = subprocess.run([play, "-o", ref, playlist], capture_output=True, text=True)
        if r.returncode != 0:
            raise SystemExit(f"the offline render failed ({r.returncode}): {r.stderr}")
        rate, channels, offset, length = wav_data(ref)
        if channels != 2:
            raise SystemExit(f"the offline render has {channels} channels, not 2")
        ref_frames = length // 4
        print(f"reference: {ref_frames} frames at {rate} Hz ({ref_frames / rate:.1f} s)", flush=True)

        recording = os.path.join(work, "rec.raw")
        with measure.private_pulse() as (env, _server):
            with open(recording, "wb") as out:
                parec = subprocess.Popen(["parec", "-d", "nullsink.monitor", "--format=s16le",
                                          f"--rate={rate}", "--channels=2"], stdout=out, env=env)
            try:
                # Whatever the player sends before the recorder is connected is lost.
                for _ in range(200):
                    listed = subprocess.run(["pactl", "list", "short", "source-outputs"], env=env,
                                            capture_output=True, text=True).stdout
                    if listed.strip():
                        break
                    time.sleep(0.025)
                t0 = time.monotonic()
                try:
                    live = subprocess.run([play, playlist], env=env, capture_output=True,
                                          text=True, timeout=args.seconds * 2 + 120)
                except subprocess.TimeoutExpired as hung:
                    text = [t.decode() if isinstance(t, bytes) else (t or "")
                            for t in (hung.stdout, hung.stderr)]
                    live = subprocess.CompletedProcess(hung.cmd, "killed (hung)", *text)
                wall = time.monotonic() - t0
                time.sleep(0.5)  # the monitor hands on the last of it
            finally:
                parec.send_signal(signal.SIGINT)
                parec.wait(timeout=10)
        underruns = [l for l in live.stderr.splitlines() if l.startswith("Underrun")]
        announced = [l for l in live.stdout.splitlines() if l.startswith("track\t")]
        in_order = [l.split("\t")[1] for l in announced] == tracks
        print(f"live play: exit {live.returncode}, {wall:.1f} s for {ref_frames / rate:.1f} s of "
              f"music; {len(announced)} track announcement(s) for {len(tracks)} tracks"
              f"{'' if in_order else ' (not each once, in order)'}; "
              f"{len(underruns)} underrun line(s)", flush=True)
        for line in underruns[:5]:
            print("  " + line)

        ref_mm, rec_mm = map_file(ref), map_file(recording)
        ref_frames_view = memoryview(ref_mm)[offset:offset + ref_frames * 4]
        rec_view = memoryview(rec_mm)
        rec_frames = len(rec_view) // 4
        fade = (rate + 19) // 20
        needle = bytes(ref_frames_view[fade * 4:(fade + 4096) * 4])
        at = find_frames(rec_mm, needle)
        compared = mismatches = missing = 0
        first = None
        if at < 0:
            print("the reference after the start ramp is nowhere in the recording "
                  f"({rec_frames} frames)")
        else:
            start = at - fade  # recording frame of reference frame 0
            end = ref_frames - TAIL_MAY_BE_MISSING
            f = fade
            while f < end:
                n = min(1 << 16, end - f)
                avail = max(0, min(n, rec_frames - (start + f)))
                a = ref_frames_view[f * 4:(f + avail) * 4]
                b = rec_view[(start + f) * 4:(start + f + avail) * 4]
                if a != b:
                    x, y = array("I"), array("I")
                    x.frombytes(a)
                    y.frombytes(b)
                    for k in range(avail):
                        if x[k] != y[k]:
                            mismatches += 1
                            if first is None:
                                first = f + k
                compared += avail
                missing += n - avail
                if n > avail and first is None:
                    first = f + avail
                f += n
            print(f"aligned: reference frame 0 at recording frame {start}; compared {compared} "
                  f"frames (reference frames {fade} ... {end - 1}), {mismatches} mismatching, "
                  f"{missing} missing{' (the recording ends before them)' if missing else ''}")
            if first is not None:
                print(f"first mismatch: reference frame {first} ({first / rate:.3f} s) at "
                      f"recording frame {start + first}; from there on (at most 10):")
                for line in discontinuities(ref_mm, offset, ref_frames_view, rec_view, start, first,
                                            end, rate):
                    print("  " + line)
        fault = None
        if at >= 0 and (mismatches or missing):
            heard, runs, silent, fault = walk_allowing_silence(
                ref_frames_view, rec_view, start, fade, ref_frames - TAIL_MAY_BE_MISSING)
            if fault is None:
                print(f"with silence let pass between frames: all {heard} frames heard once, "
                      f"in order; the server inserted {runs} run(s) of silence, "
                      f"{silent / rate:.3f} s in all")
                mismatches = missing = 0
            else:
                print(f"with silence let pass between frames: a frame lost, repeated or "
                      f"foreign at reference frame {fault} ({fault / rate:.3f} s)")
        ok = (at >= 0 and mismatches == 0 and missing == 0 and live.returncode == 0
              and not underruns and in_order)
        if ok:
            print(f"PASS: all {compared} frames of {ref_frames / rate:.1f} s heard once, in order")
            verdict = 0
        else:
            reasons = []
            if live.returncode != 0:
                reasons.append(f"tessel-play exited with {live.returncode}")
            if at < 0:
                reasons.append("the music is not in the recording")
            if mismatches or missing:
                reasons.append(f"{mismatches + missing} of {compared + missing} frames not heard "
                               "once in order")
            if underruns:
                reasons.append(f"{len(underruns)} underrun(s) reported")
            if not in_order:
                reasons.append("the tracks were not announced each once, in order")
            print("FAIL: " + "; ".join(reasons))
    finally:
        if args.keep or verdict:
            print(f"work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    return verdict


if __name__ == "__main__":
    sys.exit(main())
