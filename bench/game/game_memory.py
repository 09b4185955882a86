#!/usr/bin/env python3
"""Peak memory of the real program through a whole Hard game (run under
xvfb-run by game_memory.sh).

The program runs from the generated game directory with SDL's disk driver. A
player plays the Hard game by ear, as a blind player would: it reads the mixed
output as the driver writes it, follows the panned sounds (the swings and the
clangs) in the difference of the two channels, where everything centred
cancels, and answers each swing with the key of its side and height, then
strikes. The first two attacks it answers wrongly on purpose, so the hit
sounds are loaded too. Every clip is loaded on its first play, so when the
50th enemy falls the program holds every clip a won Hard game plays: the
footsteps, the swing, the clangs and strokes, the chance, the battle and
death cries, the damage voices of the hits taken, the numbers 2 to 50 and the
winner's fanfare.

Reported per run: VmHWM (peak resident set) and VmRSS from /proc/<pid>/status
in the menu and once the game is won, and the clips the program opened (when
strace is there to watch it). The figure is the median over the runs.

The first GTK program on a fresh X display makes GDK probe OpenGL, which
loads the Mesa drivers (about 50 MB resident); GDK caches the answer on the
root window, so on a desktop session only its very first GTK program pays for
it. A first start of the program, reported apart, warms the display up.

Panned sounds are recognised exactly: a clip played through the mixer's
resampling and gain must equal the output period by period (see
bench/real_program.py), which stays reliable however the sounds overlap.
"""
import argparse
import ctypes
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import real_program as program  # noqa: E402
from real_program import (PERIOD, RATE, OutputReader, dot, fit_one, read_clip,  # noqa: E402
                          resample)
from real_program import HIGH_HZ as HIGH, LOW_HZ as LOW  # noqa: E402

KEYS = {(True, True): "7", (False, True): "9", (True, False): "1", (False, False): "3"}
WRONG = {(True, True): "9", (False, True): "7", (True, False): "3", (False, False): "1"}
HARD_ENEMIES = 50
# Consecutive swings of one enemy come at most about 2 s apart; between two
# enemies lie the fall, the approach, the cry and a pause: 4.5 s at least.
NEW_ENEMY_GAP = int(3.5 * RATE)
GAME_OVER_GAP = int(8.0 * RATE)
# Float rounding of the mixer, relative to the energies compared.
EXPLAINED = 1e-9
FITS = 1e-6


class Keyboard:
    """Key presses through the XTEST extension: one round trip to the X
    server instead of a process per key."""

    def __init__(self):
        self.x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display")

    def press(self, name):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        self.xtst.XTestFakeKeyEvent(self.display, code, 1, 0)
        self.xtst.XTestFakeKeyEvent(self.display, code, 0, 0)
        self.x11.XFlush(self.display)

    def close(self):
        self.x11.XCloseDisplay(self.display)


class Side:
    """Left minus right of the output, read as the driver writes it. Only the
    last few seconds are kept; frames are numbered from the file's start."""

    KEEP = 4 * RATE

    def __init__(self, path):
        self.output = OutputReader(path)
        self.values = []
        self.base = 0  # frame number of values[0]

    def end(self):
        return self.base + len(self.values)

    def poll(self):
        samples = self.output.read()
        self.values.extend(map(float.__sub__, samples[0::2], samples[1::2]))
        if len(self.values) > 2 * self.KEEP:
            drop = len(self.values) - self.KEEP
            del self.values[:drop]
            self.base += drop

    def get(self, start, end):
        return self.values[start - self.base:end - self.base]

    def close(self):
        self.output.close()


