#!/usr/bin/env bash
# A dive from the pool's service to the feed clients of mirrors: the pool's `kavvix serve`
# stores each judged dive written to its console's pseudo-terminal in a PostgreSQL meet
# database (a throwaway cluster, scripts/pg-cluster.sh); K clients of the load client
# (bench_feed, a process of its own) are connected to one mirror directly, then through nginx
# (the packaged site, scripts/nginx_edge.py) to two mirrors. The time runs from the write to
# the console's line to the message at each client; CPU and memory are the mirrors' (and
# nginx's workers').
#   scripts/bench-mirror.sh BUILD_DIR
# KAVVIX_BENCH_MIRROR_CLIENTS (default "500 2000 10000") and KAVVIX_BENCH_MIRROR_DIVES (20).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
kavvix=$build/apps/kavvix/kavvix
clients=${KAVVIX_BENCH_MIRROR_CLIENTS:-500 2000 10000}
dives=${KAVVIX_BENCH_MIRROR_DIVES:-20}
nginx=$(PATH=$PATH:/usr/sbin command -v nginx) || {
    echo "bench-mirror: nginx is not installed (scripts/setup-debian.sh installs it)" >&2
    exit 1
}
ulimit -n "$(ulimit -Hn)"
export KAVVIX_CONFIG= # the services read no configuration file of this machine's
work=$(mktemp -d "${KAVVIX_BENCH_DIR:-/dev/shm}/kavvix-mirror.XXXXXX")
chmod 755 "$work" # the cluster's server may run as another user
eval "$("$root/scripts/pg-cluster.sh" start)"
started=() # pids of the mirrors and nginx of the current run
stop_started() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
    started=()
}
cleanup() {
    stop_started
    "$root/scripts/pg-cluster.sh" stop "$KAVVIX_TEST_PG_DIR"
    rm -rf "$work"
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
wait_for_port() {
    for _ in $(seq 300); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "bench-mirror: nothing listens on port $1" >&2
    return 1
}
# A fresh meet database for each run, so that every run starts from the same dives.
meet_database() {
    local name=bench_mirror_$1
    PGOPTIONS='-c client_min_messages=warning' psql -h "$KAVVIX_TEST_PG_HOST" -p "$KAVVIX_TEST_PG_PORT" -U "$KAVVIX_TEST_PG_USER" \
        -d postgres -qc "DROP DATABASE IF EXISTS $name" -c "CREATE DATABASE $name" >/dev/null
    local url="postgresql://$KAVVIX_TEST_PG_USER@${KAVVIX_TEST_PG_HOST//\//%2F}:$KAVVIX_TEST_PG_PORT/$name"
    "$kavvix" sample-db "$url" >/dev/null
    echo "$url"
}
# Starts a mirror; its port in $mirror_port, its pid added to $started.
start_mirror() {
    mirror_port=$(free_port)
    "$kavvix" serve --mirror --db "$1" --meet RIV26 --listen "127.0.0.1:$mirror_port" \
        2>>"$work/mirrors.log" &
    started+=($!)
    wait_for_port "$mirror_port"
}
# bench_feed with the pool's service as its server: dives written to its console's line. The
# first dive after the start (statements prepared, names read) is not timed.
run_feed() {
    local url=$1
    shift
    rm -f "$work/journal"
    "$build/bench/feed/bench_feed" --clients "$k" --dives "$dives" --warm-up 1 --trigger pty \
        --server-log "$work/pool.log" "$@" -- \
        "$kavvix" serve --db "$url" --meet RIV26 --port 3 --event E12 \
        --listen "127.0.0.1:{port}" --journal "$work/journal"
}

status=0 # a run where some client missed a dive fails the whole, after the others ran
for k in $clients; do
    url=$(meet_database "direct_$k")
    start_mirror "$url"
    printf 'one mirror, direct    '
    run_feed "$url" --connect "$mirror_port" --measure "mirror=${started[0]}" || status=1
    stop_started

    url=$(meet_database "nginx_$k")
    start_mirror "$url"
    first=$mirror_port
    start_mirror "$url"
    edge_port=$(free_port)
    mkdir -p "$work/edge"
    python3 "$root/scripts/nginx_edge.py" "$work/edge" "$edge_port" "$first" "$mirror_port" \
        --clients-per-address "$((k + 100))" --workers 2
    "$nginx" -p "$work/edge" -c "$work/edge/nginx.conf" -e "$work/edge/error.log" \
        -g 'daemon off;' &
    started+=($!)
    wait_for_port "$edge_port"
    workers=$(pgrep -P "${started[2]}" | paste -sd,)
    printf 'nginx, two mirrors    '
    run_feed "$url" --connect "$edge_port" --measure "mirror=${started[0]},${started[1]}" \
        --measure "nginx=$workers" || { status=1; tail -3 "$work/edge/error.log" >&2; }
    stop_started
done
exit $status
