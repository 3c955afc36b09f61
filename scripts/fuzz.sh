#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for SECONDS (default 60).
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
"$root/scripts/setup-debian.sh"
build_dir=$root/build-fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKAVVIX_BUILD_FUZZ=ON -DKAVVIX_BUILD_TESTS=OFF -DKAVVIX_BUILD_BENCH=OFF -DKAVVIX_BUILD_APPS=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for fuzzer in $(find "$build_dir/fuzz" -maxdepth 2 -type f -executable -name 'fuzz_*' | sort); do
    name=$(basename "$fuzzer")
    corpus=$build_dir/corpus/$name
    mkdir -p "$corpus"
    seeds=$root/fuzz/seeds/$name
    echo "== $name (${seconds}s)"
    if ! "$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
        "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >"$build_dir/$name.log" 2>&1; then
        echo "FAILED: $name (see $build_dir/$name.log)"; tail -40 "$build_dir/$name.log"; status=1
    else
        grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$build_dir/$name.log" | tail -1
    fi
done
exit $status
