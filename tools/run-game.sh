#!/usr/bin/env bash
# Starts the game from the generated game directory. When the ranking host is
# this machine and nothing listens there yet, a local ranking server starts
# first (its scores in ~/.local/share/zankoruc) and stops when the game ends,
# so a won game's Send gets an answer out of the box.
#
#   tools/run-game.sh [BUILD_DIR [GAME_OPTION...]]
#
# The build folder (default build/) is the first argument; the rest go to the
# game. Its status is the game's.
set -uo pipefail
build="$(cd "${1:-build}" && pwd)" || exit 1
[ $# -gt 0 ] && shift

host="${ZANKORUC_RANKING_HOST:-}"
if [ -z "$host" ]; then
    host="$(sed -n 's/^ZANKORUC_RANKING_HOST:STRING=//p' "$build/CMakeCache.txt")"
fi
address="${host%:*}"
port="${host##*:}"
[ "$port" = "$host" ] && port=80

listening() {
    (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null
}

server_pid=""
case "$address" in
127.0.0.1 | localhost)
    if ! listening; then
        "$build/zankoruc-ranking" --listen "127.0.0.1:$port" &
        server_pid=$!
        for _ in $(seq 50); do
            listening && break
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        if ! listening; then
            echo "The local ranking server did not start; the game runs without it." >&2
        fi
    fi
    ;;
esac

# SIGTERM, SIGINT or SIGHUP to this script end the game as SIGTERM does
# (settings saved, status 0), and then the server.
(cd "$build/game" && exec ../zankoruc "$@") &
game_pid=$!
signalled=""
trap 'signalled=1; kill -TERM "$game_pid" 2>/dev/null' TERM INT HUP
wait "$game_pid"
status=$?
if [ -n "$signalled" ]; then  # the signal ended the first wait, not the game
    wait "$game_pid"
    status=$?
fi
if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
fi
exit $status
