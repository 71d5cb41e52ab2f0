#!/usr/bin/env bash
# Builds the Debian package tavox-server-utility_<version>_amd64.deb from a Release build
# without tests or benchmarks (in build-package/, or BUILD_DIR) and prints its path.
# Installs what is missing first, as test.sh does.
#
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTAVOX_WERROR=ON -DTAVOX_BUILD_TESTS=OFF -DTAVOX_BUILD_BENCH=OFF >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/tavox-server-utility_*.deb
