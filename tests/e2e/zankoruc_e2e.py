#!/usr/bin/env python3
# MODE BINARY GAME_DIR under xvfb-run; every wait polls to a generous deadline: load is slow
import array, contextlib, json, math, operator, os, pathlib, re, shutil, signal, socket  # noqa: E401
import subprocess, sys, tempfile, time, urllib.request, wave  # noqa: E401

RATE, BLOCK = 48000, 480  # the output's frames per second (float32 stereo); 10 ms
DIALOG_TITLE, SENDING_TITLE = "Do you register a record with a net?", "Sending your score…"
NAME, AREA = "Blind Samurai", "Japan"
# The swing's whistle, 900 Hz in its 0.42 s clip at 22050 Hz, played at 24200 Hz
# or 13200 Hz; the seconds it lasts in the output, however late the mixer runs.
WHISTLE = {"high": (990.0, 1015.0, 1040.0, 1065.0), "low": (540.0, 555.0, 570.0, 585.0)}
SWING_SECONDS = {"high": 0.42 * 22050 / 24200, "low": 0.42 * 22050 / 13200}
KEYS = {("left", "high"): "7", ("right", "high"): "9", ("left", "low"): "1", ("right", "low"): "3"}
failures, keyboard = [], None


def check(condition, message):
    print(("ok: " if condition else "FAILED: ") + message, flush=True)
    failures.extend([] if condition else [message])
    return condition


def wait_for(predicate, timeout, step=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and not predicate():
        time.sleep(step)
    return predicate()


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=60).stdout.strip()


def typed(text):  # the keys that type it
    return [c if c != " " else "space" for c in text]


def press(*keys):  # one xdotool for the run: starting one per answer is slow when busy
    global keyboard
    keyboard = keyboard or subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True)
    keyboard.stdin.write("key --delay 60 %s\n" % " ".join(keys))
    keyboard.stdin.flush()


def visible_window(title):  # titled exactly so: xdotool's search ignores case
    pattern = "^%s$" % re.sub(r"[^\w ]", ".", title)
    for window in run("xdotool", "search", "--onlyvisible", "--name", pattern).split():
        if run("xdotool", "getwindowname", window) == title.strip():
            return window
    return None


def focus(title):
    run("xdotool", "windowfocus", "--sync", wait_for(lambda: visible_window(title), 30) or "")


def accessibles(node, role):  # node and all below it with that role
    below = [node.getChildAtIndex(i) for i in range(node.childCount)]
    return [node] * (node.getRoleName() == role) + sum(
        (accessibles(child, role) for child in below if child is not None), [])


def program_window(role, title):  # None: not there yet, or gone as it was read
    import pyatspi  # the session bus holds the program alone
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
        return next(w for app in apps for w in app if (w.getRoleName(), w.name) == (role, title))
    except Exception:
        return None


def shown_text(role, title):
    window = program_window(role, title)
    return "\n".join(label.name for label in accessibles(window, "label")) if window else ""


