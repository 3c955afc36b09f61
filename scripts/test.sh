#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test, the PostgreSQL
# ones against a throwaway cluster. --sanitize builds and runs them under ASan + UBSan instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"

build_dir=$root/build
# Line tables are all a failure's stack trace needs, and they compile a fifth faster than -g.
cmake_args=(-DKAVVIX_WERROR=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
            -DCMAKE_CXX_FLAGS_DEBUG=-g1)
if [ "${1:-}" = "--sanitize" ]; then
    build_dir=$root/build-asan
    export BUILD_TYPE=${BUILD_TYPE:-Debug}
    cmake_args+=(-DKAVVIX_SANITIZE=ON -DKAVVIX_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
BUILD_DIR=$build_dir "$root/scripts/build.sh" "${cmake_args[@]}"

eval "$("$root/scripts/pg-cluster.sh" start)"
export KAVVIX_REQUIRE_PG=1
trap '"$root/scripts/pg-cluster.sh" stop "$KAVVIX_TEST_PG_DIR"' EXIT
# The tests' services read no configuration file of this machine's, only what a test gives them.
export KAVVIX_CONFIG=
cd "$build_dir"
ctest --output-on-failure -j"$(nproc)"
