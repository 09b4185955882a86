#!/usr/bin/env bash
# Key release to voice, and dropouts under load, through PulseAudio and
# PipeWire (each started here, headless, with a null sink) and SDL's disk
# driver, on a virtual X display. Options after the build directory go to the
# script (--runs, --binary, --label, --backends, ...).
#   bench/audio/sound_server_latency.sh [build-dir] [options]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
here=$(cd "$(dirname "$0")" && pwd)
exec timeout -k 10 3600 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    /usr/bin/python3 "$here/sound_server_latency.py" --build "$build" "$@"
