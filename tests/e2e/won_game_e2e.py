#!/usr/bin/env python3
"""A test player wins an Easy game by ear, then sends its score.

The real program runs from the generated game directory on an X display (run
this under xvfb-run), with SDL's disk driver writing the mixed output to a file
and a ranking server of this script's own on 127.0.0.1. The player has only
what a player has: it reads the output as the driver writes it, hears each
sword swing come in, tells left from right by the two channels' energy (and
high from low by the swing's whistle), presses the answer key, and strikes
when it hears the chance. Then it fills the score dialog from the keyboard and
reads the answer. Nothing looks into the program's state.

With --accessibility (under a session bus: dbus-run-session) the dialog's
controls and the answer are also read through AT-SPI, as a screen reader
reads them.

Every wait has a deadline, so a broken build fails instead of hanging.
"""
import argparse
import array
import http.server
import math
import operator
import os
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_audio import RATE, OutputReader, energy, tone_level  # noqa: E402
from zankoruc_e2e import (DIALOG_TITLE, WINDOW_TITLE, Game, check, count_colours,  # noqa: E402
                          focus, press, run, run_scenario, screenshot, visible_window,
                          wait_for)

BLOCK = 480  # 10 ms of frames: the unit the listener measures in
POLL = 0.02  # how often the output file is read

# The score dialog and the answer.
PLAYER_NAME = "Blind Samurai"
AREA = "Japan"
AREA_INDEX = 84  # "Japan" in the dialog's list; "Secret" is entry 0
ANSWER_PAGE = ("<html><body>\r\n<!-- DATA_START -->\r\n  You are No.3<P>Thank you  \r\n"
               "\r\n<!-- DATA_END -->\r\n</body></html>\r\n")
ANSWER_TEXT = "You are No.3\nThank you"

# The sword swing: a whistle at about 900 Hz in the clip, played at 24200 Hz
# (high) or 13200 Hz (low) from a 22050 Hz file, so it sounds near 990..1070 Hz
# high and 540..590 Hz low; the clip lasts 0.42 s at its own rate.
HIGH_WHISTLE = (990.0, 1015.0, 1040.0, 1065.0)
LOW_WHISTLE = (540.0, 555.0, 570.0, 585.0)
SWING_SECONDS = {"high": 0.42 * 22050 / 24200, "low": 0.42 * 22050 / 13200}
# The chance: a run of bells that opens on D6.
CHANCE_HZ = 1174.7
KEYS = {("left", "high"): "7", ("right", "high"): "9",
        ("left", "low"): "1", ("right", "low"): "3"}

EASY_ENEMIES = 5
# The player lets this swing through, so the score sent is not just zero.
SKIP_SWING = 2
GAME_SECONDS = 180  # the whole game, however slow the machine (about 50 s)


class RankingServer:
    """The ranking server: answers every request with the same page and keeps
    each request's line and headers."""

    def __init__(self):
        self.requests = []
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                owner.requests.append((self.requestline, dict(self.headers)))
                body = ANSWER_PAGE.encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.host = "127.0.0.1:%d" % self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Ear:
    """The program's output as the disk driver writes it: both channels, and
    per 10 ms block the energy of the left, the right and the side (left minus
    right) signal. A centred sound is the same in both channels, so the side
    signal holds only what is panned: the swings and the parries' clangs."""

    def __init__(self, path):
        self.output = OutputReader(path)
        self.left = array.array("f")
        self.right = array.array("f")
        self.block_left = []
        self.block_right = []
        self.block_side = []

    def frames(self):
        return len(self.left)

    def poll(self):
        samples = self.output.read()
        self.left.extend(samples[0::2])
        self.right.extend(samples[1::2])
        while (len(self.block_side) + 1) * BLOCK <= len(self.left):
            start = len(self.block_side) * BLOCK
            left = self.left[start:start + BLOCK]
            right = self.right[start:start + BLOCK]
            side = list(map(operator.sub, left, right))
            self.block_left.append(energy(left))
            self.block_right.append(energy(right))
            self.block_side.append(energy(side))

    def wait_frames(self, frames, timeout):
        """Reads until `frames` frames have been written; False on time-out."""
        deadline = time.monotonic() + timeout
        while self.frames() < frames:
            if time.monotonic() > deadline:
                return False
            time.sleep(POLL)
            self.poll()
        return True

    def side(self, start, end):
        return list(map(operator.sub, self.left[start:end], self.right[start:end]))

    def close(self):
        self.output.close()


