#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo: a sample meet in a temporary SQLite file,
# the console simulator on a pseudo-terminal, and a headless upload of one event.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" >/dev/null
exec "$root/build/apps/kavvix/kavvix" demo "$@"
