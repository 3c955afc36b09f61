#!/usr/bin/env bash
# CI, after scripts/test.sh has built build/: makes the Debian packages (lintian included),
# installs them on this machine, and checks what they installed: the tool runs, a C host builds
# with the kavvix-c pkg-config file and warnings as errors, Debian's python3 imports the module
# and knows its version, the systemd unit passes systemd-analyze, and the unit's command line
# serves health and metrics, and the man page holds every command's help (tests/package/*.py
# over the installed files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

"$root/scripts/package.sh"
"${sudo_cmd[@]}" dpkg -i "$root"/build/packages/*.deb

/usr/bin/kavvix --version
# The whole listing first: grep -q leaving early would break the pipe under pipefail.
contents=$(dpkg-deb -c "$root"/build/packages/kavvix_*.deb)
grep -q "/man1/kavvix.1.gz$" <<<"$contents"
grep -q "/doc/kavvix/examples/kavvix-mirrors.conf$" <<<"$contents"
# A minimal image may keep dpkg from writing man pages (path-exclude); then the built one.
man_page=/usr/share/man/man1/kavvix.1.gz
[ -f "$man_page" ] || man_page=$root/build/man/kavvix.1.gz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046  # the flags are words
cc -std=c11 -Wall -Wextra -Wpedantic -Werror "$root/examples/c/kavvix_host.c" \
    $(pkg-config --cflags --libs kavvix-c) -o "$work/kavvix_host"
"$work/kavvix_host" "$root/tests/data/allsport5000-j5-output.bin"

(cd "$work" && /usr/bin/python3 -c '
import importlib.metadata, kavvix
assert importlib.metadata.version("kavvix") == kavvix.__version__, kavvix.__version__
print("python3: kavvix", kavvix.__version__, "from", kavvix.__file__)')

unit=/usr/lib/systemd/system/kavvix.service
systemd-analyze verify "$unit"
systemd-analyze security --offline=yes --threshold=30 "$unit" | tail -1

(cd "$work" && KAVVIX_CLI=/usr/bin/kavvix KAVVIX_UNIT=$unit KAVVIX_MAN_PAGE=$man_page \
    PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -q -p no:cacheprovider \
    "$root/tests/package/test_service_unit.py" "$root/tests/package/test_man_page.py")
