#!/usr/bin/env bash
# Builds in Release (build-release/) and runs every benchmark: parse rate, receive rate with
# peak memory, bulk against one character a call, building an event's frames, the upload's
# turnaround over a pseudo-terminal, the receivers fed through the Python module, and the /live
# feed at many clients beside a python3-websockets broadcast server given the same messages,
# and a dive from the pool's service to the clients of mirrors, directly and through nginx.
#   scripts/bench.sh [parsers|omnisport|bulk|upload|serial|service|python|feed|mirror ...]
# feed: KAVVIX_BENCH_FEED_CLIENTS (default "500 2000 10000") and KAVVIX_BENCH_FEED_DIVES (20);
# mirror: KAVVIX_BENCH_MIRROR_CLIENTS and KAVVIX_BENCH_MIRROR_DIVES, the same defaults.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
BUILD_DIR=$root/build-release BUILD_TYPE=Release "$root/scripts/build.sh" \
    -DKAVVIX_BUILD_TESTS=OFF -DKAVVIX_BUILD_BENCH=ON >/dev/null
export QT_QPA_PLATFORM=offscreen
areas=("$@")
[ ${#areas[@]} -gt 0 ] || areas=(parsers omnisport bulk upload serial service feed mirror)
for area in "${areas[@]}"; do
    echo "== $area"
    if [ "$area" = feed ]; then
        "$root/scripts/bench-feed.sh" "$root/build-release"
    elif [ "$area" = mirror ]; then
        "$root/scripts/bench-mirror.sh" "$root/build-release"
    elif [ "$area" = python ]; then
        PYTHONPATH=$root/build-release/python /usr/bin/python3 "$root/bench/python/feed_capture.py"
    elif [ "$area" = service ]; then # a plain program: latency, throughput, memory
        "$root/build-release/bench/service/bench_service"
    elif [ "$area" = bulk ]; then # MB/s per way of feeding, the Python module's beside them
        "$root/build-release/bench/bulk/bench_bulk"
        PYTHONPATH=$root/build-release/python /usr/bin/python3 "$root/bench/python/feed_capture.py"
    else
        "$root/build-release/bench/$area/bench_$area" --benchmark_counters_tabular=true
    fi
done
