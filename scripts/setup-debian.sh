#!/usr/bin/env bash
# Installs the Debian 12 packages Kavvix builds, tests and runs with; only what is missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
    qt6-httpserver-dev qt6-websockets-dev python3-websockets libqrencode-dev
    python3-dev python3-pybind11 pybind11-dev python3-pytest
    libqt6sql6-sqlite libqt6sql6-psql fonts-dejavu-core
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    postgresql nginx
    chromium chromium-driver python3-selenium
    libsystemd-dev lintian help2man bash-completion dpkg-dev file man-db adduser
    systemd
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
