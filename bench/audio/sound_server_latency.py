#!/usr/bin/python3
"""Key release to voice, and dropouts under load, through the desktop's sound
servers (run under xvfb-run by sound_server_latency.sh).

For each backend found on the machine the script starts its own headless
server with a null sink at 48000 Hz float32 stereo, records the sink's monitor
as the chunks arrive, and starts the game from the build's game directory:

  disk        SDL's disk driver, the reference: the game's own buffering only
              (the voice's onset is when its bytes reach the file, which SDL
              writes through stdio, so in lumps of a few periods)
  pulseaudio  PulseAudio with module-null-sink
  pipewire    PipeWire + WirePlumber (own D-Bus session bus), the game native
  pw-pulse    the same PipeWire through pipewire-pulse, the game on SDL's
              pulseaudio driver (SDL's default path on a PipeWire desktop)

latency:  the menu cursor is moved with key presses sent through XTest; the
          time is taken once the X server has processed the release (the menu
          acts on the release). The item's voice is found in the recording by
          cross-correlating with the clip itself (the music goes on under it,
          so a loudness threshold would trigger on the music), and its onset
          time is the arrival time of the chunk holding the voice's first
          sample. Median and 90th percentile in ms.
dropouts: 60 s of the menu music while two busy loops load both cores; a
          dropout is a run of at least 64 frames of exact 0.0 in both channels
          (what a server plays when the stream has nothing for it). "recorded s"
          is how much of those 60 s reached the recorder: under load a server
          may fall behind its clock and play less, which no zero run shows.

The recorder asks for 256 frames (5.3 ms) on every server so that the servers
are compared under the same conditions; on PipeWire that also caps the graph's
quantum at 256, as any low-latency client of a desktop (a screen reader's
speech) does.
"""
import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import wave

import numpy as np
from Xlib import X, XK
from Xlib import display as xdisplay
from Xlib.ext import xtest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import real_program as program  # noqa: E402

RATE = 48000
FRAME_BYTES = 8  # float32 stereo
RECORDER_FRAMES = 256
SINK = "zk"
DROPOUT_FRAMES = 64
# Item i of the menu speaks this clip; the cursor starts on item 0.
ITEM_CLIPS = ["tutorial", "easy", "normal", "hard", "NetRecord", "update", "end"]
TITLE_CLIP = "Title"
# Where the voice may start after the release: anything later is reported as
# not found rather than matched against a later press.
SEARCH_SECONDS = 0.5
PRESS_GAP = 0.7  # seconds between presses: the previous voice has mostly ended


def log(*args):
    print(*args, file=sys.stderr, flush=True)


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


# --- recording ---------------------------------------------------------------

class Recorder:
    """Reads float32 stereo frames from a process's output (parec, pw-record)
    or from a growing file (SDL's disk driver), and keeps, for every chunk,
    the monotonic time it arrived and the frame count reached."""

    def __init__(self, command=None, env=None, path=None):
        self.chunks = []
        self.arrivals = []  # (time, frames received so far)
        self.frames = 0
        self.pending = b""
        self.stopping = False
        self.process = None
        self.path = path
        if command:
            self.process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                            stderr=subprocess.DEVNULL)
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def add(self, data):
        now = time.monotonic()
        data = self.pending + data
        usable = len(data) - len(data) % FRAME_BYTES
        self.pending = data[usable:]
        if usable:
            self.chunks.append(data[:usable])
            self.frames += usable // FRAME_BYTES
            self.arrivals.append((now, self.frames))

    def run(self):
        if self.process is not None:
            fd = self.process.stdout.fileno()
            while True:
                data = os.read(fd, 1 << 16)
                if not data:
                    return
                self.add(data)
        # The disk driver writes a period at a time; read it as it grows.
        while not self.stopping and not os.path.exists(self.path):
            time.sleep(0.001)
        with open(self.path, "rb") as f:
            while not self.stopping:
                data = f.read()
                if data:
                    self.add(data)
                else:
                    time.sleep(0.0005)

    def frames_at(self, moment):
        """Frames that had arrived by `moment`."""
        reached = 0
        for arrival, frames in self.arrivals:
            if arrival > moment:
                break
            reached = frames
        return reached

    def arrival_of(self, frame):
        """When the chunk holding `frame` arrived."""
        for arrival, frames in self.arrivals:
            if frames > frame:
                return arrival
        return None

    def samples(self):
        data = b"".join(self.chunks)
        return np.frombuffer(data, dtype=np.float32).reshape(-1, 2)

    def stop(self):
        self.stopping = True
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.thread.join(timeout=5)


# --- servers -----------------------------------------------------------------

