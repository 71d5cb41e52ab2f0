#!/usr/bin/env bash
# Prepares a demo sandbox (its own settings stores and service directory) under demo/ and
# shows what it holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$("$root/scripts/build.sh" | tail -n 1)
echo "Built in $build"
