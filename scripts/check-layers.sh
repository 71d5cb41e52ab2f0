#!/usr/bin/env bash
# Fails when a file includes what its layer may not see: a project header of a folder that the
# table below does not allow (an upward or a sideways include), or a Qt header outside the
# user-interface layer.
# Usage: check-layers.sh [ROOT]   (ROOT defaults to the repository)
#
# Each row names a folder, its level (what lies lower is below it) and the folders whose headers
# it may include besides its own. Headers are included by folder ("platform/Registry.h"); an
# include without a folder is one of the includer's own, one that starts with "../" one of the
# folder above. Test data under tests/data is not code and is not checked; tests may include
# every layer. Qt may be included only in the user-interface folders, their tests, the
# user-interface test support files tests/testing/Ui* and the user-interface benchmarks bench/ui.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

below_logic="support uatypes uaxml uanodes uareader uastack platform"
logic="config service users nodeconfig history snapshots certificates"
features="pages users/ui nodeconfig/ui history/ui certificates/ui"

declare -A level allowed
row() { level[$1]=$2; allowed[$1]="$1 ${*:3}"; }
row support        0
# The OPC UA library: value types, the XML document layer beside them, the node model over the
# value types alone, and the nodeset reader over all three.
row uatypes        1 support
row uaxml          1 support
row uanodes        2 support uatypes
row uareader       3 support uatypes uaxml uanodes
row uastack        1 support
row platform       1 support
for folder in $logic; do
    # The configuration store and the server's key are the logic's common ground.
    row "$folder"  4 $below_logic config
done
row uikit          5 $below_logic $logic
# The About page opens the login password dialog; the Endpoints page opens the certificates dialog.
row pages          6 $below_logic $logic uikit users/ui certificates/ui
row users/ui       6 $below_logic $logic uikit
row nodeconfig/ui  6 $below_logic $logic uikit
row history/ui     6 $below_logic $logic uikit
row certificates/ui 6 $below_logic $logic uikit
row app            7 $below_logic $logic uikit $features
row tavox-admin    5 $below_logic $logic
row tavox-nodeset  5 support uatypes uaxml uanodes uareader
row tavox-utility  8 $below_logic $logic uikit $features app
row server         5 $below_logic $logic
# Benchmarks and fuzz targets drive what they measure or feed from outside, as a program does.
row bench          6 $below_logic $logic tavox-admin testing
row bench/ui       8 $below_logic $logic uikit $features bench testing
row fuzz           6 $below_logic $logic tavox-admin
# The tests' shared helpers (tests/testing): the benchmarks set up their stores with them.
row testing        9

# The table row of a file, from its path, in $from; empty for files that are not checked.
folder_of_file() {
    local rest
    case "$1" in
        src/*/ui/*) rest=${1#src/}; from="${rest%%/ui/*}/ui" ;;
        src/*/*) rest=${1#src/}; from=${rest%%/*} ;;
        tools/*/*) rest=${1#tools/}; from=${rest%%/*} ;;
        bench/ui/*) from=bench/ui ;;
        server/* | bench/* | fuzz/*) from=${1%%/*} ;;
        *) from="" ;;
    esac
}

# The table row of an included header in $to ("users/ui/CPgUsers.h" -> users/ui); empty for a
# header of the includer's own folder; the includer's parent row ($from without its last part)
# for one of the folder above.
folder_of_include() {
    case "$1" in
        ../*/*) to=".." ;;
        ../*) case "$from" in */*) to=${from%/*} ;; *) to=".." ;; esac ;;
        */ui/*) to="${1%%/ui/*}/ui" ;;
        */*) to=${1%%/*} ;;
        *) to="" ;;
    esac
}

dirs=()
for d in src tools server tests bench fuzz; do
    [ -d "$d" ] && dirs+=("$d")
done
[ ${#dirs[@]} -eq 0 ] && exit 0

status=0
complain() {
    echo "$1" >&2
    status=1
}

# Qt stays in the user-interface layer and its tests.
qt_allowed='^(src/(uikit|app|pages|[^/]+/ui)|tools/tavox-utility|tests/(uikit|app|pages|[^/]+/ui)|bench/ui)/|^tests/testing/Ui[^/]*$'
while IFS= read -r hit; do
    file=${hit%%:*}
    case "$file" in tests/data/*) continue ;; esac
    [[ "$file" =~ $qt_allowed ]] || complain "$hit: Qt is included outside the user-interface layer"
done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "${dirs[@]}" | sort -t: -k1,1 -k2,2n || true)

# Project headers: only what the includer's row allows (in file order, so that reports are stable).
while IFS= read -r hit; do
    file=${hit%%:*}
    folder_of_file "$file"
    [ -z "$from" ] && continue
    if [ -z "${level[$from]:-}" ]; then
        complain "$hit: the folder $from is not in the layer table of scripts/check-layers.sh"
        continue
    fi
    header=${hit#*\"}
    header=${header%%\"*}
    folder_of_include "$header"
    [ -z "$to" ] && continue
    if [ -z "${level[$to]:-}" ]; then
        complain "$hit: $header is in no folder of the layer table"
        continue
    fi
    case " ${allowed[$from]} " in *" $to "*) continue ;; esac
    if [ "${level[$to]}" -gt "${level[$from]}" ]; then
        complain "$hit: $from may not include $to (upward)"
    else
        complain "$hit: $from may not include $to (sideways)"
    fi
done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src tools server bench fuzz 2>/dev/null | sort -t: -k1,1 -k2,2n || true)
exit $status
