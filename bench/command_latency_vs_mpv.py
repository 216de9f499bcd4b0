#!/usr/bin/env python3
"""How long a user command takes to be heard: from the moment a command is
sent to the first sound of its target, for the window player (through MPRIS
on a private session bus) beside mpv (through its JSON IPC socket), in one
run, on a private PulseAudio null sink recorded from its monitor.

    bench/command_latency_vs_mpv.py [PLAYER] [REPEATS]

PLAYER defaults to build-release/bin/tessel-audio-player (or build/);
REPEATS (default 5, at most 10) runs of each command per player.

Every second of every fixture track is a tone of its own (track k, second s:
400 + 100 * (10 k + s) Hz), so a 20 ms window of the recording tells which
track and which second sounds. parec records the sink's monitor with a 10 ms
latency, which also keeps the null sink's own device buffer at about 10 ms:
what the players buffer stays in their streams, where it delays a command.
The server hands parec each 10 ms block as it mixes it, so a command's
instant goes on the recording's sample clock through the earliest arrivals
of frames around it: the figures are the time until the server mixes the
target into the sink, to about 10 ms (a real device adds its own latency,
the same for both players).

Commands: previous and next track, seek to 6 s, seek back 4 s, play a given
entry (ours: MPRIS OpenUri of a file, which appends it to the list; mpv:
playlist-play-index of the same file in its list), then quitting while
playing, by the player's own quit command and by SIGTERM, each in a session
of its own (to process exit, and to the last sound). The window player runs
under Qt's offscreen platform with a private HOME, config, runtime folder
and session bus. Exit status 0 whatever the figures, 1 when a player could
not be run, 2 when a program is missing."""

import array
import json
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from math import cos, pi, sin

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import measure  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATE = 44100
FRAME_BYTES = 4
TRACK_SECONDS = 10
WINDOW = 882  # 20 ms: 100 Hz apart, the tones fall on each other's nulls
HOP = 441  # 10 ms
SILENCE_MEAN_SQUARE = 1e-6  # -60 dBFS
TONE_SHARE = 0.6  # of a window's energy, for the window to be that tone
SETTLE_SECONDS = 1.0  # steady play before each command
TARGET_TIMEOUT = 3.0
GOAL_MS = 150
QUIT_GOAL_MS = 500
MPRIS_NAME = "org.mpris.MediaPlayer2.tessel"
MPRIS_PATH = "/org/mpris/MediaPlayer2"
PLAYER_IFACE = "org.mpris.MediaPlayer2.Player"
COMMANDS = ["previous", "next", "seek to 6 s", "seek back 4 s", "play entry"]
QUITS = ["quit (command)", "quit (SIGTERM)"]


def tone_hz(track, second):
    return 400 + 100 * (track * TRACK_SECONDS + second)


def make_tone_track(path, track):
    """TRACK_SECONDS of a tone that changes each second; the frequencies are
    whole hertz, so every second starts and ends at phase 0 (no click)."""
    hz = f"(400+100*({track}*{TRACK_SECONDS}+floor(t)))"
    expr = f"0.5*sin(2*PI*{hz}*t)"
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                    f"aevalsrc={expr}|{expr}:s={RATE}:d={TRACK_SECONDS}",
                    "-c:a", "libmp3lame", "-b:a", "192k", path], check=True)
    return path


# ----------------------------------------------------------------- recording

