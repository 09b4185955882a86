"""The real program on an X display for the benchmarks (run under xvfb-run):
started in a game directory with its own settings and SDL's disk driver as its
sound card, keys sent with xdotool, and its sound read back as the driver
writes it: float32 stereo, interleaved, at 48 kHz. The clips it plays can be
rendered as the mixer plays them, to be found in the output exactly.
"""
import array
import math
import operator
import os
import struct
import subprocess
import time
import wave

RATE = 48000  # output frames per second
PERIOD = 256  # frames the mixer renders at a time; voices start and change between periods
# Playback rates of the sword swing: the game's high attacks at 22000 × 1.1,
# the low ones at 12000 × 1.1.
HIGH_HZ = 24200
LOW_HZ = 13200

CLIP_RATE = 22050
WINDOW_TITLE = "ZankoruC"
# The score dialog a won game opens.
DIALOG_TITLE = "Do you register a record with a net?"

# Synthetic menu clips, each its own tone, so the output tells them apart.
TITLE_HZ = 660
MUSIC_HZ = 440
VOICE_HZ = {1: 1000, 2: 1200, 3: 1400, 4: 1600, 5: 1800, 6: 2000, 7: 2200}
MENU_CLIPS = {
    0: ("sound/menu/Title.snz", TITLE_HZ, 0.6),
    1: ("sound/menu/tutorial.snz", VOICE_HZ[1], 0.3),
    2: ("sound/menu/easy.snz", VOICE_HZ[2], 0.3),
    3: ("sound/menu/normal.snz", VOICE_HZ[3], 0.3),
    4: ("sound/menu/hard.snz", VOICE_HZ[4], 0.3),
    5: ("sound/menu/NetRecord.snz", VOICE_HZ[5], 0.3),
    6: ("sound/menu/update.snz", VOICE_HZ[6], 0.3),
    7: ("sound/menu/end.snz", VOICE_HZ[7], 0.3),
    8: ("sound/opning.snz", MUSIC_HZ, 1.0),
}


def wait_for(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def write_tone(path, hz, seconds):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    frames = int(CLIP_RATE * seconds)
    data = bytearray()
    for i in range(frames):
        value = int(0.5 * 32767 * math.sin(2 * math.pi * hz * i / CLIP_RATE))
        data += struct.pack("<h", value)
    with wave.open(path, "wb") as clip:
        clip.setnchannels(1)
        clip.setsampwidth(2)
        clip.setframerate(CLIP_RATE)
        clip.writeframes(bytes(data))


def make_game_dir(root):
    game = os.path.join(root, "game")
    for relative, hz, seconds in MENU_CLIPS.values():
        write_tone(os.path.join(game, relative), hz, seconds)
    return game


def run(command, timeout=20):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout)


def visible_window(title):
    """A visible window whose title is exactly `title` (xdotool's search
    ignores letter case: the main window is "ZankoruC", the message box
    "zankoruc")."""
    pattern = "".join("\\" + c if c in ".^$*+?()[]{}|\\" else c for c in title)
    result = run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % pattern])
    for window in result.stdout.split():
        name = run(["xdotool", "getwindowname", window]).stdout.rstrip("\n")
        if name == title:
            return window
    return None


def focus(window):
    run(["xdotool", "windowfocus", "--sync", window])


class Game:
    """The binary running in `game_dir` with its own settings, audio file and
    error output in `work`."""

    def __init__(self, binary, game_dir, work, extra_env=None):
        self.config = os.path.join(work, "config")
        self.audio = os.path.join(work, "output.raw")
        os.makedirs(self.config, exist_ok=True)
        env = dict(os.environ)
        # The program talks to the scripts' own servers directly.
        for name in ("http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"):
            env.pop(name, None)
        env.update({
            "XDG_CONFIG_HOME": self.config,
            "SDL_AUDIODRIVER": "disk",
            "SDL_DISKAUDIOFILE": self.audio,
            "NO_AT_BRIDGE": "1",
        })
        env.update(extra_env or {})
        # A file rather than a pipe: a long run's output cannot fill it and
        # stall the program.
        self.stderr_path = os.path.join(work, "stderr.txt")
        self.stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen([binary], cwd=game_dir, env=env,
                                        stdout=subprocess.DEVNULL, stderr=self.stderr)
        self.window = None

    def find_window(self, timeout=15):
        found = wait_for(lambda: "gone" if self.process.poll() is not None
                         else visible_window(WINDOW_TITLE), timeout)
        self.window = found if found and found != "gone" else None
        if self.window is None:
            print("the program's output:", self.stop())
        return self.window

    def keys(self, *names):
        """Focuses the window, then sends the keys one by one."""
        focus(self.window)
        for name in names:
            run(["xdotool", "key", name])
            # Each release reaches the window before the next press.
            time.sleep(0.15)

    def stop(self):
        """Ends the program if it still runs; its error output."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)
        self.stderr.close()
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")


class OutputReader:
    """Reads the driver's file as it grows: each call to `read` gives the
    samples (left and right interleaved) of the whole frames written since
    the last call."""

    def __init__(self, path):
        self.path = path
        self.file = None
        self.pending = b""

    def read(self):
        samples = array.array("f")
        if self.file is None:
            if not os.path.exists(self.path):
                return samples
            self.file = open(self.path, "rb")
        data = self.pending + self.file.read()
        usable = len(data) - len(data) % 8
        self.pending = data[usable:]
        samples.frombytes(data[:usable])
        return samples

    def close(self):
        if self.file is not None:
            self.file.close()


def dot(a, b):
    return sum(map(operator.mul, a, b))


def read_clip(path):
    """A mono 16-bit clip as floats, with its rate."""
    with wave.open(path, "rb") as clip:
        if clip.getnchannels() != 1 or clip.getsampwidth() != 2:
            raise ValueError("%s is not mono 16-bit" % path)
        data = clip.readframes(clip.getnframes())
        rate = clip.getframerate()
    count = len(data) // 2
    return [v / 32768.0 for v in struct.unpack("<%dh" % count, data[:2 * count])], rate


def resample(samples, rate, frames, looping=False, first_rate=None):
    """The first `frames` output frames of a clip played at `rate` from its
    start: Catmull-Rom interpolation between neighbouring samples, as the
    mixer does it. With `first_rate` the first period plays at that rate:
    a clip is started, panned and set to its rate in separate steps, and the
    mixer may render one period in between, at the buffer's previous rate."""
    count = len(samples)
    first_rate = rate if first_rate is None else first_rate

    def at(i):
        if 0 <= i < count:
            return samples[i]
        if looping:
            return samples[i % count]
        return samples[0] if i < 0 else 0.0

    out = []
    for k in range(frames):
        if k < PERIOD:
            position = k * first_rate / RATE
        else:
            position = PERIOD * first_rate / RATE + (k - PERIOD) * rate / RATE
        i = int(position)
        if i >= count and not looping:
            out.extend([0.0] * (frames - k))
            break
        t = position - i
        sm1, s0, s1, s2 = at(i - 1), at(i), at(i + 1), at(i + 2)
        out.append(s0 + 0.5 * t * (s1 - sm1 + t * (2.0 * sm1 - 5.0 * s0 + 4.0 * s1 - s2
                                                   + t * (3.0 * (s0 - s1) + s2 - sm1))))
    return out


def fit_one(y, t):
    """Gain g minimising |y - g t|, and the share of y's energy left over."""
    tt = dot(t, t)
    yy = dot(y, y)
    if tt == 0.0 or yy == 0.0:
        return 0.0, 1.0
    g = dot(y, t) / tt
    return g, max(0.0, yy - g * g * tt) / yy