def wait_until(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def quiet(command, env, timeout=10):
    try:
        return subprocess.run(command, env=env, capture_output=True, text=True,
                              timeout=timeout).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


class Daemons:
    """Processes started for one backend, ended in reverse order."""

    def __init__(self, work):
        self.work = work
        self.processes = []

    def start(self, name, command, env):
        out = open(os.path.join(self.work, name + ".log"), "wb")
        process = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.STDOUT)
        self.processes.append((name, process, out))
        return process

    def alive(self):
        return all(p.poll() is None for _, p, _ in self.processes)

    def stop(self):
        for _, process, out in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            out.close()
        self.processes = []


def private_env(work):
    """A home and runtime directory of the run's own, so that no server of
    another user or run is reached and none of theirs is disturbed."""
    env = dict(os.environ)
    for name in ("PULSE_SERVER", "PULSE_SINK", "PIPEWIRE_REMOTE", "DBUS_SESSION_BUS_ADDRESS",
                 "SDL_AUDIODRIVER", "PIPEWIRE_LATENCY", "PULSE_LATENCY_MSEC"):
        env.pop(name, None)
    for name, sub in (("HOME", "home"), ("XDG_RUNTIME_DIR", "runtime"),
                      ("XDG_CONFIG_HOME", "home/.config"), ("XDG_STATE_HOME", "home/.state"),
                      ("XDG_DATA_HOME", "home/.local/share")):
        path = os.path.join(work, sub)
        os.makedirs(path, mode=0o700, exist_ok=True)
        env[name] = path
    return env


def pulse_ready(env):
    return quiet(["pactl", "info"], env) and quiet(["pactl", "list", "short", "sinks"], env)


def sink_listed(env):
    result = subprocess.run(["pactl", "list", "short", "sinks"], env=env, capture_output=True,
                            text=True, timeout=10)
    return any(line.split("\t")[1:2] == [SINK] for line in result.stdout.splitlines())


def parec(env):
    return ["parec", "--device=%s.monitor" % SINK, "--format=float32le", "--rate=%d" % RATE,
            "--channels=2", "--latency-msec=%d" % round(RECORDER_FRAMES * 1000 / RATE),
            "--raw", "--client-name=zk-bench-recorder"]


class PulseAudio:
    name = "pulseaudio"
    driver = "pulseaudio"

    def missing(self):
        for tool in ("pulseaudio", "parec", "pactl"):
            if not shutil.which(tool):
                return "%s is not installed (Debian pulseaudio, pulseaudio-utils)" % tool
        return None

    def start(self, work):
        env = private_env(work)
        self.daemons = Daemons(work)
        self.daemons.start("pulseaudio", [
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--log-target=stderr",
            "-L", "module-null-sink sink_name=%s rate=%d format=float32le channels=2"
            % (SINK, RATE),
            "-L", "module-native-protocol-unix"], env)
        if not wait_until(lambda: pulse_ready(env) and sink_listed(env), 15):
            raise RuntimeError("PulseAudio did not come up (see %s/pulseaudio.log)" % work)
        quiet(["pactl", "set-default-sink", SINK], env)
        self.env = env
        return env, parec(env)

    def stop(self):
        self.daemons.stop()


# PipeWire's own configuration plus a null sink, and the pulse server's
# configuration (the Debian pipewire-pulse package conflicts with pulseaudio,
# so its file is written here rather than installed).
PIPEWIRE_SINK_CONF = """
context.objects = [
    { factory = adapter
        args = {
            factory.name = support.null-audio-sink
            node.name = "%(sink)s"
            node.description = "%(sink)s"
            media.class = "Audio/Sink"
            audio.format = "F32LE"
            audio.rate = %(rate)d
            audio.channels = 2
            audio.position = [ FL FR ]
            monitor.channel-volumes = true
            object.linger = true
        }
    }
]
""" % {"sink": SINK, "rate": RATE}

PIPEWIRE_PULSE_CONF = """
context.properties = { }
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse args = { } }
]
context.exec = [ ]
stream.properties = { }
pulse.properties = {
    server.address = [ "unix:native" ]
    vm.overrides = { pulse.min.quantum = 1024/48000 }
}
"""


