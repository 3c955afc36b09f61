#!/usr/bin/env bash
# The /live feed at K clients: `kavvix serve` with judged dives written to its console's
# pseudo-terminal, then the python3-websockets broadcast() server sending the very message the
# service sent, each measured by the same load client (bench_feed) in a process of its own.
#   scripts/bench-feed.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
clients=${KAVVIX_BENCH_FEED_CLIENTS:-500 2000 10000}
dives=${KAVVIX_BENCH_FEED_DIVES:-20}
# Each client is a descriptor on both sides: as many as the system allows this shell.
ulimit -n "$(ulimit -Hn)"
work=$(mktemp -d "${KAVVIX_BENCH_DIR:-/dev/shm}/kavvix-feed.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/apps/kavvix/kavvix" sample-db "$work/template.sqlite" >/dev/null
status=0 # a run where some client missed a dive fails the whole, after the others ran
for k in $clients; do
    cp "$work/template.sqlite" "$work/meet.sqlite"
    rm -f "$work/journal"
    printf 'kavvix serve        '
    "$build/bench/feed/bench_feed" --clients "$k" --dives "$dives" --trigger pty \
        --save-message "$work/message.json" --server-log "$work/serve.log" -- \
        "$build/apps/kavvix/kavvix" serve --db "$work/meet.sqlite" --meet RIV26 --port 3 \
        --event E12 --listen "127.0.0.1:{port}" --journal "$work/journal" || status=1
    printf 'websockets anchor   '
    "$build/bench/feed/bench_feed" --clients "$k" --dives "$dives" --trigger stdin \
        --message "$work/message.json" -- \
        /usr/bin/python3 "$root/bench/feed/broadcast_server.py" "{port}" || status=1
done
exit $status
