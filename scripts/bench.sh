#!/usr/bin/env bash
# Builds in Release (build-release/) and runs every benchmark: parse rate, receive rate with
# peak memory, building an event's frames, and the upload's turnaround over a pseudo-terminal.
#   scripts/bench.sh [parsers|omnisport|upload|serial ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
BUILD_DIR=$root/build-release BUILD_TYPE=Release "$root/scripts/build.sh" \
    -DKAVVIX_BUILD_TESTS=OFF -DKAVVIX_BUILD_BENCH=ON >/dev/null
export QT_QPA_PLATFORM=offscreen
areas=("$@")
[ ${#areas[@]} -gt 0 ] || areas=(parsers omnisport upload serial)
for area in "${areas[@]}"; do
    echo "== $area"
    "$root/build-release/bench/$area/bench_$area" --benchmark_counters_tabular=true
done
