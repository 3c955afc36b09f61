#!/usr/bin/env bash
# scripts/soak.sh [MINUTES]: a meet day compressed into MINUTES (default 2), half of it on
# SQLite and half on PostgreSQL (a throwaway cluster of its own, which it stops and starts):
# kavvix serve with the console simulator, judged dives, feed clients, uploads, connection
# tests and faults at random moments. Prints the figures of each half as JSON and exits 1
# when a dive was lost or doubled, memory or open files grew, or something stalled for over
# a second outside a database outage. KAVVIX_TOOL names the kavvix tool (default: build/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-2}
tool=${KAVVIX_TOOL:-$root/build/apps/kavvix/kavvix}
seconds=$(python3 -c "import sys; print(float(sys.argv[1]) * 30)" "$minutes")

eval "$("$root/scripts/pg-cluster.sh" start)"
trap '"$root/scripts/pg-cluster.sh" stop "$KAVVIX_TEST_PG_DIR"' EXIT
status=0
python3 "$root/scripts/soak.py" --tool "$tool" --db sqlite --seconds "$seconds" || status=1
python3 "$root/scripts/soak.py" --tool "$tool" --db postgresql --seconds "$seconds" \
    --pg-dir "$KAVVIX_TEST_PG_DIR" || status=1
exit $status
