#!/usr/bin/env bash
# The ranking server under wrk, on SQLite and on a throwaway PostgreSQL.
exec "$(dirname "$0")/ranking_load.py" "${1:-build}" --postgres
