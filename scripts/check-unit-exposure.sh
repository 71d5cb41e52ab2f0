#!/usr/bin/env bash
# Fails when systemd rates a unit file's exposure above a limit (default 2.5, on its scale
# 0 to 10). Exits 77, which CTest counts as skipped, when systemd-analyze is not installed.
# Usage: check-unit-exposure.sh UNIT_FILE [LIMIT]
set -euo pipefail
unit=${1:?usage: check-unit-exposure.sh UNIT_FILE [LIMIT]}
limit=${2:-2.5}

if ! command -v systemd-analyze >/dev/null; then
    echo "systemd-analyze is not installed (package systemd): the exposure of $unit is not checked" >&2
    exit 77
fi
# The tool's threshold counts in tenths.
threshold=$(awk -v l="$limit" 'BEGIN { printf "%d", l * 10 + 0.5 }')
status=0
report=$(systemd-analyze security --offline=true --no-pager --threshold="$threshold" "$unit" 2>&1) || status=$?
score=$(printf '%s\n' "$report" | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
if [ -z "$score" ]; then
    printf '%s\n' "$report" >&2
    echo "systemd-analyze did not rate $unit" >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    printf '%s\n' "$report" | grep '✗' >&2 || true
    echo "$unit: exposure $score is above $limit" >&2
    exit 1
fi
echo "$unit: exposure $score (at most $limit)"