class Tracker:
    """Follows the panned voices in the side signal: the swing and the clang
    (the game plays each from one buffer, so a new one replaces the old).
    Each voice is (template, first frame, gain); left voices have a positive
    gain, right ones a negative one. Every period must be explained by them;
    a period that is not holds a change, which is recognised by fitting the
    candidates there.

    A clip is started, panned and set to its rate in three steps, and the mixer
    may render one period between them: that period then carries the buffer's
    previous pan and rate. Candidates with such a first period are fitted
    after it."""

    def __init__(self, game_dir):
        sound = os.path.join(game_dir, "sound")
        swing, rate = read_clip(os.path.join(sound, "huri.snz"))
        clang, clang_rate = read_clip(os.path.join(sound, "kin.snz"))
        self.candidates = []  # (kind, rate, template, glitch)
        for new in (HIGH, LOW):
            for first in (new, HIGH, LOW, rate):
                template = resample(swing, new, int(0.8 * RATE), first_rate=first)
                self.candidates.append(("swing", new, template, first != new))
        clang = resample(clang, clang_rate, int(1.7 * RATE))
        self.candidates += [("clang", clang_rate, clang, False), ("clang", clang_rate, clang, True)]
        self.voices = {}
        self.next = None  # first frame of the next period to explain
        self.lost = 0  # periods no candidate explained

    def predict(self, start, end, without=None):
        out = [0.0] * (end - start)
        for kind, (template, first, gain) in self.voices.items():
            if kind == without:
                continue
            lo, hi = max(start, first), min(end, first + len(template))
            for i in range(lo, hi):
                out[i - start] += gain * template[i - first]
        return out

    def steps(self, side):
        """Explains every period the side signal holds; yields (kind, first
        frame, gain, rate) for each voice that starts."""
        if self.next is None:
            self.next = (side.base + PERIOD - 1) // PERIOD * PERIOD
        while self.next + 2 * PERIOD <= side.end():
            p = self.next
            y = side.get(p, p + PERIOD)
            model = self.predict(p, p + PERIOD)
            left = [a - b for a, b in zip(y, model)]
            if dot(left, left) <= EXPLAINED * (dot(y, y) + dot(model, model)) + 1e-14:
                self.next += PERIOD
                continue
            found = self.change(side, p)
            self.next += PERIOD
            if found is None:
                # Nothing fits: start afresh from what is heard later.
                self.lost += 1
                self.voices = {}
            elif found[0] is not None:
                yield found

    def change(self, side, p):
        """The change at period p: a voice starting at p (or one period
        earlier, its first period having been silent or centred), or a voice
        stopping. Returns (kind, start, gain, rate), (None,) for a stop, or
        None."""
        best = None
        for kind, rate, template, glitch in self.candidates:
            for start in (p, p - PERIOD):
                # Fit the first period that shows the new voice as it stays.
                at = max(p, start + PERIOD) if glitch else p
                y = side.get(at, at + PERIOD)
                rest = self.predict(at, at + PERIOD, without=kind)
                y = [a - b for a, b in zip(y, rest)]
                piece = template[at - start:at - start + PERIOD]
                gain, residual = fit_one(y, piece)
                if residual < FITS and 0.9 < abs(gain) < 1.1:
                    if best is None or residual < best[0]:
                        best = (residual, kind, start, gain, rate, template)
        if best is not None:
            _, kind, start, gain, rate, template = best
            self.voices[kind] = (template, start, gain)
            return kind, start, gain, rate
        for kind in list(self.voices):
            y = side.get(p, p + PERIOD)
            rest = self.predict(p, p + PERIOD, without=kind)
            left = [a - b for a, b in zip(y, rest)]
            if dot(left, left) <= EXPLAINED * (dot(y, y) + dot(rest, rest)) + 1e-14:
                del self.voices[kind]
                return (None,)
        return None


def memory(pid):
    """VmHWM and VmRSS of the process, in MB."""
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmHWM", "VmRSS"):
                values[key] = int(rest.split()[0]) / 1024.0
    return values.get("VmHWM", 0.0), values.get("VmRSS", 0.0)


class Player:
    def __init__(self, keyboard, tracker, side, deliberate_hits):
        self.keyboard = keyboard
        self.tracker = tracker
        self.side = side
        self.deliberate = deliberate_hits
        self.enemy = 0
        self.swings = 0
        self.last_swing = None
        self.parried = True  # whether the swing before was answered with a clang
        self.misses = 0
        self.wrong = 0
        self.reactions = []

    def hear(self):
        """Reads what was written and answers every new swing; False once
        the swings have stopped for good (the game is over)."""
        self.side.poll()
        for kind, start, gain, rate in self.tracker.steps(self.side):
            if kind == "clang":
                self.parried = True
                continue
            if self.last_swing is None or start - self.last_swing > NEW_ENEMY_GAP:
                self.enemy += 1
                if self.enemy % 10 == 0:
                    print("  enemy %d" % self.enemy, flush=True)
            elif not self.parried:
                self.misses += 1
            self.swings += 1
            self.last_swing = start
            key = (gain > 0, rate == HIGH)
            if self.wrong < self.deliberate:
                self.keyboard.press(WRONG[key])
                self.wrong += 1
                self.parried = True  # a hit on purpose, not a miss
            else:
                self.keyboard.press(KEYS[key])
                self.keyboard.press("space")
                self.parried = False
            self.reactions.append((self.side.end() - start) / RATE)
        return self.last_swing is None or self.side.end() - self.last_swing < GAME_OVER_GAP


