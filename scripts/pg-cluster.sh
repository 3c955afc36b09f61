#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the database tests, on a Unix socket in a temp folder.
#   eval "$(scripts/pg-cluster.sh start)"   prints the KAVVIX_TEST_PG_* variables to export
#   scripts/pg-cluster.sh stop DIR           stops it and removes DIR
#   scripts/pg-cluster.sh halt DIR           shuts the server down, keeping its data
#   scripts/pg-cluster.sh resume DIR         starts a halted server again on the same port
set -euo pipefail
bin=/usr/lib/postgresql/15/bin

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

start_server() {
    as_owner "$bin/pg_ctl" -D "$1/data" -l "$1/server.log" -w \
        -o "-k $1 -p $(cat "$1/port") -c listen_addresses='' -c fsync=off" start >/dev/null
}

case "${1:-}" in
start)
    dir=$(mktemp -d /tmp/kavvix-pg.XXXXXX)
    [ "$(id -u)" -ne 0 ] || chown postgres "$dir"
    user=$([ "$(id -u)" -eq 0 ] && echo postgres || id -un)
    as_owner "$bin/initdb" -D "$dir/data" -U "$user" --auth=trust -E UTF8 >"$dir/initdb.log" 2>&1
    echo $((40000 + RANDOM % 20000)) >"$dir/port"
    start_server "$dir"
    port=$(cat "$dir/port")
    echo "export KAVVIX_TEST_PG_HOST=$dir KAVVIX_TEST_PG_PORT=$port KAVVIX_TEST_PG_USER=$user KAVVIX_TEST_PG_DIR=$dir"
    ;;
stop)
    dir=${2:?cluster folder}
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
halt)
    as_owner "$bin/pg_ctl" -D "${2:?cluster folder}/data" -m fast -w stop >/dev/null
    ;;
resume)
    start_server "${2:?cluster folder}"
    ;;
*)
    echo "usage: $0 start | stop DIR | halt DIR | resume DIR" >&2
    exit 2
    ;;
esac
