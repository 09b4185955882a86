#!/usr/bin/env python3
"""End-to-end check of a duel with the real program and the real asset pack,
on an X display (run under xvfb-run) with SDL's disk driver as sound card.

"Easy" is chosen from the menu; the mixer's output must then carry the
footsteps centred (the same in both channels) and growing louder, then the
first attack's sword swing at the high rate in one channel only; Esc must
bring the menu back with its title voice over its music.

Every sound is found in the output by its clip: the clip is played through the
same resampling the mixer uses, and the output must equal it up to one gain
per mixer period (the game changes volumes between periods). A clip starts on
a period's first frame, so only those frames are tried as starts; its first
period may still carry the buffer's previous rate (the mixer can render
between the start and the rate setting), so that variant is tried too.

The driver writes in real time on a possibly busy machine, so every wait polls
the file up to a generous deadline, and positions in the output (not the wall
clock) measure the game's time.
"""
import argparse
import math
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zankoruc_e2e as e2e  # noqa: E402
from e2e_audio import (HIGH_HZ, LOW_HZ, PERIOD, RATE, dot, fit_one, read_clip,  # noqa: E402
                       resample)

# A fit explains a stretch of output when what it leaves over is below this
# share of the stretch's energy. The mixer reproduces the clip to float
# rounding (about 1e-12 of the energy), so this leaves room for a small change
# of interpolation while no other sound comes near it.
FIT_RESIDUAL = 0.02
# "Only in one channel": the quiet channel's energy below this share of the
# loud one's (-40 dB; a full pan of 10000 hundredths of a decibel is -100 dB).
OTHER_CHANNEL = 1e-4


def loud_window(template, length, within):
    """Offset of the `length`-frame stretch of `template[:within]` with the
    most energy (searched in steps of a period)."""
    best, best_energy = 0, -1.0
    for offset in range(0, max(1, min(within, len(template)) - length), PERIOD):
        energy = dot(template[offset:offset + length], template[offset:offset + length])
        if energy > best_energy:
            best, best_energy = offset, energy
    return best


def find_start(channel, template, lo, hi, offset, length, first=False):
    """The period start f in [lo, hi) where channel[f + offset:][:length]
    is best explained by the template's same stretch: (f, gain, residual).
    With `first` the earliest start that fits is taken instead of the best."""
    piece = template[offset:offset + length]
    best = (None, 0.0, 1.0)
    f = (lo + PERIOD - 1) // PERIOD * PERIOD
    while f < hi and f + offset + length <= len(channel):
        gain, residual = fit_one(channel[f + offset:f + offset + length], piece)
        if residual < best[2]:
            best = (f, gain, residual)
        if first and residual < FIT_RESIDUAL:
            break
        f += PERIOD
    return best


def period_gains(channel, template, start, frames, min_energy):
    """Per mixer period from `start`: (frame, gain, residual) for each period
    of the next `frames` in which the template has at least `min_energy`."""
    result = []
    for k in range(0, frames, PERIOD):
        piece = template[k:k + PERIOD]
        if len(piece) < PERIOD or dot(piece, piece) < min_energy:
            continue
        gain, residual = fit_one(channel[start + k:start + k + PERIOD], piece)
        result.append((k, gain, residual))
    return result


def output_frames(game):
    """Frames the driver has written so far (from the file's size alone)."""
    try:
        return os.path.getsize(game.audio) // 8
    except OSError:
        return 0


def wait_output(game, frames, timeout):
    """Polls the driver's file until it holds `frames` frames; False when the
    deadline passes first or the program ends."""
    e2e.wait_for(lambda: output_frames(game) >= frames or game.process.poll() is not None,
                 timeout, step=0.2)
    return output_frames(game) >= frames


def seconds(frames):
    return frames / RATE


class Clips:
    """The clips the check listens for, rendered as the mixer plays them."""

    def __init__(self, game_dir):
        sound = os.path.join(game_dir, "sound")
        # Templates by (rate, rate of the first period); a new buffer plays
        # at the clip's own rate until its rate is set.
        footsteps, rate = read_clip(os.path.join(sound, "asiato.snz"))
        # The footsteps of the first enemy play at the clip's own rate, except
        # that the process's very first frequency setting (this one) uses the
        # clip's rate × 1.1: both are accepted.
        first = int(rate * 1.1)
        self.footsteps = {(r, f): resample(footsteps, r, int(2.2 * RATE), first_rate=f)
                          for r, f in ((rate, rate), (first, first), (first, rate))}
        swing, _ = read_clip(os.path.join(sound, "huri.snz"))
        # The high and low rates, and for a clearer failure the rates a
        # swing placed without the 1.1 scaling or not at all would have.
        self.swing = {(r, f): resample(swing, r, int(0.6 * RATE), first_rate=f)
                      for r in (HIGH_HZ, LOW_HZ, 22000, 12000, rate) for f in (r, rate)}
        title, rate = read_clip(os.path.join(sound, "menu", "Title.snz"))
        self.title = resample(title, rate, int(len(title) * RATE / rate) + PERIOD)
        music, rate = read_clip(os.path.join(sound, "opning.snz"))
        self.music_samples, self.music_rate = music, rate
        self.music = resample(music, rate, 8 * RATE, looping=True)


