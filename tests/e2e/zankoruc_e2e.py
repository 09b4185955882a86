#!/usr/bin/env python3
"""End-to-end checks of the real game binary on an X display (run under
xvfb-run): the window, the sound that reaches SDL's disk driver, the menu's
colours on screen, keys sent with xdotool, and the ways the program ends.

Each scenario starts the binary in a game directory of its own with a private
settings folder, and every wait has a deadline, so a broken build fails
instead of hanging.
"""
import argparse
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

from e2e_audio import RATE, first_sound, tone_level

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

failures = []


def check(condition, message):
    print(("ok: " if condition else "FAILED: ") + message, flush=True)
    if not condition:
        failures.append(message)
    return condition


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


def press(*names):
    """Sends the keys, 40 ms apart, to the window that has the focus."""
    run(["xdotool", "key", "--delay", "40"] + list(names))


class Game:
    """The binary running in `game_dir` with its own settings, audio file and
    error output in `work`."""

    def __init__(self, binary, game_dir, work, extra_env=None, accessibility=False):
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
        if accessibility:
            del env["NO_AT_BRIDGE"]
        env.update(extra_env or {})
        # A file rather than a pipe: a long run's output cannot fill it and
        # stall the program.
        self.stderr_path = os.path.join(work, "stderr.txt")
        self.stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen([binary], cwd=game_dir, env=env,
                                        stdout=subprocess.DEVNULL, stderr=self.stderr)
        self.window = None

    def settings_file(self):
        return os.path.join(self.config, "velkor", "zankoruc.ini")

    def find_window(self, timeout=15):
        found = wait_for(lambda: "gone" if self.process.poll() is not None
                         else visible_window(WINDOW_TITLE), timeout)
        self.window = found if found and found != "gone" else None
        if self.window is None:
            print("the program's output:", self.stop())
        return self.window

    def window_present(self):
        return visible_window(WINDOW_TITLE) == self.window

    def keys(self, *names):
        """Focuses the window, then sends the keys one by one."""
        focus(self.window)
        for name in names:
            run(["xdotool", "key", name])
            # Each release reaches the window before the next press.
            time.sleep(0.15)

    def wait_exit(self, timeout=10):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        """Ends the program if it still runs; its error output."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)
        self.stderr.close()
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")

    def frames(self):
        """The stereo output so far as (left, right) lists."""
        try:
            with open(self.audio, "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return [], []
        count = len(data) // 8
        samples = struct.unpack("<%df" % (count * 2), data[:count * 8])
        return samples[0::2], samples[1::2]


def screenshot(window):
    """The window's pixels as (width, height, rgb bytes)."""
    result = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"],
                            capture_output=True, timeout=20)
    data = result.stdout
    # P6 header: magic, width, height, maximum, each separated by whitespace.
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        start = position
        while not data[position:position + 1].isspace():
            position += 1
        fields.append(data[start:position])
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position + 1:]


def menu_screenshot(window, cursor, timeout=10):
    """A screenshot once the menu shows its cursor on item `cursor` (the
    window paints a moment after a key or a scene switch)."""
    def painted():
        shot = screenshot(window)
        for i in range(7):
            y = 10 + 80 * i
            yellow, white, _ = count_colours(shot, 0, y, 360, y + 66)
            if (yellow if i == cursor else white) == 0:
                return None
        return shot
    return wait_for(painted, timeout, step=0.2) or screenshot(window)


def count_colours(shot, x0, y0, x1, y1):
    width, height, pixels = shot
    yellow = white = other = 0
    for y in range(y0, min(y1, height)):
        for x in range(x0, min(x1, width)):
            i = (y * width + x) * 3
            r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
            if r > 230 and g > 230 and b < 40:
                yellow += 1
            elif r > 230 and g > 230 and b > 230:
                white += 1
            elif r > 20 or g > 20 or b > 20:
                other += 1
    return yellow, white, other


def check_menu_colours(shot, cursor):
    width, height, _ = shot
    check((width, height) == (732, 570), "the client area is 732 x 570 (got %dx%d)" % (width, height))
    names = ["Tutorial", "Easy", "Normal", "Hard", "NetRecord", "Update", "End"]
    for i, name in enumerate(names):
        y = 10 + 80 * i
        yellow, white, _ = count_colours(shot, 0, y, 360, y + 66)
        if i == cursor:
            check(yellow > 150 and white == 0,
                  '"%s" is drawn in yellow (%d yellow, %d white pixels)' % (name, yellow, white))
        else:
            check(white > 150 and yellow == 0,
                  '"%s" is drawn in white (%d white, %d yellow pixels)' % (name, white, yellow))
    yellow, white, other = count_colours(shot, 400, 0, 732, 570)
    check(yellow + white + other == 0, "the rest of the window is black")


