#!/usr/bin/env bash
# Starts the utility on the demo sandbox: its own settings stores and service directory under
# demo/ with a small configured plant (scripts/demo-sandbox.sh). The service "Tavox Server" is
# the daemon with the build's engine, run by a stand-in of the systemd manager on a private bus,
# so that Start, Stop and Restart work without touching the machine's services; it is started
# at once, and ./scripts/opcua-client.sh talks to it. Log in with the password tavox-demo.
# DEMO_RESET=1 starts the sandbox afresh (and so brings the demo password back).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
readonly demo_password=tavox-demo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'EOT'
There is no display to show the utility on (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run the demo from a desktop session (or over "ssh -X"), or start it on a virtual display:

    xvfb-run -a -s "-screen 0 1280x900x24" ./scripts/demo.sh

It then runs unseen until you end it with Ctrl+C; ./scripts/screenshots.sh takes pictures
of the login and every page that way.
EOT
    exit 1
fi

"$root/scripts/install-deps.sh"
build=$("$root/scripts/build.sh" | tail -n 1)
# shellcheck source=demo-sandbox.sh
source "$root/scripts/demo-sandbox.sh"
if [ "${DEMO_RESET:-0}" = "1" ]; then
    prepare_demo_sandbox "$build" --reset
else
    prepare_demo_sandbox "$build"
fi
admin="$build/tools/tavox-admin"
if ! "$admin" reg query 'HKCU\Software\MORVANE\Tavox Utility\Setting' /v Pwd >/dev/null 2>&1; then
    printf '%s\n' "$demo_password" | "$admin" set-login-password --stdin >/dev/null
fi

helpers=()
stop_helpers() {
    local i
    for ((i = ${#helpers[@]} - 1; i >= 0; i--)); do
        kill "${helpers[i]}" 2>/dev/null || true
        wait "${helpers[i]}" 2>/dev/null || true
    done
}
trap stop_helpers EXIT

# Waits up to five seconds for a line matching $2 in the file $1.
wait_for_line() {
    local tries
    for ((tries = 0; tries < 50; tries++)); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

start_demo_service() {
    local daemon="$build/server/tavox-server"
    if ! command -v dbus-daemon >/dev/null || [ ! -x "$daemon" ] \
        || ! /usr/bin/python3 -c 'import dbus, gi' 2>/dev/null; then
        echo "The stand-in service cannot run here; the utility shows the service as unreachable." >&2
        return 0
    fi
    local bus_file="$TAVOX_DEMO_DIR/bus-address" log="$TAVOX_DEMO_DIR/service.log"
    : >"$bus_file"
    dbus-daemon --session --nofork --nopidfile --print-address=1 >"$bus_file" 2>/dev/null &
    helpers+=($!)
    if ! wait_for_line "$bus_file" '.'; then
        echo "The private bus did not start; the utility shows the service as unreachable." >&2
        return 0
    fi
    DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$bus_file")
    export DBUS_SYSTEM_BUS_ADDRESS
    # The daemon serves OPC UA through its engine as the build leaves it, packages included.
    local engine="$build/server/engine"
    if [ ! -f "$engine/server.js" ]; then
        echo "The engine is not built ($engine): the service will not start." >&2
    fi
    TAVOX_ENGINE="$engine" /usr/bin/python3 "$root/tests/platform/systemd_peer.py" tavox-server.service -- "$daemon" \
        >"$log" 2>&1 &
    helpers+=($!)
    if ! wait_for_line "$log" '^ready'; then
        echo "The stand-in service manager did not start; see $log." >&2
        return 0
    fi
    # The server runs from the outset, as an installed one does; the Status page shows its start.
    "$admin" service start >>"$log" 2>&1 &
    helpers+=($!)
}
start_demo_service

cat <<EOT
Demo sandbox: $TAVOX_DEMO_DIR (the service's log: $TAVOX_DEMO_DIR/service.log)
The server's users: operator (password operator-demo), viewer (password viewer-demo); try
    ./scripts/opcua-client.sh write 'ns=1;s=Boiler.Temperature' 97 --user operator --password operator-demo
Starting Tavox Server Utility: log in with the password  $demo_password
It stays in the notification area when its window is closed; "Exit" in the icon's menu ends it.
EOT
"$build/tools/tavox-utility"
