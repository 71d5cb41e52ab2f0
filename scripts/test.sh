#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
# Under CI (CI=true) the sanitizer build is tested.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${CI:-}" = "true" ]; then
    export TAVOX_SANITIZE=1
fi
"$root/scripts/install-deps.sh"
build=$("$root/scripts/build.sh" | tail -n 1)
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 600
# The reader's threads under ThreadSanitizer, as a short job of its own.
if [ "${CI:-}" = "true" ]; then
    "$root/scripts/tsan.sh"
fi