class Player:
    """Plays by ear: a swing's onset, its side and its height give the answer
    key; the chance sound after a parry gives the strike."""

    def __init__(self, game, ear):
        self.game = game
        self.ear = ear
        self.loudest = 0.0  # the loudest block heard so far, either channel
        self.scanned = 0  # blocks looked at for onsets
        self.quiet_until = 0  # no onset is looked for before this frame
        self.kills = 0
        self.swings = []  # (side, height, seconds from onset to the answer)
        self.hits = 0  # attacks whose parry was not heard
        self.clangs_elsewhere = 0  # parries heard away from the attack's side

    def threshold(self):
        # A panned sound is there when the side signal carries more than
        # 40 dB below the loudest sound so far; the side signal is exactly
        # zero while everything is centred.
        return max(self.loudest * 1e-4, 1e-8)

    def seconds(self, frames):
        return frames / RATE

    def next_onset(self):
        """The first frame of a new swing, or None if none began yet."""
        ear = self.ear
        while self.scanned < len(ear.block_side):
            b = self.scanned
            self.scanned += 1
            self.loudest = max(self.loudest, ear.block_left[b], ear.block_right[b])
            if b * BLOCK < self.quiet_until or b < 5:
                continue
            level = ear.block_side[b]
            before = max(ear.block_side[b - 5:b - 2])
            # A new sound rises: a clang's ringing only decays.
            if level > self.threshold() and level > 4.0 * before:
                start = max(0, b - 1) * BLOCK
                if not ear.wait_frames(start + int(0.07 * RATE), 5):
                    self.scanned = b  # looked at again once more is written
                    return None
                if self.is_swing(start):
                    return start
                # A clang or anything else panned: look again a little later.
                self.quiet_until = b * BLOCK + int(0.05 * RATE)
        return None

    def is_swing(self, start):
        """A swing whistles; a clang rings at other pitches."""
        side = self.ear.side(start, start + int(0.06 * RATE))
        whistle = max(tone_level(side, hz) for hz in HIGH_WHISTLE + LOW_WHISTLE)
        return whistle > 0.4 * math.sqrt(2.0 * energy(side))

    def judge(self, start):
        """Side and height of the swing beginning at frame `start`."""
        ear = self.ear
        span = int(0.06 * RATE)
        before = max(0, start - span)
        # Energy that came with the swing in each channel; whatever is centred
        # adds the same to both.
        gained_left = energy(ear.left[start:start + span]) - energy(ear.left[before:start])
        gained_right = energy(ear.right[start:start + span]) - energy(ear.right[before:start])
        side = "left" if gained_left > gained_right else "right"
        swing = ear.side(start, start + span)
        high = max(tone_level(swing, hz) for hz in HIGH_WHISTLE)
        low = max(tone_level(swing, hz) for hz in LOW_WHISTLE)
        return side, "high" if high > low else "low"

    def heard_chance(self, side, since, timeout=1.0):
        """Whether the chance rings, centred, within `timeout` seconds of frame
        `since`. The channel away from the attack carries only what is centred
        (the swing and the clang are fully on the attack's side)."""
        ear = self.ear
        centre = ear.right if side == "left" else ear.left
        window = int(0.04 * RATE)
        hop = int(0.01 * RATE)
        at = max(0, since - int(0.05 * RATE))
        end = since + int(timeout * RATE)
        while at < end:
            if not ear.wait_frames(at + window, 5):
                return False
            part = centre[at:at + window]
            level = energy(part)
            if level > self.threshold():
                tone = tone_level(part, CHANCE_HZ)
                if tone > 0.6 * math.sqrt(2.0 * level):
                    return True
            at += hop
        return False

    def clang_side(self, swing_end, pressed):
        """The side a clang rings on once the swing is over, or None: the side
        signal is silent there unless a parry was made."""
        ear = self.ear
        start = max(swing_end, pressed)
        end = start + int(0.9 * RATE)
        if not ear.wait_frames(end, 5):
            return None
        for b in range(start // BLOCK + 1, end // BLOCK):
            if ear.block_side[b] > self.threshold():
                return "left" if ear.block_left[b] > ear.block_right[b] else "right"
        return None

    def answer(self, onset):
        """Answers the swing beginning at frame `onset`, strikes if the chance
        opens, and counts a hit if no parry is heard. The swing that
        SKIP_SWING numbers is let through on purpose: a hit taken."""
        side, height = self.judge(onset)
        number = len(self.swings) + 1
        pressed = self.ear.frames()
        skipped = number == SKIP_SWING
        if not skipped:
            press(KEYS[(side, height)])
        reaction = self.seconds(self.ear.frames() - onset)
        self.swings.append((side, height, reaction))
        print("  swing %d at %.2f s: %s %s, %s"
              % (number, self.seconds(onset), side, height,
                 "let through" if skipped else "answered %.0f ms after its onset"
                 % (1000 * reaction)), flush=True)
        struck = False
        if not skipped and self.heard_chance(side, pressed):
            press("space")
            self.kills += 1
            struck = True
            print("  chance heard: struck %.0f ms after the swing's onset (%d struck down)"
                  % (1000 * self.seconds(self.ear.frames() - onset), self.kills), flush=True)
        swing_end = onset + int((SWING_SECONDS[height] + 0.03) * RATE)
        clang = self.clang_side(swing_end, pressed)
        if clang is None:
            self.hits += 1
            print("  no parry heard: a hit taken (%d)" % self.hits, flush=True)
        elif clang != side:
            self.clangs_elsewhere += 1
        # The parry's clang is no new attack.
        self.quiet_until = max(self.ear.frames(), onset + int(1.0 * RATE))
        return struck

    def play(self, dialog_open, deadline):
        """Plays until the score dialog opens: answers every swing; after the
        last enemy falls, the strike key ends the won game (it works 3 s after
        the victory). The strike key is pressed again only when no dialog came
        of the last press, so no stray space reaches the dialog."""
        last_kill = None
        last_end_key = 0.0
        last_look = 0.0
        while time.monotonic() < deadline:
            if self.game.process.poll() is not None:
                print("the program ended during the game")
                return False
            self.ear.poll()
            onset = self.next_onset()
            if onset is not None:
                if self.answer(onset):
                    last_kill = time.monotonic()
                continue
            now = time.monotonic()
            if self.kills >= EASY_ENEMIES and now - last_kill > 3.3 and now - last_look > 0.3:
                last_look = now
                if dialog_open():
                    return True
                if now - last_end_key > 2.5:
                    last_end_key = now
                    press("space")
            time.sleep(POLL)
        print("no victory in time: %.1f s of sound were written" % self.seconds(self.ear.frames()))
        return False


class Accessibility:
    """The desktop's accessibility tree, read through AT-SPI."""

    def __init__(self):
        import pyatspi
        self.pyatspi = pyatspi

    def application(self, name="zankoruc"):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        return None

    def find_all(self, root, predicate):
        found = []

        def walk(accessible, depth):
            if accessible is None or depth > 25:
                return
            if predicate(accessible):
                found.append(accessible)
            for i in range(accessible.childCount):
                walk(accessible.getChildAtIndex(i), depth + 1)
        walk(root, 0)
        return found

    def find(self, root, predicate):
        found = self.find_all(root, predicate)
        return found[0] if found else None

    def window(self, title):
        return self.find(self.application(), lambda a: a.getRoleName() in ("dialog", "alert", "frame")
                         and a.name == title)

    def labelled_by(self, accessible):
        names = []
        for relation in accessible.getRelationSet():
            if relation.getRelationType() == self.pyatspi.RELATION_LABELLED_BY:
                for i in range(relation.getNTargets()):
                    names.append(relation.getTarget(i).name)
        return names

    def focused(self, accessible):
        return accessible.getState().contains(self.pyatspi.STATE_FOCUSED)

    def texts(self, root):
        return [label.name for label in self.find_all(root, lambda a: a.getRoleName() == "label")]


def check_dialog_accessibility(a11y):
    """The controls carry their labels' names, so a screen reader says
    "Your Name, edit" and "Aria, combo box"; the name box has the focus and
    "Secret" is chosen (nothing was stored yet). Called once the dialog's
    window has the keyboard focus."""
    dialog = wait_for(lambda: a11y.window(DIALOG_TITLE), 10, step=0.3)
    if not check(dialog is not None, "the score dialog is in the accessibility tree"):
        return
    entry = a11y.find(dialog, lambda a: a.getRoleName() == "text")
    combo = a11y.find(dialog, lambda a: a.getRoleName() == "combo box")
    if check(entry is not None, "the dialog has an edit box"):
        check(entry.name == "Your Name", 'the edit box is named "Your Name" (%r)' % entry.name)
        check("Your Name" in a11y.labelled_by(entry), 'the label "Your Name" labels the edit box')
        check(wait_for(lambda: a11y.focused(entry), 5, step=0.2),
              "the edit box has the focus when the dialog opens")
    if check(combo is not None, "the dialog has a combo box"):
        check(combo.name == "Aria", 'the combo box is named "Aria" (%r)' % combo.name)
        check("Aria" in a11y.labelled_by(combo), 'the label "Aria" labels the combo box')
        check(selected_area(a11y) == "Secret", '"Secret" is chosen (%r)' % selected_area(a11y))
    buttons = [b.name for b in a11y.find_all(dialog, lambda a: a.getRoleName() == "push button")]
    check("Send" in buttons and "Close" in buttons, "the buttons Send and Close: %r" % buttons)


def selected_area(a11y):
    """The entry the area list shows, as a screen reader reads it."""
    dialog = a11y.window(DIALOG_TITLE)
    combo = dialog and a11y.find(dialog, lambda a: a.getRoleName() == "combo box")
    if not combo:
        return None
    selection = combo.querySelection()
    return selection.getSelectedChild(0).name if selection.nSelectedChildren > 0 else ""


def fill_dialog(dialog, a11y):
    """Types the name, chooses the area from the keyboard and sends: Tab to
    the list, Down to move down it, Shift+Tab back to the name box, Enter."""
    focus(dialog)
    if a11y is not None:
        check_dialog_accessibility(a11y)
    press("ctrl+a")  # whatever the box holds is replaced
    run(["xdotool", "type", "--delay", "60", PLAYER_NAME])
    press("Tab")
    run(["xdotool", "key", "--delay", "25"] + ["Down"] * AREA_INDEX, timeout=60)
    if a11y is not None:
        area = wait_for(lambda: selected_area(a11y) == AREA and AREA, 5, step=0.3)
        check(area == AREA, "the list shows %s before sending (%r)" % (AREA, selected_area(a11y)))
    press("shift+Tab")
    press("Return")


def menu_cursor(window):
    """The menu item drawn in yellow, or None (the items are 80 pixels apart)."""
    shot = screenshot(window)
    yellow = [count_colours(shot, 0, 10 + 80 * i, 360, 76 + 80 * i)[0] for i in range(7)]
    lit = [i for i, count in enumerate(yellow) if count > 150]
    return lit[0] if len(lit) == 1 else None


def scenario(args, work):
    if not check(os.path.isfile(os.path.join(args.game_dir, "sound", "huri.snz")),
                 "the asset pack exists in %s" % args.game_dir):
        return
    a11y = None
    if args.accessibility:
        try:
            a11y = Accessibility()
        except ImportError as error:
            check(False, "AT-SPI bindings for Python (python3-pyatspi): %s" % error)
            return
    server = RankingServer()
    game = Game(args.binary, args.game_dir, work, {"ZANKORUC_RANKING_HOST": server.host},
                accessibility=a11y is not None)
    ear = Ear(game.audio)
    try:
        if not check(game.find_window(30), "the game window appears"):
            return
        focus(game.window)
        # The menu: Down to "Easy", Enter.
        # Once the title is heard the menu takes keys.
        ear.wait_frames(int(0.5 * RATE), 20)
        press("Down")
        time.sleep(0.4)
        press("Return")

        player = Player(game, ear)
        started = time.monotonic()
        dialog = None

        def dialog_open():
            nonlocal dialog
            dialog = visible_window(DIALOG_TITLE)
            return dialog

        won = player.play(dialog_open, started + GAME_SECONDS)
        print("game: %d swings, %d struck down, %d hits, %.0f s"
              % (len(player.swings), player.kills, player.hits, time.monotonic() - started))
        if not check(won, "the player won the Easy game by ear and the score dialog opened"):
            return
        check(all(height == "high" for _, height, _ in player.swings),
              "every Easy enemy attacked high")
        check({side for side, _, _ in player.swings} == {"left", "right"},
              "attacks came from both sides")
        check(player.clangs_elsewhere == 0, "every parry's clang came from the attack's side")
        check(player.hits >= 1, "the swing let through was a hit (%d hits)" % player.hits)

        fill_dialog(dialog, a11y)

        check(wait_for(lambda: server.requests, 40, step=0.2), "the score reached the server")
        if server.requests:
            line, headers = server.requests[0]
            expected = ("GET /game/zankoru/GameSet.asp?aria=%s&name=%s&mode=0&level=1&score=%d "
                        "HTTP/1.0" % (AREA, PLAYER_NAME.replace(" ", "%20"), player.hits))
            check(line == expected, "the request is %r (got %r)" % (expected, line))
            check(headers.get("User-Agent", "").strip() == "KelConnect",
                  "the request came from the game's fetcher")
        check(len(server.requests) == 1, "one request only (%d)" % len(server.requests))

        box = wait_for(lambda: visible_window("zankoruc"), 20, step=0.2)
        if check(box is not None, 'the answer is shown in a message box titled "zankoruc"'):
            if a11y is not None:
                shown = wait_for(lambda: a11y.texts(a11y.window("zankoruc")), 10, step=0.3) or []
                check(any(ANSWER_TEXT in text for text in shown),
                      "the message box says %r (its labels: %r)" % (ANSWER_TEXT, shown))
            focus(box)
            press("Return")
            check(wait_for(lambda: visible_window("zankoruc") is None, 10, step=0.2),
                  "Enter closes the message box")

        # Back in a fresh menu: its cursor (the yellow item) on "Tutorial".
        check(game.process.poll() is None and visible_window(WINDOW_TITLE),
              "the game window is still there")
        check(wait_for(lambda: menu_cursor(game.window) == 0, 10, step=0.3),
              'a fresh menu is back, its cursor on "Tutorial" (at %s)'
              % menu_cursor(game.window))
        focus(game.window)
        press(*(["Down"] * 6))
        press("Return")
        code = game.wait_exit(15)
        check(code == 0, "End ends the program with status 0 (got %s)" % code)
        text = ""
        if os.path.isfile(game.settings_file()):
            with open(game.settings_file(), encoding="utf-8", errors="replace") as f:
                text = f.read()
        check("name=%s" % PLAYER_NAME in text and "aria=%s" % AREA in text,
              "the name and the area reached the settings file at exit: %r" % text)
    finally:
        err = game.stop()
        ear.close()
        server.close()
        if not check("Segmentation" not in err and "Sanitizer" not in err, "no crash report"):
            print("the program's error output, its end:\n" + err[-6000:])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--game-dir", required=True, help="the generated asset pack")
    parser.add_argument("--accessibility", action="store_true",
                        help="also read the dialog and the answer through AT-SPI")
    return run_scenario(scenario, parser.parse_args(), "won")


if __name__ == "__main__":
    sys.exit(main())
