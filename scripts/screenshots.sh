#!/usr/bin/env bash
# Takes pictures of the login, every page of the main sheet, the two small dialogs and the
# certificates dialog on a virtual X display (Xvfb), with the demo sandbox's settings.
#
#   scripts/screenshots.sh [OUT_DIR]      default: build/screenshots
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=$("$root/scripts/build.sh" | tail -n 1)
out=$(mkdir -p "${1:-$build/screenshots}" && cd "${1:-$build/screenshots}" && pwd)
# shellcheck source=demo-sandbox.sh
source "$root/scripts/demo-sandbox.sh"
prepare_demo_sandbox "$build"

rm -f "$out"/*.png
xvfb-run -a -s "-screen 0 1280x900x24" \
    env QT_QPA_PLATFORM=xcb TAVOX_SCREENSHOT_DIR="$out" \
    "$build/tests/ui_screenshots" >/dev/null
count=$(find "$out" -name '*.png' | wc -l)
if [ "$count" -eq 0 ]; then
    echo "screenshots: no pictures were taken" >&2
    exit 1
fi
echo "$count pictures in $out"
