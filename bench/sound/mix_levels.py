#!/usr/bin/env python3
"""Loudness and peaks of what the real program plays (run under xvfb-run by
mix_levels.sh): 20 s of the title menu, then 20 s of a Hard duel played by
ear (the player of bench/game/game_memory.py, answering every swing at
once), both read from SDL's disk driver, which writes the mixer's output as
it leaves it.

Reported per part: the integrated loudness (ITU-R BS.1770, stereo, measured
by libebur128), the sample peak, the true peak (libebur128's 4x oversampled
estimate of the peak between samples) and the share of frames within 0.01 dB
of the limiter's ceiling (-1 dBFS), where the limiter held the mix.
"""
import argparse
import array
import ctypes
import math
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "game"))
import real_program as program  # noqa: E402
import game_memory  # noqa: E402

RATE = 48000
SECONDS = 20
CEILING = 10 ** (-1 / 20)
MODE_I, MODE_TRUE_PEAK = (1 << 2) | 1, (1 << 5) | (1 << 4) | 1


def measure(samples):
    """(integrated LUFS, sample peak dBFS, true peak dBTP, share held) of
    interleaved stereo float samples."""
    lib = ctypes.CDLL("libebur128.so.1")
    lib.ebur128_init.restype = ctypes.c_void_p
    lib.ebur128_init.argtypes = [ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    lib.ebur128_add_frames_float.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_float),
                                             ctypes.c_size_t]
    for name in ("ebur128_loudness_global",):
        getattr(lib, name).argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_double)]
    for name in ("ebur128_sample_peak", "ebur128_true_peak"):
        getattr(lib, name).argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                       ctypes.POINTER(ctypes.c_double)]
    lib.ebur128_destroy.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    state = lib.ebur128_init(2, RATE, MODE_I | MODE_TRUE_PEAK)
    buffer = (ctypes.c_float * len(samples)).from_buffer(samples)
    lib.ebur128_add_frames_float(state, buffer, len(samples) // 2)
    lufs, value = ctypes.c_double(), ctypes.c_double()
    lib.ebur128_loudness_global(state, ctypes.byref(lufs))
    peaks = []
    for getter in (lib.ebur128_sample_peak, lib.ebur128_true_peak):
        getter(state, 0, ctypes.byref(value))
        peak = value.value
        getter(state, 1, ctypes.byref(value))
        peaks.append(20 * math.log10(max(peak, value.value, 1e-10)))
    handle = ctypes.c_void_p(state)
    lib.ebur128_destroy(ctypes.byref(handle))
    held = sum(1 for x in samples if abs(x) > CEILING * 0.99885) / len(samples)
    return lufs.value, peaks[0], peaks[1], held


def record(binary, game_dir, work):
    game = program.Game(binary, game_dir, work)
    try:
        if not game.find_window(20):
            raise SystemExit("no window")
        time.sleep(SECONDS + 1.0)
        menu_end = os.path.getsize(game.audio) // 8
        side = game_memory.Side(game.audio)
        tracker = game_memory.Tracker(game_dir)
        keyboard = game_memory.Keyboard()
        player = game_memory.Player(keyboard, tracker, side, deliberate_hits=0)
        game.keys("Down", "Down", "Down", "Return")  # Hard
        duel_start = os.path.getsize(game.audio) // 8
        while side.end() < duel_start + (SECONDS + 1) * RATE and game.process.poll() is None:
            player.hear()
            time.sleep(0.004)
        keyboard.close()
        side.close()
    finally:
        game.stop()
    with open(game.audio, "rb") as output:
        data = array.array("f", output.read())
    menu = data[2 * (menu_end - SECONDS * RATE):2 * menu_end]
    duel = data[2 * duel_start:2 * (duel_start + SECONDS * RATE)]
    return menu, duel, player.swings


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="zk-mix-levels-")
    try:
        menu, duel, swings = record(os.path.join(args.build, "zankoruc"),
                                    os.path.join(args.build, "game"), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for name, part in (("menu", menu), ("duel (%d swings)" % swings, duel)):
        lufs, peak, true_peak, held = measure(part)
        print("%-18s %6.1f LUFS, sample peak %6.2f dBFS, true peak %6.2f dBTP, "
              "%.3f %% of samples at the ceiling" % (name, lufs, peak, true_peak, 100 * held))
    return 0


if __name__ == "__main__":
    sys.exit(main())