class Recorder:
    """parec on the sink's monitor, read by a thread of its own; every read
    is stamped with the monotonic clock and the frames read so far."""

    def __init__(self, env):
        self.data = bytearray()
        self.stamps = []  # (monotonic seconds, frames read by then)
        self.lock = threading.Lock()
        self.proc = subprocess.Popen(
            ["parec", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=2",
             "--latency-msec=10", "-d", "nullsink.monitor"],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 16384)
            now = time.monotonic()
            if not chunk:
                return
            with self.lock:
                self.data += chunk
                self.stamps.append((now, len(self.data) // FRAME_BYTES))

    def frames(self):
        with self.lock:
            return len(self.data) // FRAME_BYTES

    def frame_at(self, instant, around=5.0):
        """The recording's frame at a monotonic instant: the frames that
        arrived earliest for their index around it fix the clock."""
        with self.lock:
            near = [w - n / RATE for w, n in self.stamps if abs(w - instant) <= around]
        if not near:
            raise RuntimeError("nothing was recorded around a command")
        return round((instant - min(near)) * RATE)

    def mono(self, first, count):
        """Frames [first, first + count) as floats in [-1, 1], both channels
        averaged; shorter at the recording's end."""
        first = max(0, first)
        with self.lock:
            raw = bytes(self.data[first * FRAME_BYTES:(first + count) * FRAME_BYTES])
        samples = array.array("h")
        samples.frombytes(raw[:len(raw) - len(raw) % FRAME_BYTES])
        return [(samples[i] + samples[i + 1]) / 65536.0 for i in range(0, len(samples), 2)]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
        self.thread.join(timeout=2)


HANN = [0.5 - 0.5 * cos(2 * pi * n / WINDOW) for n in range(WINDOW)]
HANN_SUM = sum(HANN)
_tables = {}


def _table(hz):
    if hz not in _tables:
        step = 2 * pi * hz / RATE
        _tables[hz] = ([w * cos(step * n) for n, w in enumerate(HANN)],
                       [w * sin(step * n) for n, w in enumerate(HANN)])
    return _tables[hz]


def classify(window, tones):
    """'silence', the (track, second) whose tone carries most of the window's
    energy, or 'other' (a change of tone inside the window, noise, a tone
    that is none of `tones`). `tones` maps Hz to (track, second)."""
    energy = sum(map(float.__mul__, [v * v for v in window], HANN))
    if energy / HANN_SUM < SILENCE_MEAN_SQUARE:
        return "silence"
    best, share = None, 0.0
    for hz, label in tones.items():
        c, s = _table(hz)
        re_ = sum(map(float.__mul__, window, c))
        im = sum(map(float.__mul__, window, s))
        # A pure tone at hz gives (A/2 * sum w)^2 against A^2/2 * sum w * sum w / 2.
        part = (re_ * re_ + im * im) / (energy * HANN_SUM / 2)
        if part > share:
            best, share = label, part
    return best if share >= TONE_SHARE else "other"


def tones_of(tracks):
    return {tone_hz(t, s): (t, s) for t in tracks for s in range(TRACK_SECONDS)}


def heard_now(recorder, tracks):
    """What the last 20 ms recorded are, among `tracks`' tones."""
    end = recorder.frames()
    window = recorder.mono(end - WINDOW, WINDOW)
    if len(window) < WINDOW:
        return "silence"
    return classify(window, tones_of(tracks))


# ------------------------------------------------------------------ controls

class Bus:
    """The least of a D-Bus client these timings need: method calls with
    string, object path and int64 arguments on a connection of its own, the
    message built before it is stamped and sent, so the stamp is the moment
    the call leaves (a dbus-send process would add its own start-up)."""

    def __init__(self, address):
        for part in address.split(";"):
            kind, _, rest = part.partition(":")
            keys = dict(kv.split("=", 1) for kv in rest.split(",") if "=" in kv)
            if kind == "unix" and ("path" in keys or "abstract" in keys):
                break
        else:
            raise RuntimeError(f"no unix socket in the bus address {address}")
        where = keys.get("path") or "\0" + keys["abstract"]
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(where)
        uid = str(os.getuid()).encode().hex().encode()
        self.sock.sendall(b"\0AUTH EXTERNAL " + uid + b"\r\n")
        line = b""
        while not line.endswith(b"\r\n"):
            got = self.sock.recv(1)
            if not got:
                raise RuntimeError("the session bus closed the connection")
            line += got
        if not line.startswith(b"OK"):
            raise RuntimeError(f"the session bus refused us: {line!r}")
        self.sock.sendall(b"BEGIN\r\n")
        self.serial = 0
        self.pending = b""
        self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello")

    @staticmethod
    def _put(buf, code, value):
        if code in "so":
            buf.extend(b"\0" * (-len(buf) % 4))
            raw = value.encode()
            buf += struct.pack("<I", len(raw)) + raw + b"\0"
        elif code == "g":
            raw = value.encode()
            buf += bytes([len(raw)]) + raw + b"\0"
        elif code == "x":
            buf.extend(b"\0" * (-len(buf) % 8))
            buf += struct.pack("<q", value)
        else:
            raise ValueError(code)

    def message(self, dest, path, iface, member, signature="", args=()):
        """(serial, bytes) of a method call, ready to send."""
        body = bytearray()
        for code, value in zip(signature, args):
            self._put(body, code, value)
        fields = bytearray()
        for code, kind, value in ((1, "o", path), (2, "s", iface), (3, "s", member),
                                  (6, "s", dest), (8, "g", signature)):
            if kind == "g" and not value:
                continue
            fields.extend(b"\0" * (-len(fields) % 8))
            fields.append(code)
            self._put(fields, "g", kind)
            self._put(fields, kind, value)
        self.serial += 1
        head = struct.pack("<cBBBIII", b"l", 1, 0, 1, len(body), self.serial, len(fields))
        msg = head + fields + b"\0" * (-len(fields) % 8) + body
        return self.serial, bytes(msg)

    def send(self, msg):
        self.sock.sendall(msg)

    def _next_message(self, deadline):
        while True:
            if len(self.pending) >= 16:
                if self.pending[0:1] != b"l":
                    raise RuntimeError("a big-endian D-Bus message: not handled")
                body_len, _, fields_len = struct.unpack_from("<III", self.pending, 4)
                head_end = 16 + fields_len + (-fields_len % 8)
                total = head_end + body_len
                if len(self.pending) >= total:
                    msg, self.pending = self.pending[:total], self.pending[total:]
                    return msg, head_end
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no answer on the session bus")
            self.sock.settimeout(left)
            got = self.sock.recv(65536)
            if not got:
                raise RuntimeError("the session bus closed the connection")
            self.pending += got

    @staticmethod
    def _fields(msg):
        fields = {}
        fields_len = struct.unpack_from("<I", msg, 12)[0]
        pos, end = 16, 16 + fields_len
        while pos < end:
            pos += -pos % 8
            code, sig_len = msg[pos], msg[pos + 1]
            sig = msg[pos + 2:pos + 2 + sig_len]
            pos += 3 + sig_len
            if sig in (b"s", b"o"):
                pos += -pos % 4
                n = struct.unpack_from("<I", msg, pos)[0]
                fields[code] = msg[pos + 4:pos + 4 + n].decode()
                pos += 5 + n
            elif sig == b"g":
                n = msg[pos]
                fields[code] = msg[pos + 1:pos + 1 + n].decode()
                pos += 2 + n
            elif sig == b"u":
                pos += -pos % 4
                fields[code] = struct.unpack_from("<I", msg, pos)[0]
                pos += 4
            else:
                raise RuntimeError(f"a D-Bus header field of type {sig!r}: not handled")
        return fields

    def reply(self, serial, timeout=5.0):
        """The body of the answer to `serial`; an error answer raises."""
        deadline = time.monotonic() + timeout
        while True:
            msg, head_end = self._next_message(deadline)
            kind = msg[1]
            fields = self._fields(msg)
            if kind in (2, 3) and fields.get(5) == serial:
                body = msg[head_end:]
                if kind == 3:
                    text = ""
                    if len(body) >= 4:
                        n = struct.unpack_from("<I", body, 0)[0]
                        text = body[4:4 + n].decode(errors="replace")
                    raise RuntimeError(f"{fields.get(4, 'error')}: {text}")
                return body

    def call(self, dest, path, iface, member, signature="", args=(), timeout=5.0):
        serial, msg = self.message(dest, path, iface, member, signature, args)
        self.send(msg)
        return self.reply(serial, timeout)

    @staticmethod
    def string_body(body):
        n = struct.unpack_from("<I", body, 0)[0]
        return body[4:4 + n].decode()

    def close(self):
        self.sock.close()


class TesselPlayer:
    """The window player, commanded over MPRIS."""

    name = "tessel"

    def __init__(self, path, env):
        self.path, self.env = path, env
        self.proc = None
        self.bus = None

    def start(self, files):
        self.proc = subprocess.Popen([self.path] + files, env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.bus = Bus(self.env["DBUS_SESSION_BUS_ADDRESS"])
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError(f"the player exited with status {self.proc.returncode}")
            body = self.bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "NameHasOwner", "s", [MPRIS_NAME])
            if struct.unpack_from("<I", body, 0)[0]:
                return
            time.sleep(0.05)
        raise RuntimeError(f"the player did not take {MPRIS_NAME} on the bus within 20 s")

    def methods(self):
        xml = Bus.string_body(self.bus.call(MPRIS_NAME, MPRIS_PATH,
                                            "org.freedesktop.DBus.Introspectable", "Introspect"))
        found = {}
        for iface, inner in re.findall(r'<interface name="([^"]+)">(.*?)</interface>', xml, re.S):
            found[iface] = re.findall(r'<method name="([^"]+)"', inner)
        return found

    def _track_id(self):
        body = self.bus.call(MPRIS_NAME, MPRIS_PATH, "org.freedesktop.DBus.Properties", "Get",
                             "ss", [PLAYER_IFACE, "Metadata"])
        key = b"mpris:trackid\0\x01o\0"
        at = body.find(key)
        if at < 0:
            raise RuntimeError("the player's Metadata has no mpris:trackid")
        pos = at + len(key)
        pos += -pos % 4
        n = struct.unpack_from("<I", body, pos)[0]
        return body[pos + 4:pos + 4 + n].decode()

    def prepare(self, command, arg=None):
        """The message for `command`, built ahead of the instant it is sent."""
        if command == "quit":
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, "org.mpris.MediaPlayer2", "Quit")
        if command == "previous":
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, PLAYER_IFACE, "Previous")
        if command == "next":
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, PLAYER_IFACE, "Next")
        if command == "seek to":
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, PLAYER_IFACE, "SetPosition", "ox",
                                    [self._track_id(), int(arg * 1e6)])
        if command == "seek by":
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, PLAYER_IFACE, "Seek", "x",
                                    [int(arg * 1e6)])
        if command == "play entry":
            uri = "file://" + urllib.parse.quote(arg)
            return self.bus.message(MPRIS_NAME, MPRIS_PATH, PLAYER_IFACE, "OpenUri", "s", [uri])
        raise ValueError(command)

    def send(self, prepared):
        serial, msg = prepared
        stamp = time.monotonic()
        self.bus.send(msg)
        return stamp, serial

    def answer(self, serial):
        try:
            self.bus.reply(serial, timeout=5.0)
            return None
        except (RuntimeError, TimeoutError, OSError) as error:
            return str(error)

    def close(self):
        if self.bus:
            self.bus.close()
            self.bus = None


