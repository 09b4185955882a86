#!/usr/bin/env bash
# Peak memory of the real program through a whole Hard game, played by ear on
# a virtual X display with SDL's disk driver: about 7 minutes a run.
#   bench/game/game_memory.sh [build-dir] [runs]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 10 $((1500 * runs)) xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    python3 "$here/game_memory.py" --build "$build" --runs "$runs"