def strace_opened(log):
    """The clip files the program opened, from strace's log."""
    clips = set()
    try:
        with open(log, errors="replace") as f:
            for line in f:
                if "openat(" in line and ".snz" in line and "= -1" not in line:
                    path = line.split('"')[1]
                    clips.add(path.split("/sound/", 1)[-1])
    except OSError:
        return None
    return clips


def one_run(binary, game_dir, work, use_strace):
    os.makedirs(work, exist_ok=True)
    game = program.Game(binary, game_dir, work)
    tracer = None
    result = {}
    try:
        if not game.find_window(20):
            result["error"] = "no window"
            return result
        trace_log = os.path.join(work, "strace.txt")
        if use_strace:
            tracer = subprocess.Popen(["strace", "-f", "-qq", "-e", "trace=openat", "-o",
                                       trace_log, "-p", str(game.process.pid)],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3.0)  # the menu's title and music loaded and playing
        result["menu"] = memory(game.process.pid)
        side = Side(game.audio)
        tracker = Tracker(game_dir)
        keyboard = Keyboard()
        player = Player(keyboard, tracker, side, deliberate_hits=2)
        # Down three times from "Tutorial" to "Hard", Enter; the window keeps
        # the keyboard focus for the keys that follow.
        game.keys("Down", "Down", "Down", "Return")
        started = time.monotonic()
        while player.hear():
            if game.process.poll() is not None or time.monotonic() - started > 1200:
                result["error"] = "the program ended or the game took over 20 minutes"
                return result
            time.sleep(0.004)
        result["game"] = memory(game.process.pid)
        result["seconds"] = time.monotonic() - started
        result.update(enemies=player.enemy, swings=player.swings, misses=player.misses,
                      hits=player.wrong, lost=tracker.lost,
                      slowest=max(player.reactions or [0.0]))
        # A won game takes the strike key after 3 s and opens the score
        # dialog; a lost one would go back to the menu.
        keyboard.press("space")
        dialog = program.wait_for(lambda: program.visible_window(program.DIALOG_TITLE), 10,
                                  step=0.5)
        result["won"] = bool(dialog)
        keyboard.close()
        side.close()
    finally:
        if tracer is not None:
            tracer.terminate()
            tracer.wait(timeout=10)
            result["clips"] = strace_opened(os.path.join(work, "strace.txt"))
        game.stop()
    return result


def first_client(binary, game_dir, work):
    """VmHWM of the program as the first GTK program on a fresh display: GDK
    then probes OpenGL once (loading the Mesa drivers) and caches the answer
    on the root window for every later program of the display."""
    game = program.Game(binary, game_dir, work)
    try:
        if not game.find_window(20):
            return None
        time.sleep(3.0)
        return memory(game.process.pid)
    finally:
        game.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    binary = os.path.join(args.build, "zankoruc")
    game_dir = os.path.join(args.build, "game")
    use_strace = shutil.which("strace") is not None
    work = tempfile.mkdtemp(prefix="zk-game-memory-")
    try:
        first = first_client(binary, game_dir, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if first is not None:
        print("first program on the fresh display (GDK's OpenGL probe): menu VmHWM %.1f MB"
              % first[0], flush=True)
    menus, peaks = [], []
    for n in range(args.runs):
        work = tempfile.mkdtemp(prefix="zk-game-memory-")
        try:
            r = one_run(binary, game_dir, work, use_strace)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        if "error" in r:
            print("run %d: %s" % (n + 1, r["error"]), flush=True)
            continue
        print("run %d: menu VmHWM %.1f MB (VmRSS %.1f); after the game VmHWM %.1f MB "
              "(VmRSS %.1f); %d enemies, %d swings in %.0f s, %d hits on purpose, "
              "%d missed, slowest answer %.0f ms, %d periods not followed, %s"
              % (n + 1, r["menu"][0], r["menu"][1], r["game"][0], r["game"][1], r["enemies"],
                 r["swings"], r["seconds"], r["hits"], r["misses"], 1000 * r["slowest"],
                 r["lost"], "won (score dialog open)" if r["won"] else "NOT won"), flush=True)
        if r.get("clips") is not None:
            clips = sorted(r["clips"])
            print("  %d clips opened: %s" % (len(clips), " ".join(clips)), flush=True)
        if r["won"] and r["enemies"] == HARD_ENEMIES:
            menus.append(r["menu"][0])
            peaks.append(r["game"][0])
    if not peaks:
        print("no Hard game was won")
        return 1
    print("peak resident memory (VmHWM) after a won Hard game: median %.1f MB over %d run(s), "
          "%.1f..%.1f (target under 80 MB); in the menu before it: median %.1f MB"
          % (statistics.median(peaks), len(peaks), min(peaks), max(peaks),
             statistics.median(menus)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
