#!/usr/bin/env bash
# Checks that every C++ file git tracks is laid out as .clang-format says, with clang-format 14
# (Debian 12's): it lists the files that are not, and fails. With --fix it lays them out instead.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || true)
if [ -z "$format" ]; then
    echo "check-format: clang-format-14 is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "check-format: not a git checkout; nothing to check" >&2
    exit 0
fi
# The fixtures of the layer check are files as a broken tree would have them, not code of ours.
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' ':!:tests/data/**')
if [ "${1:-}" = "--fix" ]; then
    "$format" -i --style=file "${files[@]}"
    exit 0
fi
# One run over every file; each unformatted one is named once, by its first misplaced line.
rc=0
report=$("$format" --style=file --dry-run --Werror "${files[@]}" 2>&1) || rc=$?
[ "$rc" -eq 0 ] && exit 0
mapfile -t unformatted < <(sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | uniq)
if [ ${#unformatted[@]} -eq 0 ]; then
    echo "$report" >&2
    echo "check-format: clang-format-14 failed" >&2
    exit 1
fi
printf '%s\n' "${unformatted[@]}"
echo "check-format: ${#unformatted[@]} file(s) are not formatted; scripts/check-format.sh --fix formats them" >&2
exit 1
