#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests and benchmarks of the ranking
# server: its own data directory, a free port on 127.0.0.1 only, no password
# (trust on loopback), one database "zankoruc".
#
#   tools/pg-throwaway.sh start DIR   starts a fresh cluster kept under DIR and
#                                     prints its connection URI (also in DIR/uri)
#   tools/pg-throwaway.sh stop DIR    stops it and deletes its data; does
#                                     nothing when no cluster runs there
#
# As root the server runs as the "postgres" user (PostgreSQL refuses root).
# When that user cannot reach DIR, the data go to a folder under /tmp that
# DIR/base names. PG_BINDIR chooses the server programs; by default the
# newest /usr/lib/postgresql/*/bin.
set -euo pipefail

database=zankoruc
superuser=postgres

die() {
    echo "pg-throwaway: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}

find_bindir() {
    if [ -n "${PG_BINDIR:-}" ]; then
        [ -x "$PG_BINDIR/initdb" ] || die "PG_BINDIR=$PG_BINDIR holds no initdb"
        echo "$PG_BINDIR"
        return
    fi
    local dir
    dir=$(find /usr/lib/postgresql -mindepth 2 -maxdepth 2 -name bin -type d 2>/dev/null |
        sort -V | tail -n 1)
    if [ -n "$dir" ] && [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ]; then
        echo "$dir"
        return
    fi
    die "no PostgreSQL server programs (initdb, pg_ctl) under /usr/lib/postgresql/*/bin;" \
        "install the postgresql package (tools/install-deps.sh does)"
}

# Runs a command as the user the server runs as.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$owner" -- "$@"
    else
        "$@"
    fi
}

# The folder holding the data directory and the server's log.
base_of() {
    local dir=$1
    if [ -f "$dir/base" ]; then
        cat "$dir/base"
    else
        echo "$dir"
    fi
}

stop_cluster() {
    local dir=$1 base data
    [ -d "$dir" ] || return 0
    base=$(base_of "$dir")
    data=$base/data
    if [ -f "$data/postmaster.pid" ]; then
        [ -n "$bindir" ] || bindir=$(find_bindir)
        if ! as_owner "$bindir/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null 2>&1; then
            as_owner "$bindir/pg_ctl" -D "$data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
        fi
        if as_owner "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1; then
            die "the cluster in $data does not stop; see $base/postgres.log"
        fi
    fi
    rm -rf "$data" "$dir/uri"
    if [ "$base" != "$dir" ]; then
        # Keep the server's last log next to the URI it served.
        [ -f "$base/postgres.log" ] && cp "$base/postgres.log" "$dir/postgres.log"
        rm -rf "$base"
        rm -f "$dir/base"
    fi
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start_cluster() {
    local dir=$1 base data log port attempt
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    stop_cluster "$dir"

    base=$dir
    if [ "$(id -u)" -eq 0 ]; then
        getent passwd "$owner" >/dev/null ||
            die "as root the server runs as the user $owner, which does not exist" \
                "(the postgresql package makes it)"
        chown "$owner" "$dir"
        if ! runuser -u "$owner" -- test -w "$dir"; then
            base=$(mktemp -d /tmp/zankoruc-pg.XXXXXX)
            chown "$owner" "$base"
            echo "$base" >"$dir/base"
        fi
    fi
    data=$base/data
    log=$base/postgres.log

    as_owner "$bindir/initdb" -D "$data" -U "$superuser" --auth=trust --encoding=UTF8 \
        --no-locale --no-sync >"$base/initdb.log" 2>&1 ||
        die "initdb failed:"$'\n'"$(cat "$base/initdb.log")"
    cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = ''
EOF

    local started=""
    for attempt in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        port_in_use "$port" && continue
        as_owner rm -f "$log"
        if as_owner "$bindir/pg_ctl" -D "$data" -l "$log" -o "-p $port" -w -t 60 start \
            >/dev/null 2>&1; then
            started=yes
            break
        fi
        # Another program may have taken the port in the meantime: try another.
        if ! grep -q "could not bind\|could not create any TCP/IP sockets" "$log" 2>/dev/null; then
            die "the server did not start; the end of its log ($log):"$'\n'"$(tail -n 20 "$log" 2>/dev/null)"
        fi
    done
    [ -n "$started" ] || die "no free port found for the server"

    for attempt in $(seq 1 60); do
        "$bindir/pg_isready" -q -h 127.0.0.1 -p "$port" -t 1 && break
        [ "$attempt" -eq 60 ] && die "the server on port $port never became ready; see $log"
        sleep 0.5
    done
    "$bindir/createdb" -h 127.0.0.1 -p "$port" -U "$superuser" "$database" ||
        die "cannot create the database $database on port $port"

    local uri="postgresql://$superuser@127.0.0.1:$port/$database"
    echo "$uri" >"$dir/uri"
    echo "$uri"
}

[ $# -eq 2 ] || usage
owner=postgres
bindir=""
case "$1" in
start)
    bindir=$(find_bindir)
    start_cluster "$2"
    ;;
stop) stop_cluster "$2" ;;
*) usage ;;
esac