class PipeWire:
    """PipeWire with WirePlumber on a D-Bus session bus of its own, and
    pipewire-pulse beside them. `native` picks SDL's driver for the game."""

    def __init__(self, native):
        self.native = native
        self.name = "pipewire" if native else "pw-pulse"
        self.driver = "pipewire" if native else "pulseaudio"

    def missing(self):
        for tool in ("pipewire", "wireplumber", "dbus-daemon", "pw-record", "pactl"):
            if not shutil.which(tool):
                return "%s is not installed (Debian pipewire, wireplumber, dbus-daemon)" % tool
        return None

    def start(self, work):
        env = private_env(work)
        conf = os.path.join(env["XDG_CONFIG_HOME"], "pipewire")
        os.makedirs(os.path.join(conf, "pipewire.conf.d"), exist_ok=True)
        with open(os.path.join(conf, "pipewire.conf.d", "zk-null-sink.conf"), "w") as f:
            f.write(PIPEWIRE_SINK_CONF)
        with open(os.path.join(conf, "pipewire-pulse.conf"), "w") as f:
            f.write(PIPEWIRE_PULSE_CONF)
        self.daemons = Daemons(work)
        # The bus prints its address on its output; a file keeps it.
        address_file = os.path.join(work, "dbus-address")
        with open(address_file, "w") as out:
            bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                    "--print-address=1"], env=env, stdout=out,
                                   stderr=subprocess.DEVNULL)
        self.daemons.processes.append(("dbus", bus, open(os.devnull, "wb")))
        if not wait_until(lambda: os.path.getsize(address_file) > 0, 10):
            raise RuntimeError("dbus-daemon printed no address")
        with open(address_file) as f:
            env["DBUS_SESSION_BUS_ADDRESS"] = f.readline().strip()
        self.daemons.start("pipewire", ["pipewire"], env)
        socket = os.path.join(env["XDG_RUNTIME_DIR"], "pipewire-0")
        if not wait_until(lambda: os.path.exists(socket), 10):
            raise RuntimeError("PipeWire did not come up (see %s/pipewire.log)" % work)
        self.daemons.start("wireplumber", ["wireplumber"], env)
        self.daemons.start("pipewire-pulse", ["pipewire", "-c", "pipewire-pulse.conf"], env)
        if not wait_until(lambda: pulse_ready(env) and sink_listed(env), 15):
            raise RuntimeError("pipewire-pulse did not come up (see %s/pipewire-pulse.log)"
                               % work)
        # WirePlumber makes the only sink the default one; wait for that.
        wait_until(lambda: SINK in subprocess.run(["pactl", "get-default-sink"], env=env,
                                                  capture_output=True, text=True,
                                                  timeout=10).stdout, 10)
        self.env = env
        recorder = ["pw-record", "--target", SINK, "-P", "{ stream.capture.sink = true }",
                    "--rate", str(RATE), "--channels", "2", "--format", "f32",
                    "--latency", str(RECORDER_FRAMES), "-"]
        return env, recorder

    def stop(self):
        self.daemons.stop()


class Disk:
    name = "disk"
    driver = "disk"

    def missing(self):
        return None

    def start(self, work):
        env = private_env(work)
        self.path = os.path.join(work, "disk.raw")
        env["SDL_DISKAUDIOFILE"] = self.path
        return env, None

    def stop(self):
        pass


# --- the game ----------------------------------------------------------------

def read_clip(path):
    """A mono 16-bit clip resampled to the output rate (linear: good enough
    to find it, the correlation peak does not need the mixer's exact curve)."""
    with wave.open(path, "rb") as clip:
        if clip.getnchannels() != 1 or clip.getsampwidth() != 2:
            raise ValueError("%s is not mono 16-bit" % path)
        rate = clip.getframerate()
        data = np.frombuffer(clip.readframes(clip.getnframes()), dtype="<i2") / 32768.0
    times = np.arange(int(len(data) * RATE / rate)) * rate / RATE
    return np.interp(times, np.arange(len(data)), data)


def find_onset(signal_, template):
    """Offset in `signal_` where `template` fits best (normalised
    cross-correlation), and that correlation."""
    n = len(template)
    if len(signal_) < n:
        return None, 0.0
    size = 1 << int(np.ceil(np.log2(len(signal_) + n)))
    corr = np.fft.irfft(np.fft.rfft(signal_, size) * np.conj(np.fft.rfft(template, size)), size)
    corr = corr[:len(signal_) - n + 1]
    energy = np.concatenate(([0.0], np.cumsum(signal_ * signal_)))
    window = np.sqrt(np.maximum(energy[n:] - energy[:-n], 1e-12))
    score = corr / (window * np.linalg.norm(template))
    best = int(np.argmax(score))
    return best, float(score[best])


