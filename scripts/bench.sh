#!/usr/bin/env bash
# Builds in Release (build-release/) and runs every benchmark: parse rate, receive rate with
# peak memory, bulk against one character a call, building an event's frames, the upload's
# turnaround over a pseudo-terminal, and the receivers fed through the Python module.
#   scripts/bench.sh [parsers|omnisport|bulk|upload|serial|service|python ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
BUILD_DIR=$root/build-release BUILD_TYPE=Release "$root/scripts/build.sh" \
    -DKAVVIX_BUILD_TESTS=OFF -DKAVVIX_BUILD_BENCH=ON >/dev/null
export QT_QPA_PLATFORM=offscreen
areas=("$@")
[ ${#areas[@]} -gt 0 ] || areas=(parsers omnisport bulk upload serial service)
for area in "${areas[@]}"; do
    echo "== $area"
    if [ "$area" = python ]; then
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
