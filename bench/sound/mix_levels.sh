#!/usr/bin/env bash
# Loudness and peaks of 20 s of the menu and 20 s of a Hard duel, as the real
# program plays them (about a minute).
#   bench/sound/mix_levels.sh [build-dir]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    python3 "$here/mix_levels.py" --build "$build"