class Keys:
    """Key presses through XTest, each one processed by the X server before
    the time is taken."""

    def __init__(self):
        self.display = xdisplay.Display()
        self.codes = {name: self.display.keysym_to_keycode(XK.string_to_keysym(name))
                      for name in ("Down", "Up")}

    def tap(self, name):
        code = self.codes[name]
        xtest.fake_input(self.display, X.KeyPress, code)
        self.display.sync()
        time.sleep(0.03)
        xtest.fake_input(self.display, X.KeyRelease, code)
        self.display.sync()
        return time.monotonic()

    def close(self):
        self.display.close()


def menu_walk(count):
    """Keys that walk the cursor down to the last item and back, `count`
    times, with the item each one lands on."""
    cursor, step, out = 0, 1, []
    for _ in range(count):
        if not 0 <= cursor + step < len(ITEM_CLIPS):
            step = -step
        cursor += step
        out.append(("Down" if step > 0 else "Up", cursor))
    return out


def busy_loops(count):
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(count)]


def count_dropouts(samples):
    silent = np.all(samples == 0.0, axis=1).astype(np.int8)
    edges = np.diff(np.concatenate(([0], silent, [0])))
    starts = np.flatnonzero(edges == 1)
    ends = np.flatnonzero(edges == -1)
    return int(np.sum(ends - starts >= DROPOUT_FRAMES))


