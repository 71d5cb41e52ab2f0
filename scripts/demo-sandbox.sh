#!/usr/bin/env bash
# The demo sandbox under demo/: its own machine and per-user settings stores and a service
# directory with a small configured plant, made with tavox-admin: a boiler whose temperature
# has a level alarm with four limits, whose burner switch has an alarm and whose pressure is
# historized, and two users of the server, "operator" (read and write, password
# "operator-demo") and "viewer" (read only, password "viewer-demo").
#
#   scripts/demo-sandbox.sh BUILD_DIR [--reset]      prepares it and prints its environment
#   source scripts/demo-sandbox.sh; prepare_demo_sandbox BUILD_DIR [--reset]
#                                                    prepares it and exports TAVOX_REGISTRY,
#                                                    TAVOX_USER_REGISTRY and TAVOX_DEMO_DIR
#
# An existing sandbox is kept as it is (values already stored stay); --reset starts afresh.
# TAVOX_DEMO_DIR names another folder than demo/, TAVOX_ADMIN another tavox-admin than the
# build's (the daemon's end-to-end test makes its sandbox so).

# The plant's alarms, history and users, once, when the sandbox is made.
configure_demo_plant() {
    local admin=$1
    "$admin" alarms set 'ns=1;s=Boiler.Temperature' --high-high 95 --high 90 --low 10 --low-low 5 >/dev/null &&
        "$admin" alarms set 'ns=1;s=Boiler.BurnerOn' >/dev/null &&
        "$admin" history on 'ns=1;s=Boiler.Pressure' >/dev/null &&
        printf '%s\n' operator-demo | "$admin" users add operator --rights r,w --replace --password-stdin >/dev/null &&
        printf '%s\n' viewer-demo | "$admin" users add viewer --rights r --replace --password-stdin >/dev/null
}

prepare_demo_sandbox() {
    local build=${1:?usage: prepare_demo_sandbox BUILD_DIR [--reset]}
    local reset=${2:-}
    local root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    local admin=${TAVOX_ADMIN:-$build/tools/tavox-admin}
    if [ ! -x "$admin" ]; then
        echo "demo-sandbox: $admin is missing; build first" >&2
        return 1
    fi

    export TAVOX_DEMO_DIR="${TAVOX_DEMO_DIR:-$root/demo}"
    export TAVOX_REGISTRY="$TAVOX_DEMO_DIR/registry.db"
    export TAVOX_USER_REGISTRY="$TAVOX_DEMO_DIR/user-registry.db"
    local service="$TAVOX_DEMO_DIR/service"
    if [ "$reset" = "--reset" ]; then
        rm -rf "$TAVOX_DEMO_DIR"
    fi
    mkdir -p "$service"
    local fresh=0
    if [ ! -e "$service/NodeConfig.xml" ]; then
        cp "$root/resources/demo/NodeConfig.xml" "$service/NodeConfig.xml"
        fresh=1
    fi

    local key='HKLM\SOFTWARE\MORVANE\Tavox Server'
    local host
    host=$(hostname)
    "$admin" init --service-path "$service/" >/dev/null || return 1
    # The server writes its endpoint URLs when it starts; the sandbox has them from the outset.
    if ! "$admin" reg query "$key" /v UaTcpUri >/dev/null 2>&1; then
        "$admin" reg add "$key" /v UaTcpUri /t REG_SZ /d "opc.tcp://$host:48010" >/dev/null || return 1
        "$admin" reg add "$key" /v HttpsUri /t REG_SZ /d "https://$host:48011" >/dev/null || return 1
    fi
    "$admin" reg add 'HKCU\Software\MORVANE\Tavox Utility' >/dev/null || return 1
    if [ "$fresh" = 1 ]; then
        # Without its file the sandbox counts as new again: the next run configures it anew.
        configure_demo_plant "$admin" || { rm -f "$service/NodeConfig.xml"; return 1; }
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    prepare_demo_sandbox "$@"
    echo "TAVOX_REGISTRY=$TAVOX_REGISTRY"
    echo "TAVOX_USER_REGISTRY=$TAVOX_USER_REGISTRY"
    echo "TAVOX_DEMO_DIR=$TAVOX_DEMO_DIR"
fi