def find_footsteps(left, right, clips, lo, hi):
    """The first enemy's footsteps in [lo, hi): (start, rate, gains) where
    gains are (frame, left gain, right gain, worst residual) per period of the
    first 1.5 s, or None. The 1024 frames fitted in the search lie around
    0.6 s, where the volume steps only 1 dB per tick."""
    mono = [a + b for a, b in zip(left, right)]
    best = None
    for key, template in clips.footsteps.items():
        offset = loud_window(template[int(0.3 * RATE):], 1024, int(0.6 * RATE)) + int(0.3 * RATE)
        start, _, residual = find_start(mono, template, lo, hi, offset, 1024)
        if start is not None and (best is None or residual < best[2]):
            best = (start, key, residual)
    if best is None or best[2] >= FIT_RESIDUAL:
        return None
    start, key, _ = best
    rate = key[0]
    template = clips.footsteps[key]
    loudest = max(dot(template[k:k + PERIOD], template[k:k + PERIOD])
                  for k in range(0, len(template), PERIOD))
    span = int(1.5 * RATE)
    gains = []
    for (k, gl, rl), (_, gr, rr) in zip(period_gains(left, template, start, span, 0.01 * loudest),
                                        period_gains(right, template, start, span, 0.01 * loudest)):
        gains.append((k, gl, gr, max(rl, rr)))
    return start, rate, gains


def find_swing(left, right, clips, lo, hi):
    """The first sword swing in [lo, hi) at any of the swing's rates:
    (start, rate, left energy, right energy, residual of the louder channel)
    or None."""
    mono = [a + b for a, b in zip(left, right)]
    found = None
    for key, template in clips.swing.items():
        offset = loud_window(template, 1024, len(template))
        start, _, residual = find_start(mono, template, lo, hi, offset, 1024, first=True)
        if residual < FIT_RESIDUAL and (found is None or start < found[0]):
            found = (start, key)
    if found is None:
        return None
    start, key = found
    rate = key[0]
    template = clips.swing[key]
    length = next((k for k in range(len(template) - 1, -1, -1) if template[k] != 0.0), 0) + 1
    sides = []
    for channel in (left, right):
        y = channel[start:start + length]
        _, residual = fit_one(y, template[:length])
        sides.append((dot(y, y), residual))
    loud = max(sides)
    return start, rate, sides[0][0], sides[1][0], loud[1]


def find_menu_start(left, right, clips, lo, hi, music_alone):
    """The menu's title and music starting in [lo, hi): the music is found at
    `music_alone` (a point after the title's end), the title in what is left
    after taking the music away. Returns (title start, title gain, title
    residual, music start, music gain, largest left-right difference) or
    None when the music is not there."""
    length = 2048
    y = left[music_alone:music_alone + length]
    best = (None, 0.0, 1.0)
    f = (lo + PERIOD - 1) // PERIOD * PERIOD
    while f < hi:
        at = music_alone - f
        if at + length > len(clips.music):
            f += PERIOD
            continue
        gain, residual = fit_one(y, clips.music[at:at + length])
        if residual < best[2]:
            best = (f, gain, residual)
        f += PERIOD
    music_start, music_gain, residual = best
    if music_start is None or residual >= FIT_RESIDUAL:
        return None
    title = clips.title
    # What the title must explain: the output less the music.
    begin = max(lo, music_start - 40 * PERIOD)
    end = music_start + len(title)
    rest = list(left[begin:end])
    for i in range(max(0, music_start - begin), len(rest)):
        rest[i] -= music_gain * clips.music[i + begin - music_start]
    offset = loud_window(title, 2048, RATE)
    start, _, _ = find_start(rest, title, 0, music_start - begin + PERIOD, offset, 2048)
    # From the menu's first sound on (before it, the game may still sound).
    first = music_start if start is None else min(music_start, begin + start)
    difference = max(abs(a - b) for a, b in zip(left[first:end], right[first:end]))
    if start is None:
        return None, 0.0, 1.0, music_start, music_gain, difference
    gain, residual = fit_one(rest[start:start + len(title)], title[:len(rest) - start])
    return begin + start, gain, residual, music_start, music_gain, difference


def decibels(gain):
    return "%.1f dB" % (20 * math.log10(gain)) if gain > 0 else "silence"


