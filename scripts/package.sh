#!/usr/bin/env bash
# Builds the Debian packages into build/packages/ from the build tree (building it first when
# needed) and checks each with lintian: kavvix (the tool and the service), libkavvix1,
# libkavvix-dev and python3-kavvix.
#
# The packages install under /usr (libraries in the multiarch folder, the module where
# Debian's python3 looks), so the build tree is configured for that while CPack runs and set
# back afterwards; only what the layout changes is built again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
build_dir=${BUILD_DIR:-$root/build}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    BUILD_DIR=$build_dir "$root/scripts/build.sh" -DKAVVIX_WERROR=ON
fi

cached() {
    sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"
}
restore_args=()
for var in CMAKE_INSTALL_PREFIX CMAKE_INSTALL_LIBDIR KAVVIX_PYTHON_INSTALL_DIR; do
    if grep -q "^$var:" "$build_dir/CMakeCache.txt"; then
        restore_args+=("-D$var=$(cached "$var")")
    fi
done
restore() {
    cmake "$build_dir" "${restore_args[@]}" >/dev/null
}
trap restore EXIT

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
cmake "$build_dir" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR="lib/$multiarch" \
    -DKAVVIX_PYTHON_INSTALL_DIR=lib/python3/dist-packages >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
rm -rf "$build_dir/packages"
(cd "$build_dir" && cpack --config CPackConfig.cmake >/dev/null 2>&1) || (cd "$build_dir" && cpack --config CPackConfig.cmake)
rm -rf "$build_dir/packages/_CPack_Packages"

status=0
for deb in "$build_dir"/packages/*.deb; do
    echo "$(basename "$deb")"
    lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || status=1
done
exit $status
