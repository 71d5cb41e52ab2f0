#!/usr/bin/env bash
# Redraws the PNG icons under resources/icons/ from resources/icons/painter/IconPainter.cpp.
# Run it after changing the drawing, look at the result, and commit the PNG files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$root/resources/icons/painter" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$work" > /dev/null
QT_QPA_PLATFORM=offscreen "$work/icon-painter" "$root/resources/icons"
echo "Icons drawn into $root/resources/icons"