class MpvPlayer:
    """mpv, commanded through its JSON IPC socket."""

    name = "mpv"

    def __init__(self, env, work):
        self.env = env
        self.socket_path = os.path.join(work, "mpv.socket")
        self.proc = None
        self.sock = None
        self.request = 0
        self.lines = b""

    def start(self, files):
        if os.path.exists(self.socket_path):
            os.remove(self.socket_path)
        self.proc = subprocess.Popen(
            ["mpv", "--no-config", "--no-video", "--really-quiet", "--ao=pulse",
             "--gapless-audio=yes", "--idle=no", f"--input-ipc-server={self.socket_path}"] + files,
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError(f"mpv exited with status {self.proc.returncode}")
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(self.socket_path)
                return
            except OSError:
                self.sock.close()
                self.sock = None
                time.sleep(0.05)
        raise RuntimeError("mpv's IPC socket did not appear within 20 s")

    def methods(self):
        return {}

    def prepare(self, command, arg=None):
        words = {"quit": ["quit"], "previous": ["playlist-prev"], "next": ["playlist-next"],
                 "seek to": ["seek", arg, "absolute"], "seek by": ["seek", arg, "relative"],
                 "play entry": ["playlist-play-index", arg]}[command]
        self.request += 1
        line = json.dumps({"command": words, "request_id": self.request}) + "\n"
        return self.request, line.encode()

    def send(self, prepared):
        request, line = prepared
        stamp = time.monotonic()
        self.sock.sendall(line)
        return stamp, request

    def answer(self, request):
        deadline = time.monotonic() + 5.0
        try:
            while True:
                while b"\n" in self.lines:
                    line, self.lines = self.lines.split(b"\n", 1)
                    reply = json.loads(line)
                    if reply.get("request_id") == request:
                        return None if reply.get("error") == "success" else reply.get("error")
                left = deadline - time.monotonic()
                if left <= 0:
                    return "no answer"
                self.sock.settimeout(left)
                got = self.sock.recv(65536)
                if not got:
                    return "the socket closed"
                self.lines += got
        except (OSError, ValueError) as error:
            return str(error)

    def close(self):
        if self.sock:
            self.sock.close()
            self.sock = None
        self.lines = b""


# ------------------------------------------------------------------ sessions

def note(notes, what, kind, detail=""):
    """Something seen on the way, grouped by what it was seen in and its
    kind, so that five runs of one fault read as one line."""
    notes.setdefault((what, kind), []).append(detail)


def wait_for(recorder, tracks, accept, timeout=TARGET_TIMEOUT):
    """Polls the recording until `accept` takes the (track, second) of its
    newest window; True when that came in time."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        got = heard_now(recorder, tracks)
        if isinstance(got, tuple) and accept(got):
            return True
        time.sleep(0.03)
    return False


def stop(player):
    player.close()
    if player.proc and player.proc.poll() is None:
        player.proc.terminate()
        try:
            player.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            player.proc.kill()
            player.proc.wait()


def command_session(player, recorder, files, track_of, repeats, notes):
    """Plays the list and runs the commands in turn. A model of the list
    follows the player: previous and next step along it, play entry opens
    the extra file of the repeat (mpv has it in its list; ours is given it
    by OpenUri, which appends it). Before each command the model takes the
    track that is heard, so one command that went astray does not spoil
    the next ones. Returns the commands sent (dicts of label, stamp, old
    and target track, the seconds the target may start at) and lines on
    the player's controls and streams."""
    main = [f for f in files if track_of[f] < 4]
    extras = [f for f in files if track_of[f] >= 4]
    listed = main + (extras if player.name == "mpv" else [])
    player.start(listed)
    sent = []
    try:
        lines = [f"on the bus, {iface.rsplit('.', 1)[-1]}: {' '.join(names)}"
                 for iface, names in player.methods().items() if iface.startswith("org.mpris")]
        everything = sorted(set(track_of.values()))
        if not wait_for(recorder, [0], lambda got: got[0] == 0, timeout=20):
            raise RuntimeError("the first track was never heard")
        time.sleep(SETTLE_SECONDS)
        current = 0

        def run(label, command, arg, target_of, seconds):
            nonlocal current
            before = heard_now(recorder, everything)
            if isinstance(before, tuple) and before[0] != track_of[listed[current]]:
                heard = [i for i, f in enumerate(listed) if track_of[f] == before[0]]
                if heard:
                    current = heard[-1]
            target_index = target_of(current)
            old, target = track_of[listed[current]], track_of[listed[target_index]]
            prepared = player.prepare(command, arg)
            stamp, key = player.send(prepared)
            error = player.answer(key)
            if error:
                note(notes, f"{player.name}: {label}", "the command was refused", error)
            if callable(seconds):
                seconds = seconds(before)
            sent.append({"label": label, "stamp": stamp, "old": old, "target": target,
                         "seconds": seconds})
            if wait_for(recorder, [old, target],
                        lambda got: got[0] == target and got[1] in seconds):
                current = target_index
            time.sleep(SETTLE_SECONDS)

        def back(before):
            # Heard at second s, the player itself is a little ahead: a
            # landing 4 s back is at second s - 5 ... s - 3.
            s = before[1] if isinstance(before, tuple) else 7
            return {s - 5, s - 4, s - 3}

        # Off the first entry, so that previous has somewhere to go.
        run("(warm-up) next", "next", None, lambda c: c + 1, {0, 1})
        sent.pop()
        lines += pulse_figures(player.env)
        for r in range(repeats):
            run("previous", "previous", None, lambda c: c - 1, {0, 1})
            run("next", "next", None, lambda c: c + 1, {0, 1})
            run("seek to 6 s", "seek to", 6.0, lambda c: c, {5, 6})
            run("seek back 4 s", "seek by", -4.0, lambda c: c, back)
            if player.name == "mpv":
                index = listed.index(extras[r])
                run("play entry", "play entry", index, lambda c: index, {0, 1})
            else:
                listed.append(extras[r])
                run("play entry", "play entry", extras[r], lambda c: len(listed) - 1, {0, 1})
        return sent, lines
    finally:
        stop(player)


def quit_session(player, recorder, first_file, track, how, notes):
    """One start, a second of play, then quit; (stamp, exit instant) or None."""
    player.start([first_file])
    try:
        if not wait_for(recorder, [track], lambda got: got[0] == track, timeout=20):
            note(notes, player.name, "a quit session's track was never heard")
            return None
        time.sleep(SETTLE_SECONDS)
        # Popen.wait polls; a pidfd is readable the moment the process ends.
        pidfd = os.pidfd_open(player.proc.pid)
        try:
            if how == "command":
                prepared = player.prepare("quit")
                stamp, _ = player.send(prepared)
            else:
                stamp = time.monotonic()
                player.proc.send_signal(signal.SIGTERM)
            ended, _, _ = select.select([pidfd], [], [], 10.0)
            exited = time.monotonic() if ended else None
        finally:
            os.close(pidfd)
        if exited is None:
            note(notes, f"{player.name}: quit by {how}", "the process did not end within 10 s")
        return stamp, exited
    finally:
        stop(player)
        time.sleep(0.3)


def pulse_figures(env):
    """Buffer and sink latency of each playing stream, as the server has them."""
    out = subprocess.run(["pactl", "list", "sink-inputs"], env=env, capture_output=True,
                         text=True).stdout
    lines = []
    for block in out.split("Sink Input #")[1:]:
        name = re.search(r'application\.name = "([^"]*)"', block)
        buffer = re.search(r"Buffer Latency: (\d+) usec", block)
        sink = re.search(r"Sink Latency: (\d+) usec", block)
        if buffer and sink:
            lines.append(f"{name.group(1) if name else '?'}: stream buffer "
                         f"{int(buffer.group(1)) / 1000:.0f} ms + sink "
                         f"{int(sink.group(1)) / 1000:.0f} ms while playing")
    return lines


# ------------------------------------------------------------------ analysis

def analyse_command(recorder, entry, end_stamp, notes, who):
    """(latency to the target's first window in ms or None, ms of the old
    sound after the command, ms of silence before the target). Oddities on
    the way (silence, foreign sound, the old sound coming back after the
    target, a gap after it) go to `notes`."""
    start = recorder.frame_at(entry["stamp"])
    end = recorder.frame_at(end_stamp) if end_stamp else start + int(TARGET_TIMEOUT * RATE)
    tones = tones_of({entry["old"], entry["target"]})
    samples = recorder.mono(start, end - start + WINDOW)
    labels = [classify(samples[at:at + WINDOW], tones)
              for at in range(0, len(samples) - WINDOW + 1, HOP)]
    what = f"{who}: {entry['label']}"
    ms = HOP * 1000.0 / RATE

    def is_target(label):
        return (isinstance(label, tuple) and label[0] == entry["target"]
                and label[1] in entry["seconds"])

    onset = next((i for i, label in enumerate(labels) if is_target(label)), None)
    if onset is None:
        heard = []
        for label in labels:
            if not heard or heard[-1][0] != label:
                heard.append([label, 0])
            heard[-1][1] += 1
        note(notes, what, "its target never sounded; heard instead (track, second)",
             ", ".join(f"{label} {n * ms:.0f} ms" for label, n in heard[:5]))
        return None, None, None
    # The window's middle: from there on the target fills most of it.
    latency = (onset * HOP + WINDOW // 2) * 1000.0 / RATE
    on_the_way = labels[:onset]
    old = sum(1 for x in on_the_way if isinstance(x, tuple)) * ms
    silent = on_the_way.count("silence") * ms
    if silent >= 30:
        note(notes, what, "silence before the target (ms)", f"{silent:.0f}")
    foreign = on_the_way.count("other") * ms
    if foreign > 30:
        note(notes, what, "sound that is neither the old track nor the target (ms)",
             f"{foreign:.0f}")
    # Half a second on: the target goes on (a seek's target into its next
    # second), nothing else comes back.
    after = labels[onset:onset + int(0.5 * RATE / HOP)]
    going_on = entry["seconds"] | {s + 1 for s in entry["seconds"]}
    strays = [x for x in after if isinstance(x, tuple) and (x[0] != entry["target"] or
                                                            x[1] not in going_on)]
    if strays:
        note(notes, what, "after the target began, another track or second sounded",
             f"{strays[0]} for {len(strays) * ms:.0f} ms")
    gaps = after.count("silence") * ms
    if gaps >= 30:
        note(notes, what, "silence within 0.5 s after the target began (ms)", f"{gaps:.0f}")
    return latency, old, silent


def sound_end_ms(recorder, stamp, exited):
    """From the quit to the end of the last sound, in ms."""
    start = recorder.frame_at(stamp)
    end = recorder.frame_at((exited or stamp) + 0.5)
    samples = recorder.mono(start, end - start + WINDOW)
    last = 0
    for at in range(0, len(samples) - WINDOW + 1, HOP):
        window = samples[at:at + WINDOW]
        if sum(v * v for v in window) / WINDOW >= SILENCE_MEAN_SQUARE:
            last = at + WINDOW
    return last * 1000.0 / RATE


def summary(values):
    got = [v for v in values if v is not None]
    if not got:
        return "never", None, None
    missing = len(values) - len(got)
    text = f"{measure.median(got):.0f} / {max(got):.0f}"
    if missing:
        text += f" ({missing} never)"
    return text, measure.median(got), max(got) if not missing else float("inf")


# ---------------------------------------------------------------------- main

def measure_player(player, recorder, files, track_of, repeats, notes):
    """Latencies, where their time went, quit times and the lines on the
    player's controls and streams; raises when the player cannot be run."""
    got = {"latency": {c: [] for c in COMMANDS + QUITS}, "breakdown": {c: [] for c in COMMANDS},
           "sound end": {q: [] for q in QUITS}}
    sent, got["lines"] = command_session(player, recorder, files, track_of, repeats, notes)
    for i, entry in enumerate(sent):
        end = sent[i + 1]["stamp"] if i + 1 < len(sent) else None
        latency, old, silent = analyse_command(recorder, entry, end, notes, player.name)
        got["latency"][entry["label"]].append(latency)
        if latency is not None:
            got["breakdown"][entry["label"]].append((old, silent))
    for how, label in (("command", QUITS[0]), ("SIGTERM", QUITS[1])):
        for _ in range(repeats):
            quit = quit_session(player, recorder, files[0], track_of[files[0]], how, notes)
            if quit is None:
                got["latency"][label].append(None)
                continue
            stamp, exited = quit
            got["latency"][label].append((exited - stamp) * 1000.0 if exited else None)
            got["sound end"][label].append(sound_end_ms(recorder, stamp, exited))
    return got


def start_bus(env, work):
    """A private session bus; (process, its address)."""
    proc = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                             f"--address=unix:path={os.path.join(work, 'bus')}"],
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = proc.stdout.readline().strip()
    if not address:
        proc.terminate()
        proc.wait()
        raise RuntimeError("the private session bus did not start")
    return proc, address


def find_player(player_path):
    """The window player to measure: the path given, else a built one; ""
    (after saying so) when there is none."""
    if not player_path:
        for build in ("build-release", "build"):
            candidate = os.path.join(ROOT, build, "bin", "tessel-audio-player")
            if os.access(candidate, os.X_OK):
                player_path = candidate
                break
    if not player_path or not os.access(player_path, os.X_OK):
        print("the window player is not built (pass its path)", file=sys.stderr)
        return ""
    return player_path


def programs_present():
    missing = [p for p in ("mpv", "parec", "pactl", "pulseaudio", "ffmpeg", "dbus-daemon")
               if not shutil.which(p)]
    if missing:
        print(f"missing: {' '.join(missing)} (apt-get install mpv pulseaudio-utils pulseaudio "
              "ffmpeg dbus)", file=sys.stderr)
    return not missing


def player_env(pulse_env, work):
    """The private server's environment with a private HOME, config and
    runtime folder under `work`, Qt offscreen, and no display."""
    env = dict(pulse_env)
    home, runtime = os.path.join(work, "home"), os.path.join(work, "runtime")
    os.makedirs(os.path.join(home, ".config"))
    os.makedirs(runtime, mode=0o700)
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="offscreen",
               SDL_AUDIODRIVER="pulseaudio",
               PULSE_SERVER="unix:" + os.path.join(env["PULSE_RUNTIME_PATH"], "native"))
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def main():
    player_path = sys.argv[1] if len(sys.argv) > 1 else ""
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    if not 1 <= repeats <= 10:
        sys.exit("REPEATS is 1 to 10")
    player_path = find_player(player_path)
    if not player_path or not programs_present():
        return 2

    work = tempfile.mkdtemp(prefix="tessel-latency-")
    notes, results = {}, {}
    try:
        files, track_of = [], {}
        for track in range(4 + repeats):
            name = f"t{track}.mp3" if track < 4 else f"entry{track - 4}.mp3"
            files.append(make_tone_track(os.path.join(work, name), track))
            track_of[files[-1]] = track

        with measure.private_pulse() as (pulse_env, _server):
            env = player_env(pulse_env, work)
            bus, env["DBUS_SESSION_BUS_ADDRESS"] = start_bus(env, work)
            recorder = Recorder(env)
            try:
                for player in (TesselPlayer(player_path, env), MpvPlayer(env, work)):
                    try:
                        results[player.name] = measure_player(player, recorder, files, track_of,
                                                              repeats, notes)
                    except (RuntimeError, OSError, TimeoutError) as error:
                        note(notes, player.name, "could not be measured", str(error))
                        stop(player)
            finally:
                recorder.stop()
                bus.terminate()
                bus.wait()

        report(results, notes, repeats, player_path)
        return 0 if len(results) == 2 else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