def measure(backend, binary, game_dir, work, presses, load_seconds, extra_env):
    result = {"backend": backend.name, "driver": backend.driver, "load_before": load_average()}
    env, recorder_command = backend.start(work)
    recorder = None
    game = None
    keys = None
    try:
        game_env = dict(env, SDL_AUDIODRIVER=backend.driver, NO_AT_BRIDGE="1", **extra_env)
        if recorder_command:
            recorder = Recorder(recorder_command, env)
            if not wait_until(lambda: recorder.frames > 0, 10):
                raise RuntimeError("the recorder gave nothing")
        game = program.Game(binary, game_dir, work, game_env)
        if backend.name == "disk":
            recorder = Recorder(path=backend.path)
        if not game.find_window():
            raise RuntimeError("the game window did not appear")
        title = read_clip(os.path.join(game_dir, "sound", "menu", TITLE_CLIP + ".snz"))
        time.sleep(len(title) / RATE + 0.5)  # the title has been spoken
        program.focus(game.window)
        keys = Keys()
        templates = [read_clip(os.path.join(game_dir, "sound", "menu", clip + ".snz"))
                     for clip in ITEM_CLIPS]
        # One walk through every item first: each clip is read from its file
        # at its first play, and that is not the sound server's doing.
        walk = menu_walk(2 * (len(ITEM_CLIPS) - 1) + presses)
        for key, _ in walk[:2 * (len(ITEM_CLIPS) - 1)]:
            keys.tap(key)
            time.sleep(PRESS_GAP / 2)
        time.sleep(PRESS_GAP)
        released = []
        for key, item in walk[2 * (len(ITEM_CLIPS) - 1):]:
            released.append((keys.tap(key), item))
            time.sleep(PRESS_GAP)
        time.sleep(SEARCH_SECONDS)
        samples = recorder.samples()
        mono = samples.sum(axis=1).astype(np.float64)
        latencies, scores, misses = [], [], 0
        for moment, item in released:
            # Nothing that had arrived before the release can hold its voice;
            # a little before is searched so that an early find would show.
            first = max(0, recorder.frames_at(moment) - RATE // 100)
            template = templates[item][:RATE // 4]
            window = mono[first:first + int(SEARCH_SECONDS * RATE) + len(template)]
            offset, score = find_onset(window, template)
            if offset is None or score < 0.5:
                misses += 1
                continue
            arrival = recorder.arrival_of(first + offset)
            if arrival is None:
                misses += 1
                continue
            latencies.append((arrival - moment) * 1000)
            scores.append(score)
        result["latency_ms"] = latencies
        result["not_found"] = misses
        result["correlation_min"] = min(scores) if scores else None
        if latencies:
            ordered = sorted(latencies)
            result["median_ms"] = statistics.median(ordered)
            result["p90_ms"] = ordered[min(len(ordered) - 1, int(np.ceil(0.9 * len(ordered))) - 1)]
        # Dropouts: the music loops under two busy loops.
        start_frame = recorder.frames
        result["load_during_latency"] = load_average()
        loops = busy_loops(2)
        try:
            time.sleep(load_seconds)
        finally:
            for loop in loops:
                loop.kill()
                loop.wait()
        result["load_during_dropouts"] = load_average()
        samples = recorder.samples()[start_frame:]
        result["recorded_s"] = len(samples) / RATE
        result["dropouts"] = count_dropouts(samples)
        result["dropouts_per_min"] = result["dropouts"] * 60.0 / load_seconds
        result["music_rms"] = float(np.sqrt(np.mean(samples.astype(np.float64) ** 2))) \
            if len(samples) else 0.0
        if game.process.poll() is not None:
            raise RuntimeError("the game ended during the run")
        if recorder_command and not backend.daemons.alive():
            raise RuntimeError("a server ended during the run")
    finally:
        if keys is not None:
            keys.close()
        if game is not None:
            game.stop()
        if recorder is not None:
            recorder.stop()
        backend.stop()
    return result


BACKENDS = {"disk": Disk, "pulseaudio": PulseAudio, "pipewire": lambda: PipeWire(True),
            "pw-pulse": lambda: PipeWire(False)}


def summary(runs):
    """Medians over the runs of one backend."""
    good = [r for r in runs if "median_ms" in r]
    out = {"runs": len(runs), "failed": len(runs) - len(good)}
    for key in ("median_ms", "p90_ms", "dropouts_per_min", "recorded_s", "not_found",
                "load_during_dropouts"):
        values = [r[key] for r in good if r.get(key) is not None]
        out[key] = statistics.median(values) if values else None
    return out


def table(label, summaries):
    lines = ["%-11s %-8s %9s %8s %11s %10s %9s %6s" % (
        "backend", "period", "median ms", "p90 ms", "dropouts/m", "recorded s", "not found",
        "load")]
    for name, s in summaries.items():
        def show(value, fmt):
            return "-" if value is None else fmt % value
        lines.append("%-11s %-8s %9s %8s %11s %10s %9s %6s" % (
            name, label, show(s.get("median_ms"), "%.1f"), show(s.get("p90_ms"), "%.1f"),
            show(s.get("dropouts_per_min"), "%.1f"), show(s.get("recorded_s"), "%.1f"),
            show(s.get("not_found"), "%d"),
            show(s.get("load_during_dropouts"), "%.1f")))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--binary", help="the game (default BUILD/zankoruc)")
    parser.add_argument("--label", default="current", help="names this build in the table")
    parser.add_argument("--backends", default=",".join(BACKENDS))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--presses", type=int, default=20)
    parser.add_argument("--load-seconds", type=float, default=60)
    parser.add_argument("--game-env", action="append", default=[], metavar="NAME=VALUE",
                        help="set for the game only, e.g. PULSE_LATENCY_MSEC=20 to try a "
                        "server-side latency request")
    parser.add_argument("--json", help="where the results go (default BUILD/bench/audio/"
                        "sound_server_latency-LABEL.json)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    binary = os.path.abspath(args.binary or os.path.join(build, "zankoruc"))
    game_dir = os.path.join(build, "game")
    if not os.access(binary, os.X_OK) or not os.path.isdir(game_dir):
        sys.exit("no game at %s with its directory %s: build it first" % (binary, game_dir))
    json_path = args.json or os.path.join(build, "bench", "audio",
                                          "sound_server_latency-%s.json" % args.label)
    extra_env = dict(item.split("=", 1) for item in args.game_env)
    results = {"label": args.label, "binary": binary, "game_env": extra_env,
               "presses": args.presses, "load_seconds": args.load_seconds,
               "recorder_frames": RECORDER_FRAMES,
               "cores": os.cpu_count(), "runs": {}, "summary": {}, "skipped": {}}
    for name in args.backends.split(","):
        backend = BACKENDS[name]()
        reason = backend.missing()
        if reason:
            print("%s: skipped, %s" % (name, reason), flush=True)
            results["skipped"][name] = reason
            continue
        runs = []
        for run in range(args.runs):
            work = tempfile.mkdtemp(prefix="zk-abench-%s-" % name)
            log("%s run %d/%d (load %.2f)" % (name, run + 1, args.runs, load_average()))
            try:
                result = measure(backend, binary, game_dir, work, args.presses,
                                 args.load_seconds, extra_env)
                shutil.rmtree(work, ignore_errors=True)
            except (RuntimeError, OSError, subprocess.SubprocessError) as error:
                result = {"backend": name, "error": str(error), "work": work}
                log("%s run %d failed: %s (kept %s)" % (name, run + 1, error, work))
            runs.append(result)
            log("  median %s ms, p90 %s ms, %s dropouts/min" % (
                result.get("median_ms"), result.get("p90_ms"), result.get("dropouts_per_min")))
        results["runs"][name] = runs
        results["summary"][name] = summary(runs)
    print(table(args.label, results["summary"]))
    os.makedirs(os.path.dirname(json_path), exist_ok=True)
    with open(json_path, "w") as f:
        json.dump(results, f, indent=1)
    print("written to", json_path)


if __name__ == "__main__":
    main()