class Game:  # the program with its settings, sound output and error output in `work`
    def __init__(self, work, env={}, game_dir=None, binary=None, arguments=()):
        self.ear = Ear(os.path.join(work, "output.raw"))
        self.errors = open(os.path.join(work, "stderr.txt"), "w+b")  # a pipe could fill
        self.process = subprocess.Popen([binary or BINARY, *arguments], cwd=game_dir or GAME_DIR,
            stderr=self.errors, stdout=subprocess.DEVNULL, env={**os.environ,
            "XDG_CONFIG_HOME": work, "no_proxy": "*",  # a local server
            "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.ear.path, **env})

    def stop(self):
        self.process.kill()  # unless it has ended
        self.process.wait()
        errors = pathlib.Path(self.errors.name).read_text(errors="replace")
        if not check("Segmentation" not in errors and "Sanitizer" not in errors, "no crash report"):
            print(errors[-6000:])


def energy(samples):
    return sum(map(operator.mul, samples, samples)) / max(1, len(samples))


def whistle(samples, height):  # the loudest of its frequencies at that height (Goertzel)
    levels = []
    for hz in WHISTLE[height]:
        c, s1, s2 = 2 * math.cos(2 * math.pi * hz / RATE), 0.0, 0.0
        for x in samples:
            s1, s2 = x + c * s1 - s2, s1
        levels.append(2 * math.sqrt(max(s1 * s1 + s2 * s2 - c * s1 * s2, 0.0)) / len(samples))
    return max(levels)


class Ear:  # the output as written; per block the energy of left minus right, where
    # every centred sound cancels and only the panned ones stay: the swings and the clangs
    def __init__(self, path):
        self.path, self.file, self.rest = path, None, b""
        self.left, self.right, self.side = array.array("f"), array.array("f"), []

    def poll(self):
        if self.file is None and os.path.exists(self.path):
            self.file = open(self.path, "rb")
        data = self.rest + (self.file.read() if self.file else b"")
        usable = len(data) - len(data) % 8
        samples, self.rest = array.array("f", data[:usable]), data[usable:]
        self.left.extend(samples[0::2])
        self.right.extend(samples[1::2])
        while (len(self.side) + 1) * BLOCK <= len(self.left):
            self.side.append(energy(self.difference(len(self.side) * BLOCK, BLOCK)))
        return len(self.left)  # the frames heard so far

    def wait(self, frames):
        return wait_for(lambda: self.poll() >= frames, 60, step=0.02)

    def difference(self, start, count):
        end = start + count
        return list(map(operator.sub, self.left[start:end], self.right[start:end]))


def play(game, ear, deadline):  # answers every swing with its key and the strike, which
    # kills once the chance opens; 6 s on with no swing, striking ends the won game
    block, quiet, heard, last_key = 5, 0, [], 0.0
    while time.monotonic() < deadline and game.process.poll() is None:
        ear.poll()
        if block >= len(ear.side):
            if heard and len(ear.left) > heard[-1] + 6 * RATE and time.monotonic() > last_key + 2.5:
                if visible_window(DIALOG_TITLE):
                    return heard
                press("space")
                last_key = time.monotonic()
            time.sleep(0.02)
            continue
        start, level = (block - 1) * BLOCK, ear.side[block]
        # A new sound rises out of silence or out of a ring that decays.
        if start < quiet or level < 1e-7 or level < 4 * max(ear.side[block - 5:block - 2]):
            block += 1
            continue
        ear.wait(start + int(0.07 * RATE))
        side = ear.difference(start, int(0.06 * RATE))
        height = max(WHISTLE, key=lambda h: whistle(side, h))
        if whistle(side, height) < 0.4 * math.sqrt(2 * energy(side)):
            quiet = (block + 3) * BLOCK  # no whistle: a clang, no swing
            continue
        span = slice(start, start + len(side))
        direction = "left" if energy(ear.left[span]) > energy(ear.right[span]) else "right"
        heard.append(start)
        if len(heard) != 2:  # the second goes unanswered: the score sent is one hit
            press(KEYS[(direction, height)], "space")
        print("  swing %d at %.2f s, %s %s: %.0f ms to the answer" % (len(heard), start / RATE,
              direction, height, 1000 * (len(ear.left) - start) / RATE), flush=True)
        quiet = start + int(SWING_SECONDS[height] * RATE)  # then only a whistle is a new swing
    return None


def clip_samples(path):  # 16-bit mono
    with wave.open(path) as wav:
        return wav.getframerate(), array.array("h", wav.readframes(wav.getnframes()))


def clip_start(path):  # the clip's first 0.3 s at the output's rate
    rate, data = clip_samples(path)
    at = [k * rate / RATE for k in range(int(0.3 * RATE))]
    return [data[int(p)] * (1 - p % 1) + data[int(p) + 1] * (p % 1) for p in at]


def correlation(y, clip):
    return sum(map(operator.mul, y, clip)) / len(y) / math.sqrt(energy(y) * energy(clip) or 1)


def heard_since(ear, path, since, channel="left"):
    # How well the output explains the clip's start, on a 256-frame mixer period.
    clip = clip_start(path)
    ear.wait(since + 5 * RATE)
    heard = getattr(ear, channel)
    return max(correlation(heard[f:f + len(clip)], clip)
               for f in range(since // 256 * 256, since + 4 * RATE, 256))


def decimated(samples, n=8):  # the mean of every n: 6 kHz keeps a voice
    return [sum(samples[i:i + n]) / n for i in range(0, len(samples) - n + 1, n)]


def recorded_since(ear, path, since, channel):
    # The same, in a recording that keeps no period grid: the best place found at an
    # eighth of the rate, then to the frame.
    clip = clip_start(path)
    ear.wait(since + 5 * RATE)
    heard = getattr(ear, channel)
    small, small_clip = decimated(heard[since:since + 4 * RATE + len(clip)]), decimated(clip)
    near = max(range(len(small) - len(small_clip)),
               key=lambda f: correlation(small[f:f + len(small_clip)], small_clip))
    return max(correlation(heard[f:f + len(clip)], clip)
               for f in range(since + 8 * near - 8, since + 8 * near + 9))


class Pulse:  # a PulseAudio daemon of the test's own: a null sink "zk", recorded at its monitor
    def __init__(self, work):
        self.work, self.recorder, self.daemon, self.starts = work, None, None, 0
        run_dir, home = os.path.join(work, "pulse-run"), os.path.join(work, "pulse-home")
        os.makedirs(home)
        os.makedirs(run_dir, mode=0o700)
        self.socket, self.warming = os.path.join(run_dir, "native"), os.path.join(run_dir, "warm")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=run_dir, HOME=home)
        self.game_env = {"SDL_AUDIODRIVER": "pulseaudio", "PULSE_SERVER": "unix:" + self.socket}

    def start(self):  # then records what the sink plays: the ear
        self.starts += 1
        log = open(os.path.join(self.work, "pulse-%d.log" % self.starts), "wb")
        self.env["PULSE_SERVER"] = "unix:" + self.warming
        self.daemon = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--log-target=stderr",
             "-L", "module-null-sink sink_name=zk rate=48000 format=float32le channels=2",
             "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + self.warming],
            env=self.env, stdout=log, stderr=log)
        up = wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env,
                      capture_output=True).returncode == 0, 20)
        if not check(up, "PulseAudio %d runs" % self.starts):
            print(pathlib.Path(log.name).read_text(errors="replace")[-3000:])
            return None
        ear = Ear(os.path.join(self.work, "monitor-%d.raw" % self.starts))
        self.recorder = subprocess.Popen(
            ["parec", "--raw", "--format=float32le", "--rate=48000", "--channels=2",
             "--latency-msec=20", "-d", "zk.monitor"], env=self.env,
            stdout=open(ear.path, "wb"), stderr=subprocess.DEVNULL)
        # A new null sink first sleeps through a long block, and a stream that comes
        # meanwhile waits up to 2 s to be heard. The game finds the server once it is awake.
        wait_for(lambda: os.path.getsize(ear.path) > 0, 10, step=0.02)
        os.replace(self.warming, self.socket)
        self.env["PULSE_SERVER"] = "unix:" + self.socket
        return ear

    def kill(self):
        for process in (self.daemon, self.recorder):
            if process:
                process.kill()
                process.wait()

    def sink_inputs(self):  # the streams playing, as pactl lists them
        return subprocess.run(["pactl", "list", "sink-inputs"], env=self.env,
                              capture_output=True, text=True).stdout


