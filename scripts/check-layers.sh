#!/usr/bin/env bash
# Fails when a Qt header is included outside the user-interface layer.
# Usage: check-layers.sh [ROOT]   (ROOT defaults to the repository)
#
# Qt may be included only in src/app, src/pages, src/*/ui, tools/tavox-utility, the tests of
# those (tests/app, tests/pages, tests/*/ui), the user-interface test support files
# tests/support/Ui* and the user-interface benchmarks bench/ui. Test data under tests/data is
# not code and is not checked.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

allowed='^(src/(app|pages|[^/]+/ui)|tools/tavox-utility|tests/(app|pages|[^/]+/ui)|bench/ui)/|^tests/support/Ui[^/]*$'
dirs=()
for d in src tools server tests bench fuzz; do
    [ -d "$d" ] && dirs+=("$d")
done
[ ${#dirs[@]} -eq 0 ] && exit 0

status=0
while IFS= read -r hit; do
    file=${hit%%:*}
    case "$file" in tests/data/*) continue ;; esac
    if ! [[ "$file" =~ $allowed ]]; then
        echo "$hit: Qt is included outside the user-interface layer" >&2
        status=1
    fi
done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]Q' "${dirs[@]}" || true)
exit $status
