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
unformatted=()
for f in "${files[@]}"; do
    if ! "$format" --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
        unformatted+=("$f")
    fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
    printf '%s\n' "${unformatted[@]}"
    echo "check-format: ${#unformatted[@]} file(s) are not formatted; scripts/check-format.sh --fix formats them" >&2
    exit 1
fi