def scenario_duel(args, work):
    check = e2e.check
    if not check(os.path.isfile(os.path.join(args.game_dir, "sound", "asiato.snz")),
                 "the asset pack exists in %s (build the zankoruc_asset_pack target)"
                 % args.game_dir):
        return
    clips = Clips(args.game_dir)
    game = e2e.Game(args.binary, args.game_dir, work)
    try:
        if not check(game.find_window(), "the game window appears"):
            return
        if not check(wait_output(game, int(1.0 * RATE), 20), "the menu's output reaches the disk driver"):
            return

        # Down moves from "Tutorial" to "Easy"; Enter chooses it. Whatever the
        # driver writes from `enter` on was mixed after the choice.
        game.keys("Down")
        time.sleep(0.3)
        enter = output_frames(game)
        game.keys("Return")

        # The footsteps start on the tick after the choice; 4 s of output
        # leave room for a slow key and a late tick.
        if not check(wait_output(game, enter + int(6.0 * RATE), 40),
                     "6 s of output follow the choice of Easy"):
            return
        left, right = game.frames()
        found = find_footsteps(left, right, clips, enter, enter + 4 * RATE)
        if not check(found is not None, "the first enemy's footsteps are heard after Enter"):
            return
        steps, rate, gains = found
        print("   footsteps at %.2f s after Enter, played at %d Hz" % (seconds(steps - enter), rate))
        check(all(residual < FIT_RESIDUAL for _, _, _, residual in gains),
              "the output is the footsteps clip alone for 1.5 s (%d periods checked)" % len(gains))
        check(all(abs(gl - gr) <= 1e-3 * max(gl, gr) for _, gl, gr, _ in gains),
              "the footsteps are centred: the same gain in both channels in every period")
        check(all(gl > 0.25 for _, gl, _, _ in gains),
              "the footsteps are audible throughout (quietest %s)"
              % decibels(min(gl for _, gl, _, _ in gains)))
        early = [gl for k, gl, _, _ in gains if 0.2 * RATE <= k < 0.6 * RATE]
        late = [gl for k, gl, _, _ in gains if k >= 1.2 * RATE]
        check(early and late and max(early) <= 0.8 * min(late),
              "the footsteps grow louder as the enemy comes (%s at 0.2-0.6 s, %s after 1.2 s)"
              % (decibels(max(early or [0])), decibels(min(late or [0]))))

        # The first attack: 2 s of approach, 1 s of battle cry, 1 s of pause.
        # Enemies 1 to 5 attack only high, so the swing plays at 24200 Hz.
        if not check(wait_output(game, steps + int(7.6 * RATE), 40),
                     "7.6 s of output follow the footsteps' start"):
            return
        left, right = game.frames()
        swing = find_swing(left, right, clips, steps + int(2.5 * RATE), steps + 7 * RATE)
        if not check(swing is not None, "a sword swing is heard after the footsteps and the cry"):
            return
        start, rate, left_energy, right_energy, residual = swing
        print("   swing at %.2f s after the footsteps' start" % seconds(start - steps))
        check(rate == HIGH_HZ, "the first enemy's swing is high: played at %d Hz (want %d)"
              % (rate, HIGH_HZ))
        check(residual < FIT_RESIDUAL, "the swing's channel carries the swing clip alone")
        loud, quiet = max(left_energy, right_energy), min(left_energy, right_energy)
        side = "left" if left_energy > right_energy else "right"
        check(loud > 0 and quiet <= OTHER_CHANNEL * loud,
              "the swing is only in the %s channel (the other: %s)"
              % (side, "%s below it" % decibels(loud / quiet) if quiet > 0 else "silent"))

        # Esc: the game scene goes, its sounds stop, and a new menu speaks its
        # title over its music. The music is found where it plays alone (the
        # 2.9 s title over), the title in what is left.
        esc = output_frames(game)
        game.keys("Escape")
        if not check(wait_output(game, esc + int(5.2 * RATE), 40), "5 s of output follow Esc"):
            return
        check(game.process.poll() is None and game.window_present(),
              "Esc leaves the game for the menu, the window stays")
        left, right = game.frames()
        menu = find_menu_start(left, right, clips, esc, esc + 2 * RATE, esc + 5 * RATE)
        if not check(menu is not None, "the menu's music plays again within 2 s of Esc"):
            return
        title_start, title_gain, title_residual, music_start, music_gain, difference = menu
        print("   menu music at %.2f s after Esc (%s), title at %.2f s"
              % (seconds(music_start - esc), decibels(music_gain),
                 seconds((title_start or 0) - esc)))
        check(title_start is not None and title_residual < FIT_RESIDUAL,
              "the menu's title voice is heard again, over the music")
        check(title_gain > 0.5, "the title voice is at full volume (%s)" % decibels(title_gain))
        check(difference < 1e-6, "the menu's sounds are centred")

        # The menu works on: "End" (six items down) ends the program.
        game.keys(*(["Down"] * 6), "Return")
        code = game.wait_exit(15)
        check(code == 0, "End ends the program with status 0 after the duel (got %s)" % code)
    finally:
        err = game.stop()
        check("Segmentation" not in err and "AddressSanitizer" not in err, "no crash report")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--game-dir", required=True, help="the generated asset pack")
    return e2e.run_scenario(scenario_duel, parser.parse_args(), "duel")


if __name__ == "__main__":
    sys.exit(main())