def first_sound(ear, since, timeout):  # the first frame from `since` on that is not silence
    at = [since]

    def sounding():
        ear.poll()
        while at[0] < len(ear.left) and abs(ear.left[at[0]]) + abs(ear.right[at[0]]) < 1e-4:
            at[0] += 1
        return at[0] < len(ear.left)
    return at[0] if wait_for(sounding, timeout, step=0.02) else None


def dropouts(ear, start, end, least=64):  # runs of at least `least` frames of exact digital zero
    runs, run = 0, 0
    for f in range(start, end):
        run = run + 1 if ear.left[f] == 0.0 and ear.right[f] == 0.0 else 0
        runs += run == least
    return runs


def ranking_server(work):  # the real one beside the game, on a fresh database; (process, host)
    server = subprocess.Popen([os.path.join(os.path.dirname(BINARY), "zankoruc-ranking"),
                               "--listen", "127.0.0.1:0", "--database",
                               "sqlite:" + os.path.join(work, "ranking.sqlite3")],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    listening = re.search(r"listening on (\S+)", server.stdout.readline().decode())
    return server, listening.group(1) if listening else None


def win_easy(game):  # from the start to the score dialog, focused, of a won Easy game
    if not check(game.ear.wait(RATE // 2), "the program starts: its sound reaches the driver"):
        return False
    focus("ZankoruC")
    press("Down", "Return")  # Easy
    if not check(play(game, game.ear, time.monotonic() + 200), "won Easy by ear: a dialog"):
        return False
    focus(DIALOG_TITLE)
    return True


def won(work):
    import pyatspi
    server, host = ranking_server(work)
    if not check(host, "the ranking server starts"):
        return server.kill()
    game = Game(work, {"ZANKORUC_RANKING_HOST": host})
    try:
        if not win_easy(game):
            return
        dialog = wait_for(lambda: program_window("dialog", DIALOG_TITLE), 30)
        (entry,), (area,) = accessibles(dialog, "text"), accessibles(dialog, "combo box")
        read = (entry.name, area.name, [b.name for b in accessibles(dialog, "push button")])
        check(read == ("Your Name", "Aria", ["Send", "Close"]),
              "a screen reader reads the name box, the area list and the buttons: %r" % (read,))
        check(wait_for(lambda: entry.getState().contains(pyatspi.STATE_FOCUSED), 10),
              "the name box has the focus")
        check(entry.description == "at most 32 characters", "and its limit: %r" % entry.description)
        long_name = NAME + " of the Northern Hills"  # the box keeps the first 32 characters
        name = long_name[:32]
        press("ctrl+a", *typed(long_name), "Tab", "u", "k")  # ctrl+a: replaces what it holds

        def chosen():  # the area a screen reader reads as chosen
            with contextlib.suppress(Exception):
                return area.querySelection().getSelectedChild(0).name
        check(wait_for(lambda: chosen() == "UK", 10) and entry.queryText().getText(0, -1) == name,
              "uk in the closed list chooses UK (%r); the name box keeps 32 characters: %r"
              % (chosen(), entry.queryText().getText(0, -1)))
        press("alt+Down", "j", "a", "p")  # Jamaica comes before Japan
        check(wait_for(lambda: chosen() == AREA, 10), "jap in the open list: %r" % chosen())
        press("Return", "shift+Tab", "Return")
        alert = wait_for(lambda: program_window("alert", "zankoruc"), 60)
        shown = [label.name for label in accessibles(alert, "label")] if alert else []
        answer = "\n".join(shown)
        check("Thank you, %s." % name in answer and "Easy, 1 hit: rank 1 of 1." in answer and
              not any(text.endswith(("\r", "\n")) for text in shown),
              "the answer box names the rank, no empty line after it: %r" % shown)
        with urllib.request.urlopen("http://%s/api/v1/scores?level=1" % host) as listing:
            scores = [(s["name"], s["area"], s["hits"]) for s in json.load(listing)["scores"]]
        check(scores == [(name, AREA, 1)], "the server holds the one hit: %r" % scores)
        focus("zankoruc")
        closed = game.ear.poll()
        press("Return")
        heard = heard_since(game.ear, os.path.join(GAME_DIR, "sound", "menu", "Title.snz"), closed)
        check(heard > 0.5, "a fresh menu speaks its title again (correlation %.2f)" % heard)
    finally:
        game.stop()
        server.terminate()
        server.wait(30)


def hung(work):  # a server that takes the request and never answers; SIGTERM meanwhile
    server = socket.create_server(("127.0.0.1", 0))  # connections wait in its backlog
    settings = pathlib.Path(work, "velkor", "zankoruc.ini")
    game = Game(work, {"ZANKORUC_RANKING_HOST": "127.0.0.1:%d" % server.getsockname()[1]})
    try:
        if not win_easy(game):
            return
        press("ctrl+a", *typed("Hung " + NAME), "Return")  # "Secret" stays the area
        sending = wait_for(lambda: program_window("dialog", SENDING_TITLE), 30)
        bars = [bar.name for bar in accessibles(sending, "progress bar")] if sending else []
        check(bars == [SENDING_TITLE], "a screen reader reads the wait: %r" % bars)
        signalled = time.monotonic()
        game.process.send_signal(signal.SIGTERM)
        ended = wait_for(lambda: game.process.poll() is not None, 60, step=0.02)
        took = time.monotonic() - signalled
        check(ended and game.process.returncode == 0 and took < 3,
              "SIGTERM during the submission ends the program with status 0 (%r) in %.1f s"
              % (game.process.returncode, took))
        kept = "[settings]\naria=Secret\nname=Hung %s\n" % NAME
        check(settings.read_text() == kept, "the typed name was saved: %r" % settings.read_text())
    finally:
        game.stop()
        server.close()


def orca_reads(node):  # as a screen reader does: every accessible's name and text
    read = [node.name, node.description]
    with contextlib.suppress(NotImplementedError):
        read.append(node.queryText().getText(0, -1))
    for child in [node.getChildAtIndex(i) for i in range(node.childCount)]:
        read += orca_reads(child) if child is not None else []
    return read


def shiftjis(work):  # a ranking server on a Japanese system answers in code page 932
    import http.server
    import threading
    thanks, rank = "ありがとう、剣士さん。", "初級、1ヒット: 100人中5位。"
    page = ("<html>\n  <!-- DATA_START -->\n%s<P>%s\n  <!-- DATA_END -->\n</html>\n"
            % (thanks, rank)).encode("cp932")
    asked = []

    class Answer(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            asked.append(self.path)
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=Shift_JIS")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)

        def log_message(self, *_):
            pass
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Answer)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    game = Game(work, {"ZANKORUC_RANKING_HOST": "127.0.0.1:%d" % server.server_address[1]})
    try:
        if not win_easy(game):
            return
        press("ctrl+a", *typed("Kensei"), "Return")
        alert = wait_for(lambda: program_window("alert", "zankoruc"), 60)
        read = []
        for _ in range(3):  # the box as Orca reads it when it opens, and again
            try:
                read = orca_reads(alert)
            except Exception as error:
                read = [repr(error)]
            time.sleep(0.5)
        check(asked and asked[0].startswith("/game/zankoru/GameSet.asp?"),
              "the score went to the server: %r" % asked)
        check(any(thanks in text and rank in text for text in read),
              "the box reads the Japanese answer: %r" % read)
        if not check(game.process.poll() is None, "the game lives on while it is read (%r)"
                     % game.process.returncode):
            return
        focus("zankoruc")
        press("Return")
        check(wait_for(lambda: program_window("alert", "zankoruc") is None, 30), "the box closes")
        game.process.send_signal(signal.SIGTERM)
        check(wait_for(lambda: game.process.poll() is not None, 20) and
              game.process.returncode == 0, "and the game ends with status 0 (%r)"
              % game.process.returncode)
    finally:
        game.stop()
        server.shutdown()


def nodisplay(work):
    env = {k: v for k, v in dict(os.environ, XDG_CONFIG_HOME=work).items() if "DISPLAY" not in k}
    result = subprocess.run([BINARY], cwd=GAME_DIR, env=env, capture_output=True, timeout=60)
    check(result.returncode == 1, "without a display the status is 1 (%d)" % result.returncode)
    check(b"no display" in result.stderr, "and the error says why: %r" % result.stderr)
    utf8 = {k: v for k, v in env.items() if not k.startswith("LC_")} | {"LANG": "C.UTF-8"}
    for program in (BINARY, os.path.join(os.path.dirname(BINARY), "zankoruc-ranking")):
        usage = subprocess.run([program, "--help"], env=utf8, capture_output=True, timeout=60).stdout
        check("[OPTION…]" in usage.decode(errors="replace"), "--help in UTF-8: %r" % usage[:60])


def sigterm(work):
    settings = pathlib.Path(work, "velkor", "zankoruc.ini")
    kept = "[settings]\naria=%s\nname=%s\n" % (AREA, NAME)
    settings.parent.mkdir()
    settings.write_text(kept)
    os.utime(settings, (0, 0))  # dated 1970: a save shows
    game = Game(work, {"NO_AT_BRIDGE": "1"})  # nothing reads its accessibility tree
    try:
        game.ear.wait(RATE // 2)  # the menu is up
        game.process.send_signal(signal.SIGTERM)
        check(game.process.wait(20) == 0, "SIGTERM ends the program with status 0")
        check(settings.stat().st_mtime > 0 and settings.read_text() == kept,
              "the settings were written anew, name and area kept: %r" % settings.read_text())
    finally:
        game.stop()


def elsewhere(work):  # started from an empty home folder, as a desktop launcher does
    home = pathlib.Path(work, "home")
    home.mkdir()
    game = Game(work, game_dir=home)
    try:
        heard = heard_since(game.ear, os.path.join(GAME_DIR, "sound", "menu", "Title.snz"), 0)
        check(heard > 0.5, "the title voice is heard (correlation %.2f)" % heard)
    finally:
        game.stop()


def noassets(work):  # a lone binary: no game files anywhere it looks
    lone, home = pathlib.Path(work, "bin", "zankoruc"), pathlib.Path(work, "home")
    lone.parent.mkdir()
    home.mkdir()
    shutil.copy(BINARY, lone)
    game = Game(work, game_dir=home, binary=str(lone))
    try:
        shown = wait_for(lambda: shown_text("alert", "zankoruc"), 30) or ""
        places = [str(home), os.path.join(work, "share", "zankoruc"), str(lone.parent / "game")]
        check("sounds were not found" in shown and all(p in shown for p in places),
              "the player is told where the game looked: %r" % shown)
        focus("zankoruc")
        press("Return")
        check(game.process.wait(30) == 1, "and the status is 1")
    finally:
        game.stop()


def unpacked(work):  # the Debian package (BINARY) unpacked into a root of its own
    root, home = pathlib.Path(work, "root"), pathlib.Path(work, "home")
    home.mkdir()
    subprocess.run(["dpkg-deb", "-x", BINARY, str(root)], check=True, timeout=60)
    depends = run("dpkg-deb", "-f", BINARY, "Depends")
    check("libsdl2" in depends, "the package depends on the libraries it links: %r" % depends)
    check("zankoruc-ranking" not in run("dpkg-deb", "-c", BINARY), "the ranking server is left out")
    game = Game(work, game_dir=home, binary=str(root / "usr" / "games" / "zankoruc"))
    try:
        title = os.path.join(GAME_DIR, "sound", "menu", "Title.snz")
        heard = [heard_since(game.ear, title, 0, channel) for channel in ("left", "right")]
        check(min(heard) > 0.5, "the title voice is heard in both channels (correlation %.2f, %.2f)"
              % tuple(heard))
        window = visible_window("ZankoruC") or ""
        # The desktop matches the window to its entry by WM_CLASS.
        entry = [f.stem for f in root.glob("usr/share/applications/*.desktop")]
        pattern = "^%s$" % re.escape(entry[0] if entry else "no desktop entry")
        named = [run("xdotool", "search", "--" + part, pattern).split() for part in ("classname", "class")]
        check(all(window in found for found in named), "WM_CLASS names the desktop entry %r" % entry)
        icon = run("xprop", "-id", window, "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON")[:40]
        check(icon.startswith("_NET_WM_ICON(CARDINAL) = 256, 256"),  # the build tree's is 128
              "the window shows the unpacked tree's icon: %r" % icon)
        focus("ZankoruC")
        press(*["Down"] * 6, "Return")  # End, the last item
        ended = wait_for(lambda: game.process.poll() is not None, 30)
        check(ended and game.process.returncode == 0, "End exits with status 0 (%r)"
              % game.process.returncode)
    finally:
        game.stop()


def listening(host):
    with contextlib.suppress(OSError), socket.create_connection(host.split(":"), timeout=5):
        return True
    return False


def runpath(work):  # the README's way in: tools/run-game.sh BUILD_DIR from a fresh home
    homes = {name: os.path.join(work, name) for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME")}
    with socket.socket() as probe:  # a free port: nothing listening already is taken for the run's
        probe.bind(("127.0.0.1", 0))
        host = "127.0.0.1:%d" % probe.getsockname()[1]
    mine = b"\0ZANKORUC_RANKING_HOST=%s\0" % host.encode()

    def of_run():  # the processes that inherited the run's environment: (pid, program)
        found = []
        for proc in pathlib.Path("/proc").glob("[0-9]*"):
            with contextlib.suppress(OSError):
                if mine in b"\0" + (proc / "environ").read_bytes():
                    found.append((int(proc.name), (proc / "cmdline").read_bytes().split(b"\0")[:2]))
        return found
    for folder in homes.values():
        os.makedirs(folder)
    script = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "run-game.sh")
    game = Game(work, {**homes, "ZANKORUC_RANKING_HOST": host}, binary=script,
                arguments=[os.path.dirname(BINARY)])
    try:
        if not check(wait_for(lambda: game.ear.poll() >= RATE // 2 or game.process.poll() is not None,
                              60) and game.process.poll() is None, "the script starts the game"):
            return
        title = os.path.join(GAME_DIR, "sound", "menu", "Title.snz")
        heard = [heard_since(game.ear, title, 0, channel) for channel in ("left", "right")]
        check(min(heard) > 0.5, "the title voice is heard in both channels (correlation %.2f, %.2f)"
              % tuple(heard))
        check(listening(host), "a ranking server of the run's own listens at " + host)
        focus("ZankoruC")
        press(*["Down"] * 6, "Return")  # End, the last item
        ended = wait_for(lambda: game.process.poll() is not None, 30)
        check(ended and game.process.returncode == 0, "End ends the run with status 0 (%r)"
              % game.process.returncode)
        database = pathlib.Path(homes["XDG_DATA_HOME"], "zankoruc", "ranking.sqlite3")
        check(database.exists(), "its scores are kept in the fresh home's data folder")
        check(not listening(host) and not of_run(), "and its server is gone: %r" % of_run())
    finally:
        for pid, _ in of_run():
            os.kill(pid, signal.SIGKILL)
        game.stop()


def badclip(work):
    clip = pathlib.Path(work, "game", "sound", "menu", "Title.snz")
    shutil.copytree(GAME_DIR, clip.parents[2])
    clip.write_bytes(b"RIFF\x04\0\0\0MP3 ")  # a RIFF file, but no WAVE
    game = Game(work, game_dir=clip.parents[2])
    try:
        shown = wait_for(lambda: shown_text("alert", " lol "), 30)
        check("これはWAVファイルではありません" in shown, "the player is told: %r" % shown)
        focus(" lol ")
        press("Return")
        check(wait_for(lambda: visible_window("ZankoruC"), 30), "the game goes on: its window")
    finally:
        game.stop()


def sound_path(name):
    return os.path.join(GAME_DIR, "sound", *name.split("/"))


@contextlib.contextmanager
def game_on_pulse(work):  # (pulse, ear, game, its first sound), None when either did not start
    pulse = Pulse(work)
    ear = pulse.start()
    game = ear and Game(work, pulse.game_env)
    try:
        start = game and first_sound(ear, 0, 30)
        heard = check(start is not None, "the game's sound reaches PulseAudio's sink")
        yield (pulse, ear, game, start) if heard else None
    finally:
        if game:
            game.stop()
        pulse.kill()


def pulse_heard(work):
    with game_on_pulse(work) as started:
        if not started:
            return
        pulse, ear, game, start = started
        both = tuple(recorded_since(ear, sound_path("menu/Title.snz"), max(0, start - RATE // 10),
                                    side) for side in ("left", "right"))
        check(min(both) > 0.5, "the title voice is heard in both channels (%.2f, %.2f)" % both)
        listed = pulse.sink_inputs()
        check('application.name = "ZankoruC"' in listed and 'media.role = "game"' in listed,
              "the server lists the stream as ZankoruC's, in the game role:\n" + listed)


def pulse_load(work):  # two busy loops on the two cores while the menu's music plays
    rate, music = clip_samples(sound_path("opning.snz"))
    longest = max(len(run) for run in bytes(int(x == 0) for x in music).split(b"\0"))
    if not check(longest * RATE / rate < 60, "the music itself holds no 64 silent frames"):
        return
    with game_on_pulse(work) as started:
        if not started:
            return
        pulse, ear, game, start = started
        loads = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(2)]
        try:
            begin, end = start + RATE // 2, start + RATE // 2 + 20 * RATE
            ear.wait(end)
        finally:
            for load in loads:
                load.kill()
        # With its 20 ms buffer the stream breaks about once in two minutes on two
        # busy cores shared with the recorder; one in 20 s passes, the 10.7 ms buffer
        # SDL asks for alone had 2 to 66, a 5.3 ms one 37 to 137.
        lost = dropouts(ear, begin, end)
        check(len(ear.left) >= end and lost <= 1, "20 s of music under load, at most one "
              "dropout (%d runs of 64 silent frames)" % lost)


def pulse_restart(work):  # the sound server dies while the menu's music plays, and comes back
    with game_on_pulse(work) as started:
        if not started:
            return
        pulse, ear, game, start = started
        time.sleep(1.5)
        pulse.kill()
        time.sleep(1)  # the game looks for a server meanwhile, and finds none
        ear = pulse.start()
        back = time.monotonic()
        heard = ear and first_sound(ear, 0, 10)
        took = time.monotonic() - back
        if not check(heard is not None and took < 2, "the music is heard at the new server's "
                     "monitor %.2f s after it is up" % took):
            return
        ear.wait(heard + RATE)
        tenths = [energy(ear.left[f:f + RATE // 10]) for f in range(heard, heard + RATE, RATE // 10)]
        check(min(tenths) > 1e-6, "and it goes on: every tenth of the next second sounds")
        check(game.process.poll() is None, "the game lives on")
        focus("ZankoruC")
        pressed = ear.poll()
        press("Down")
        voice = recorded_since(ear, sound_path("menu/easy.snz"), pressed, "left")
        check(voice > 0.5, "a key still gets its menu voice (correlation %.2f)" % voice)
        game.process.send_signal(signal.SIGTERM)  # the watchdog stops with the program
        check(wait_for(lambda: game.process.poll() == 0, 10), "SIGTERM ends it with status 0")


if __name__ == "__main__":
    MODE, BINARY, GAME_DIR = sys.argv[1:]
    work = tempfile.mkdtemp(prefix="zk-e2e-%s-" % MODE)
    try:
        {"won": won, "hung": hung, "nodisplay": nodisplay, "sigterm": sigterm,
         "badclip": badclip, "shiftjis": shiftjis,
         "elsewhere": elsewhere, "noassets": noassets, "unpacked": unpacked, "runpath": runpath,
         "pulse_heard": pulse_heard, "pulse_load": pulse_load, "pulse_restart": pulse_restart
         }[MODE](work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        if keyboard:  # at the end of its input it would look for a display
            keyboard.kill()
    sys.exit("%d check(s) failed" % len(failures) if failures else 0)