def scenario_menu(args, work):
    """The title and the looping music in both channels; the menu on screen;
    Down, Down, Enter starts a game; Esc comes back; End ends the program."""
    synthetic = args.game_dir is None
    if not synthetic and not os.path.isdir(os.path.join(args.game_dir, "sound")):
        check(False, "the asset pack exists in %s (build the zankoruc_asset_pack target)"
              % args.game_dir)
        return
    game_dir = make_game_dir(work) if synthetic else args.game_dir
    game = Game(args.binary, game_dir, work)
    try:
        if not check(game.find_window(), "the game window appears"):
            return
        # Two and a half seconds of output after the first sound.
        def enough_audio():
            left, _ = game.frames()
            start = first_sound(left)
            return start is not None and len(left) - start > int(2.6 * RATE)
        check(wait_for(enough_audio, 20), "the mixer's output reaches the disk driver")
        left, right = game.frames()
        start = first_sound(left)
        if start is None:
            return
        early = slice(start + int(0.05 * RATE), start + int(0.45 * RATE))
        late = slice(start + int(1.3 * RATE), start + int(2.3 * RATE))
        if synthetic:
            for name, channel in (("left", left), ("right", right)):
                check(tone_level(channel[early], TITLE_HZ) > 0.05,
                      "the title is heard in the %s channel" % name)
                check(tone_level(channel[early], MUSIC_HZ) > 0.05,
                      "the music plays under the title in the %s channel" % name)
                check(tone_level(channel[late], MUSIC_HZ) > 0.05,
                      "the music goes on past its clip's end (looping) in the %s channel" % name)
                check(tone_level(channel[late], TITLE_HZ) < 0.01,
                      "the title is spoken once in the %s channel" % name)
        else:
            for name, channel in (("left", left), ("right", right)):
                energy = sum(abs(x) for x in channel[late]) / max(1, len(channel[late]))
                check(energy > 0.001, "the menu is heard in the %s channel" % name)

        check_menu_colours(menu_screenshot(game.window, 0), cursor=0)

        # Everything the mixer writes from here on follows the two key presses,
        # however late a busy machine lets the driver write it.
        mark = len(game.frames()[0])
        game.keys("Down", "Down")
        time.sleep(0.3)
        check_menu_colours(menu_screenshot(game.window, 2), cursor=2)
        if synthetic:
            def normal_spoken():
                after = game.frames()[0][mark:mark + 3 * RATE]
                window = int(0.3 * RATE)
                return any(tone_level(after[at:at + window], VOICE_HZ[3]) > 0.02
                           for at in range(0, max(1, len(after) - window), window // 3))
            check(wait_for(normal_spoken, 10, step=0.3), 'Down speaks "normal"')

        menu_shot = screenshot(game.window)
        game.keys("Return")
        time.sleep(0.6)
        check(game.process.poll() is None and game.window_present(),
              "choosing Normal keeps the window open")
        check(wait_for(lambda: screenshot(game.window)[2] != menu_shot[2], 10, step=0.2),
              "the game scene replaced the menu")
        game.keys("Escape")
        time.sleep(0.6)
        check(game.process.poll() is None and game.window_present(),
              "Esc leaves the game for the menu, the window stays")
        check_menu_colours(menu_screenshot(game.window, 0), cursor=0)

        game.keys(*(["Down"] * 6), "Return")
        code = game.wait_exit(10)
        check(code == 0, "End ends the program with status 0 (got %s)" % code)
        check(os.path.isfile(game.settings_file()), "the settings file exists after the run")
        with open(game.settings_file(), encoding="utf-8", errors="replace") as f:
            text = f.read()
        check("aria=" in text and "name=" in text, "both values were written at exit")
    finally:
        err = game.stop()
        check("Segmentation" not in err and "AddressSanitizer" not in err, "no crash report")


def scenario_exits(args, work):
    """Without a display: one sentence and status 1. Without a sound device:
    silent, but playable. SIGTERM, SIGHUP, SIGINT: an orderly end with the
    settings saved."""
    binary = args.binary
    game_dir = make_game_dir(work)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_CONFIG_HOME"] = os.path.join(work, "nodisplay-config")
    result = subprocess.run([binary], cwd=game_dir, env=env, capture_output=True, text=True,
                            timeout=20)
    check(result.returncode == 1, "without a display the status is 1 (got %d)" % result.returncode)
    lines = [line for line in result.stderr.splitlines() if line.strip()]
    check(len(lines) == 1 and "display" in lines[0],
          "without a display one sentence names the problem: %r" % result.stderr)

    # No sound card at all: the game runs silent and still ends normally.
    silent_dir = os.path.join(work, "silent")
    os.makedirs(silent_dir)
    game = Game(binary, game_dir, silent_dir, {"SDL_AUDIODRIVER": "no-such-driver"})
    try:
        if check(game.find_window(), "without a sound device the window still appears"):
            check_menu_colours(menu_screenshot(game.window, 0), cursor=0)
            game.keys("Down", "Up", *(["Down"] * 6), "Return")
            code = game.wait_exit(10)
            check(code == 0, "without a sound device End ends with status 0 (got %s)" % code)
            check(not os.path.exists(game.audio), "nothing was written as sound")
    finally:
        game.stop()

    for signame in ("SIGTERM", "SIGHUP", "SIGINT"):
        run_dir = os.path.join(work, signame)
        os.makedirs(run_dir)
        game = Game(binary, game_dir, run_dir)
        try:
            if not check(game.find_window(), "the window appears (%s run)" % signame):
                continue
            time.sleep(0.5)
            game.process.send_signal(getattr(signal, signame))
            code = game.wait_exit(10)
            check(code == 0, "%s ends the program with status 0 (got %s)" % (signame, code))
            check(os.path.isfile(game.settings_file()), "%s: the settings were saved" % signame)
        finally:
            game.stop()


def scenario_update(args, work):
    """Update: the updater beside the game gets its three switches and the
    working directory; the game ends with status 0 and saves."""
    game_dir = make_game_dir(work)
    record = os.path.join(work, "updater.txt")
    updater = os.path.join(game_dir, "FetchUpdate.exe")
    with open(updater, "w") as f:
        f.write('#!/bin/sh\n{ for a in "$@"; do echo "$a"; done; pwd; } > "%s.tmp"\n'
                'mv "%s.tmp" "%s"\n' % (record, record, record))
    os.chmod(updater, 0o755)
    game = Game(args.binary, game_dir, work)
    try:
        if not check(game.find_window(), "the game window appears"):
            return
        game.keys(*(["Down"] * 5), "Return")
        code = game.wait_exit(10)
        check(code == 0, "Update ends the program with status 0 (got %s)" % code)
        check(wait_for(lambda: os.path.exists(record), 10), "the updater was started")
        if os.path.exists(record):
            with open(record) as f:
                lines = f.read().splitlines()
            check(lines == ["/FILE=zankoruc", "/SERVER_PATH=zankoruc", "/APPTITLE=zankoruc",
                            os.path.realpath(game_dir)],
                  "the updater got exactly its switches and the game's directory: %r" % lines)
        check(os.path.isfile(game.settings_file()), "the settings were saved")
    finally:
        game.stop()


def scenario_netrecord(args, work):
    """NetRecord: the page goes to the desktop's browser (a stand-in here) and
    the menu stays; choosing it again opens it again."""
    game_dir = make_game_dir(work)
    data_home = os.path.join(work, "data")
    config = os.path.join(work, "config")
    record = os.path.join(work, "browser.txt")
    browser = os.path.join(work, "browser.sh")
    with open(browser, "w") as f:
        f.write('#!/bin/sh\necho "$1" >> "%s"\n' % record)
    os.chmod(browser, 0o755)
    os.makedirs(os.path.join(data_home, "applications"))
    with open(os.path.join(data_home, "applications", "zk-test-browser.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Test browser\n"
                "Exec=%s %%u\nMimeType=x-scheme-handler/http;\n" % browser)
    os.makedirs(config)
    with open(os.path.join(config, "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\nx-scheme-handler/http=zk-test-browser.desktop\n")
    game = Game(args.binary, game_dir, work, {
        "XDG_DATA_HOME": data_home,
        "ZANKORUC_RANKING_HOST": "ranking.test:8765",
    })
    expected = "http://ranking.test:8765/game/zankoru/GameResult.asp"
    try:
        if not check(game.find_window(), "the game window appears"):
            return
        game.keys(*(["Down"] * 4), "Return")

        def opened(times):
            if not os.path.exists(record):
                return False
            with open(record) as f:
                return len(f.read().splitlines()) >= times
        check(wait_for(lambda: opened(1), 10), "the ranking page was handed to the browser")
        time.sleep(0.3)
        check(game.process.poll() is None and game.window_present(), "the menu stays open")
        check_menu_colours(menu_screenshot(game.window, 4), cursor=4)
        game.keys("space")
        check(wait_for(lambda: opened(2), 10), "choosing NetRecord again opens the page again")
        with open(record) as f:
            urls = f.read().splitlines()
        check(urls == [expected, expected], "the browser got the ranking page: %r" % urls)
        game.keys("Down", "Down", "Return")
        check(game.wait_exit(10) == 0, "End still ends the program with status 0")
    finally:
        game.stop()


SCENARIOS = {
    "menu": scenario_menu,
    "exits": scenario_exits,
    "update": scenario_update,
    "netrecord": scenario_netrecord,
}


def run_scenario(scenario, args, name):
    """Runs `scenario(args, work)` in a work folder of its own; the exit
    status: 0 when every check passed."""
    if not os.environ.get("DISPLAY"):
        print("run this under xvfb-run: it needs an X display")
        return 2
    work = tempfile.mkdtemp(prefix="zk-e2e-%s-" % name)
    try:
        scenario(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), required=True)
    parser.add_argument("--game-dir", help="a real asset pack instead of synthetic clips")
    args = parser.parse_args()
    return run_scenario(SCENARIOS[args.scenario], args, args.scenario)


if __name__ == "__main__":
    sys.exit(main())
