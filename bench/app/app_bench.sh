#!/usr/bin/env bash
# The game window's figures, on a virtual X display with SDL's disk driver:
# start-up to the title's first sample, idle CPU with the menu music playing,
# and the regularity of the 100 ms timer.
#   bench/app/app_bench.sh [build-dir]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 10 600 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    python3 "$here/app_bench.py" --build "$build"
