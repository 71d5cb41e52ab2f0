#!/usr/bin/env bash
# Prepares a demo sandbox (its own settings stores and service directory) under demo/ and
# shows what it holds. DEMO_RESET=1 starts the sandbox afresh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" | tail -n 1)
# shellcheck source=demo-sandbox.sh
source "$root/scripts/demo-sandbox.sh"
if [ "${DEMO_RESET:-0}" = "1" ]; then
    prepare_demo_sandbox "$build" --reset
else
    prepare_demo_sandbox "$build"
fi

admin="$build/tools/tavox-admin"
echo "Demo sandbox in $TAVOX_DEMO_DIR"
echo "Machine store $TAVOX_REGISTRY:"
"$admin" reg query 'HKLM\SOFTWARE\MORVANE\Tavox Server'
echo "User store $TAVOX_USER_REGISTRY:"
"$admin" reg query 'HKCU\Software\MORVANE'
echo "Service directory $TAVOX_DEMO_DIR/service:"
ls -l "$TAVOX_DEMO_DIR/service"