def report(results, notes, repeats, player_path):
    empty = {"latency": {c: [] for c in COMMANDS + QUITS}, "breakdown": {c: [] for c in COMMANDS},
             "sound end": {q: [] for q in QUITS}, "lines": []}
    ours, peer = results.get("tessel", empty), results.get("mpv", empty)
    print(f"player: {player_path}; {repeats} runs of each command; ms from the command "
          "to the target's first sound (quit: to the process's exit)")
    print(f"{'command':<16} {'tessel (ms median/worst)':>26} {'mpv (ms median/worst)':>24}")
    misses = []
    for command in COMMANDS + QUITS:
        ours_text, ours_median, ours_worst = summary(ours["latency"][command])
        peer_text, peer_median, _ = summary(peer["latency"][command])
        print(f"{command:<16} {ours_text:>26} {peer_text:>24}")
        if command in QUITS:
            if ours_worst is None or ours_worst >= QUIT_GOAL_MS:
                misses.append(command)
        elif (ours_worst is None or ours_worst >= GOAL_MS or
              (peer_median is not None and ours_median > peer_median)):
            misses.append(command)
    print(f"goal: every command under {GOAL_MS} ms (worst) and no slower than mpv (median); "
          f"quit under {QUIT_GOAL_MS / 1000:.1f} s: "
          + ("met" if not misses else "not met by " + ", ".join(misses)))
    print()
    print("where the time went (medians, ms): the old sound going on after the command + "
          "silence before the target")
    print(f"{'command':<16} {'tessel':>26} {'mpv':>24}")
    for command in COMMANDS:
        cells = []
        for pairs in (ours["breakdown"][command], peer["breakdown"][command]):
            cells.append(f"{measure.median([p[0] for p in pairs]):.0f} + "
                         f"{measure.median([p[1] for p in pairs]):.0f}" if pairs else "-")
        print(f"{command:<16} {cells[0]:>26} {cells[1]:>24}")
    print("from a quit to the end of the last sound (median/worst, ms)")
    for command in QUITS:
        print(f"{command:<16} {summary(ours['sound end'][command])[0]:>26} "
              f"{summary(peer['sound end'][command])[0]:>24}")
    for name, got in (("tessel", ours), ("mpv", peer)):
        for line in got["lines"]:
            print(f"{name}: {line}")
    if notes:
        print("seen on the way:")
        for (what, kind), details in notes.items():
            shown = [d for d in details if d]
            print(f"  {what}: {kind}" + (f": {' | '.join(shown)}" if shown else "")
                  + (f" ({len(details)} times)" if len(details) > 1 and not shown else ""))


if __name__ == "__main__":
    sys.exit(main())
