#!/usr/bin/env python3
"""The game window's benchmarks (run under xvfb-run by app_bench.sh).

start-up: from exec to the title's first sample in the mixer's output, as SDL's
          disk driver writes it; median of 10 runs after one warm-up run.
idle:     CPU time of the process over 10 s of the menu with its music
          playing, as a share of one core; median of 3 runs, with the disk
          driver and with the dummy driver.
ticks:    the period between timer ticks of the real window over 30 s.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import real_program as program  # noqa: E402
from real_program import OutputReader  # noqa: E402


def startup_ms(binary, game_dir, work):
    audio = os.path.join(work, "startup.raw")
    if os.path.exists(audio):
        os.remove(audio)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
               SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio, NO_AT_BRIDGE="1")
    start = time.monotonic()
    process = subprocess.Popen([binary], cwd=game_dir, env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    output = OutputReader(audio)
    found = None
    try:
        deadline = start + 10
        while found is None and time.monotonic() < deadline:
            if any(abs(value) > 0.001 for value in output.read()):
                found = time.monotonic()
            else:
                time.sleep(0.001)
    finally:
        output.close()
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return None if found is None else (found - start) * 1000


def idle_percent(binary, game_dir, work, driver, seconds=10):
    env = {"SDL_AUDIODRIVER": driver, "SDL_DISKAUDIOFILE": os.path.join(work, "idle.raw")}
    game = program.Game(binary, game_dir, work, env)
    try:
        if not game.find_window():
            return None
        time.sleep(1.5)  # start-up over, the music looping

        def cpu_ticks():
            with open("/proc/%d/stat" % game.process.pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return int(fields[11]) + int(fields[12])  # utime + stime
        before = cpu_ticks()
        time.sleep(seconds)
        used = (cpu_ticks() - before) / os.sysconf("SC_CLK_TCK")
        return 100.0 * used / seconds
    finally:
        game.stop()


def ticks(build, game_dir, work, seconds=30):
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"),
               SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=os.path.join(work, "ticks.raw"))
    probe = os.path.join(build, "bench", "app", "app_tick_probe")
    result = subprocess.run([probe, str(seconds)], cwd=game_dir, env=env, capture_output=True,
                            text=True, timeout=seconds + 60)
    return result.stdout.strip() or result.stderr.strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--idle-runs", type=int, default=3)
    parser.add_argument("--skip", nargs="*", default=[], choices=["startup", "idle", "ticks"])
    args = parser.parse_args()
    binary = os.path.join(args.build, "zankoruc")
    work = tempfile.mkdtemp(prefix="zk-bench-")
    try:
        game_dir = program.make_game_dir(work)
        if "startup" not in args.skip:
            startup_ms(binary, game_dir, work)  # warm-up: caches, font configuration
            runs = [startup_ms(binary, game_dir, work) for _ in range(args.runs)]
            measured = [r for r in runs if r is not None]
            print("start-up to the title's first sample: median %.0f ms (min %.0f, max %.0f, "
                  "%d runs; target < 300 ms)" % (statistics.median(measured), min(measured),
                                                 max(measured), len(measured)))
        if "idle" not in args.skip:
            # The disk driver's file writes cost more than a sound card's
            # buffer would; the dummy driver shows the game's own share.
            for driver, what in (("disk", "disk driver writing the output"),
                                 ("dummy", "dummy driver, mixing only")):
                shares = [idle_percent(binary, game_dir, work, driver)
                          for _ in range(args.idle_runs)]
                shares = [s for s in shares if s is not None]
                print("idle menu with music, 10 s, %s: median %.2f%% of one core (runs: %s; "
                      "target < 3%%)" % (what, statistics.median(shares),
                                         ", ".join("%.2f" % s for s in shares)))
        if "ticks" not in args.skip:
            print("timer ticks over 30 s:", ticks(args.build, game_dir, work),
                  "(target: median 100 ms, no drift)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
