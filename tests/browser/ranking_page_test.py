#!/usr/bin/env python3
"""The ranking page in a real browser.

Starts the real zankoruc-ranking on a free port over a fresh database, sends
it scores the way the game does (ties, every level, a name that looks like
markup, a Shift-JIS name, long names), then has headless Chromium load the page: the
three level tables are checked by DOM at 320, 390 and 1280 px, axe-core
audits each width, and a screenshot of each is left beside the build for a
look by eye (SCREENSHOT-320.png, ...).

  ranking_page_test.py SERVER_PROGRAM SCREENSHOT.png
"""
import os
import re
import subprocess
import sys
import tempfile
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))

SCORES = [
    # area, name (already percent-encoded as the game sends it), level, hits
    ("Japan", "Hana", 3, 2),
    ("Secret", "Jo", 3, 2),
    ("USA", "%3Cscript%3Ealert(1)%3C%2Fscript%3E", 3, 4),
    ("", "Kei", 3, 0),
    # The longest area; a long name that wraps at its spaces; 32 letters
    # without a space, as long as a name gets.
    ("Saint%20Vincent%20and%20the%20Grenadines", "Sasaki%20Kojiro%20of%20Ganryu%20Island", 3, 5),
    ("Liechtenstein", "TheSwordsmanWhoNeverTookOneHit32", 1, 3),
    ("Brazil", "%8C%95%8Em", 2, 1),  # "剣士" in Shift-JIS
    ("UK", "", 2, 7),
]


def main():
    program, screenshot = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="zk-page-") as folder:
        server = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--database",
             "sqlite:" + os.path.join(folder, "ranking.sqlite3")],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            line = server.stdout.readline().decode()
            port = re.search(r"listening on .*:(\d+)", line).group(1)
            base = "http://127.0.0.1:%s/game/zankoru/" % port
            for area, name, level, hits in SCORES:
                url = base + "GameSet.asp?aria=%s&name=%s&mode=0&level=%d&score=%d" % (
                    area, name, level, hits)
                with urllib.request.urlopen(url) as answer:
                    assert answer.status == 200, url
            with urllib.request.urlopen(base + "GameResult.asp") as answer:
                page = answer.read().decode()
            # The markup-looking name is text, never a tag.
            assert "<script>" not in page and "&lt;script&gt;" in page, "name not escaped"
            assert "剣士" in page, "Shift-JIS name not shown as UTF-8"
            check = subprocess.run(
                ["node", os.path.join(HERE, "ranking_page_check.js"), base + "GameResult.asp",
                 screenshot], cwd=HERE)
            return check.returncode
        finally:
            server.terminate()
            server.wait(timeout=30)


if __name__ == "__main__":
    sys.exit(main())
