#!/usr/bin/env bash
# Configures and builds with warnings as errors; prints the build folder on its last line.
# TAVOX_SANITIZE=1 builds with AddressSanitizer and UBSan in build-asan/. Installs nothing:
# scripts/install-deps.sh brings the packages (test.sh and demo.sh run it first).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${TAVOX_SANITIZE:-0}" = "1" ]; then
    build="$root/build-asan"
    extra=(-DTAVOX_SANITIZE=ON -DTAVOX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
else
    build="$root/build"
    extra=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi
cmake -S "$root" -B "$build" -G Ninja -DTAVOX_WERROR=ON "${extra[@]}" >&2
cmake --build "$build" -j "$(nproc)" >&2
echo "$build"
