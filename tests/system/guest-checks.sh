#!/bin/bash
# Runs as root inside the guest that scripts/system-test.sh boots: installs the package and
# does what an administrator does with it, one line per check ("ok - ", "FAIL - ", "skip - ")
# and a closing count. The log, the guest's journal and the exit status go to the results
# folder; then the guest powers off.
set -uo pipefail

results=/mnt/tavox-results
here=$(dirname "$(readlink -f "$0")")
deb=$(echo /mnt/tavox-package/*.deb)
package=tavox-server-utility
unit=tavox-server.service
state=/var/lib/tavox
store=$state/registry.db
key='HKLM\SOFTWARE\MORVANE\Tavox Server'
engine=/usr/libexec/tavox-server/engine
admin=tavox-test-admin # a member of the group tavox
outsider=tavox-test-outsider
opc_user=tavox-test-opc
opc_password=opc-secret-1
export DEBIAN_FRONTEND=noninteractive SYSTEMD_PAGER='' SYSTEMD_COLORS=0

passed=0
failed=0
skipped=0
out=$(mktemp)

ok() {
    passed=$((passed + 1))
    echo "ok - $1"
}
fail() { # the output of the failed command follows, indented
    failed=$((failed + 1))
    echo "FAIL - $1"
    tail -n 25 "$out" | sed 's/^/    # /'
}
skip() {
    skipped=$((skipped + 1))
    echo "skip - $1"
}
# check DESCRIPTION COMMAND...: the command succeeds.
check() {
    local what=$1
    shift
    if "$@" >"$out" 2>&1; then ok "$what"; else fail "$what"; fi
}
# denied DESCRIPTION COMMAND...: the command fails, and says that it was not allowed.
denied() {
    local what=$1
    shift
    if "$@" >"$out" 2>&1; then
        echo "(the command succeeded)" >>"$out"
        fail "$what"
    elif grep -qiE 'access (is )?denied|interactive authentication required|permission denied|not permitted' "$out"; then
        ok "$what"
    else
        echo "(refused, but for another reason)" >>"$out"
        fail "$what"
    fi
}

as() { # as USER COMMAND...: a command of that user, with the user's groups, no terminal
    local user=$1
    shift
    timeout 60 runuser -u "$user" -- "$@" </dev/null
}
mode_of() { stat -c '%a %U %G' "$1"; }
is_mode() { # is_mode PATH "MODE OWNER GROUP"
    local found
    found=$(mode_of "$1") || return 1
    [ "$found" = "$2" ] || { echo "$1: $found, not $2"; return 1; }
}
main_pid() { systemctl show -P MainPID "$unit"; }
unit_type() { systemctl show -P Type "$unit"; }
is_active() { [ "$(systemctl is-active "$unit")" = active ]; }
# The ports from the machine store: UA TCP, and HTTPS when it is on.
store_ports() {
    tavox-admin endpoints show | awk -F': *' '
        $1 == "UA TCP Port" { tcp = $2 } $1 == "HTTPS" { https = $2 } $1 == "HTTPS Port" { port = $2 }
        END { print tcp; if (https == "on") print port }'
}
listens() { # listens PORT: a process of the unit (the daemon or its engine) listens on the TCP port
    local pid
    for pid in $(ss -Hltnp "sport = :$1" | grep -o 'pid=[0-9]*' | cut -d= -f2); do
        grep -q "/$unit\$" "/proc/$pid/cgroup" && return 0
    done
    return 1
}
ports_listen() {
    local port
    for port in $(store_ports); do
        listens "$port" || { echo "no process of $unit listens on port $port"; ss -Hltnp; return 1; }
    done
}
# Waits up to five seconds for a condition: a simple unit is active before its program is ready.
eventually() {
    local _
    for _ in $(seq 50); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# The folders in which a process of the unit (the daemon or its child) may create files, as
# its user through its own mounts: the state directory and the private /tmp and /var/tmp only.
writable_folders() {
    nsenter --target "$1" --mount -- setpriv --reuid=tavox-server --regid=tavox --init-groups \
        --inh-caps=-all --bounding-set=-all -- \
        find / \( -path /proc -o -path /sys \) -prune -o -type d -writable -print 2>/dev/null
}
writes_only_state() {
    local folders
    [ -d "/proc/${1:-none}" ] || { echo "no process ${1:-}"; return 1; }
    folders=$(writable_folders "$1")
    grep -qx "$state" <<<"$folders" || { echo "process $1 cannot write in $state"; return 1; }
    ! grep -vE "^($state|/tmp|/var/tmp)(/|\$)" <<<"$folders" || { echo "(process $1 may write there)"; return 1; }
}

install_package() {
    apt-get install -y -q "$deb" >"$1" 2>&1
}
installed_cleanly() { # the log of apt-get holds no warning or error
    ! grep -E '^(W|E):|warning|error' "$1"
}

# ---- the package
check_install() {
    local log=$results/install.log
    check "apt-get install $(basename "$deb") with its dependencies" install_package "$log"
    check "the installation reports no warning or error" installed_cleanly "$log"
    check "dpkg counts the package as installed" \
        sh -c "dpkg-query -W -f='\${Status}' $package | grep -qx 'install ok installed'"
    check "the unit is loaded, neither enabled nor started" sh -c \
        "[ \"\$(systemctl show -P LoadState $unit)\" = loaded ] && ! systemctl -q is-enabled $unit && ! systemctl -q is-active $unit"
}

check_setup() {
    local gid
    gid=$(getent group tavox | cut -d: -f3)
    check "a system group tavox" test -n "$gid" -a "${gid:-1000}" -lt 1000
    check "a system user tavox-server in group tavox, home $state, no login shell" sh -c \
        "getent passwd tavox-server | awk -F: -v g=$gid '\$3 < 1000 && \$4 == g && \$6 == \"$state\" && \$7 ~ /nologin\$/' | grep -q ."
    check "$state tavox-server:tavox 2770" is_mode "$state" "2770 tavox-server tavox"
    check "$store root:tavox 0660" is_mode "$store" "660 root tavox"
    check "$state/service root:tavox 2770" is_mode "$state/service" "2770 root tavox"
    check "$state/service/NodeConfig.xml root:tavox 0660" is_mode "$state/service/NodeConfig.xml" "660 root tavox"
    check "the machine store names the service directory" sh -c \
        "tavox-admin reg query '$key' /v ServicePath | grep -q 'ServicePath    REG_SZ    $state/service/\$'"
    check "the service directory holds the sample node configuration" \
        cmp /usr/share/$package/NodeConfig.xml "$state/service/NodeConfig.xml"
    check "tavox-nodeset reads the installed node configuration" tavox-nodeset check "$state/service/NodeConfig.xml"
}

# ---- the service, as root
check_service() {
    local type started status
    type=$(unit_type)
    started=$(date +%s)
    check "systemctl start $unit (Type=$type)" systemctl start "$unit"
    if [ "$type" = notify ]; then
        # Ready means listening: no wait after the start returned.
        check "its ports listen as soon as the start returns" ports_listen
    else
        check "its ports listen" eventually ports_listen
    fi
    status=$(systemctl status --no-pager "$unit" 2>&1)
    if grep -q '^ *Status: "' <<<"$status"; then
        echo "$status" >"$out"
        ok "systemctl status shows the daemon's status line: $(sed -n 's/^ *Status: //p' <<<"$status")"
    elif [ "$type" = simple ]; then
        skip "systemctl status shows the daemon's status line (a Type=simple unit sends none)"
    else
        echo "$status" >"$out"
        fail "systemctl status shows the daemon's status line"
    fi
    check "the daemon writes nowhere but $state" writes_only_state "$(main_pid)"
    check "the daemon's log is in the journal" sh -c "journalctl -q --no-pager -o cat -u $unit --since @$started | grep -q '^tavox-server: '"
    check "its exposure, as systemd in the guest rates it, is at most 2.5" exposure_at_most 2.5
    check "systemctl stop ends it with status 0" stops_cleanly
    check_port_taken
}

exposure_at_most() {
    local report score
    report=$(systemd-analyze security --no-pager "$unit" 2>&1)
    score=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' <<<"$report")
    echo "exposure ${score:-unknown}"
    if [ -z "$score" ] || ! awk -v s="$score" -v l="$1" 'BEGIN { exit !(s <= l) }'; then
        grep '✗' <<<"$report"
        return 1
    fi
}

stops_cleanly() {
    systemctl stop "$unit" || return 1
    if [ "$(systemctl show -P Result "$unit")" != success ] || [ "$(systemctl show -P ExecMainStatus "$unit")" != 0 ]; then
        systemctl status --no-pager "$unit"
        return 1
    fi
}

# Another program holds the UA TCP port: the start fails and the journal says why.
check_port_taken() {
    local port since
    port=$(store_ports | head -n 1)
    cat >/run/systemd/system/tavox-test-port.socket <<EOF
[Socket]
ListenStream=$port
EOF
    printf '[Service]\nExecStart=/bin/true\n' >/run/systemd/system/tavox-test-port.service
    systemctl daemon-reload
    systemctl start tavox-test-port.socket
    since=$(date +%s)
    if [ "$(unit_type)" = notify ]; then
        denied_start() { ! systemctl start "$unit"; }
    else # the start returns at once; the unit fails a moment later
        denied_start() { systemctl start "$unit"; eventually systemctl -q is-failed "$unit"; }
    fi
    check "with port $port taken, the start fails" denied_start
    check "the journal names the port in use" sh -c \
        "journalctl -q --no-pager -o cat -u $unit --since @$since | grep -E 'port $port\\b.*in use'"
    systemctl stop tavox-test-port.socket
    systemctl reset-failed "$unit" 2>/dev/null
}

# ---- the administrators: the group tavox, and polkit's rule for it
check_group_rights() {
    useradd -m -G tavox "$admin"
    useradd -m "$outsider"
    printf '[Service]\nType=oneshot\nRemainAfterExit=yes\nExecStart=/bin/true\n' >/run/systemd/system/tavox-test-other.service
    systemctl daemon-reload
    systemctl start tavox-test-other.service
    systemctl enable -q "$unit"

    check "a member of tavox adds a server user with tavox-admin" \
        sh -c "printf '%s\n' '$opc_password' | runuser -u $admin -- tavox-admin users add $opc_user --password-stdin"
    check "the machine store has the user" sh -c "tavox-admin users list | grep -q '$opc_user'"
    check "the store stays root:tavox 0660 after the member's change" is_mode "$store" "660 root tavox"
    check "a member of tavox sets the utility's login password" \
        sh -c "printf 'login-secret-1\n' | runuser -u $admin -- tavox-admin set-login-password --password-stdin"

    systemctl start "$unit"
    local before
    before=$(main_pid)
    check "a member of tavox: systemctl restart $unit, no password asked" \
        as "$admin" systemctl --no-ask-password restart "$unit"
    check "the restart started a new daemon" sh -c "[ \"\$(systemctl show -P MainPID $unit)\" != $before ] && systemctl -q is-active $unit"
    check "a member of tavox: tavox-admin service stop" \
        sh -c "runuser -u $admin -- tavox-admin service stop </dev/null && ! systemctl -q is-active $unit"
    check "a member of tavox: tavox-admin service start" \
        sh -c "runuser -u $admin -- tavox-admin service start </dev/null && systemctl -q is-active $unit"
    before=$(main_pid)
    check "a member of tavox: tavox-admin service restart" \
        sh -c "runuser -u $admin -- tavox-admin service restart </dev/null && systemctl -q is-active $unit && [ \"\$(systemctl show -P MainPID $unit)\" != $before ]"

    before=$(main_pid)
    denied "a member of tavox may not restart another unit" \
        as "$admin" systemctl --no-ask-password restart tavox-test-other.service
    denied "a member of tavox may not kill $unit" as "$admin" systemctl --no-ask-password kill "$unit"
    denied "a member of tavox may not disable $unit" as "$admin" systemctl --no-ask-password disable "$unit"
    check "the daemon ran on through the refusals, enabled" sh -c \
        "[ \"\$(systemctl show -P MainPID $unit)\" = $before ] && systemctl -q is-enabled $unit"

    denied "a user outside tavox may not restart $unit" as "$outsider" systemctl --no-ask-password restart "$unit"
    check "a user outside tavox may not stop it with tavox-admin" sh -c \
        "! runuser -u $outsider -- tavox-admin service stop </dev/null && systemctl -q is-active $unit"
    denied "a user outside tavox may not change the machine store" \
        as "$outsider" tavox-admin endpoints set --port 4840
    denied "a user outside tavox may not read the machine store" as "$outsider" tavox-admin users list
    local files
    mapfile -t files < <(find "$state" "/home/$admin/.config/tavox" -type f)
    check "a user outside tavox can read none of the ${#files[@]} files under $state and in the member's own store" \
        as "$outsider" bash -c 'for f; do [ ! -r "$f" ] || { echo "readable: $f"; exit 1; }; done' readable "${files[@]}"
    check "no store or copy of one (digests) carries rights for others" sh -c \
        "found=\$(find $state /home/$admin/.config/tavox -type f -name '*.db*' -perm /o=rwx); [ -z \"\$found\" ] || { ls -l \$found; exit 1; }"
}

# ---- the engine: a real OPC UA server under the hardened unit
check_engine() {
    if [ ! -d "$engine" ]; then
        skip "the engine checks: the package has no engine ($engine)"
        return
    fi
    is_active || systemctl start "$unit"
    local engine_pid
    engine_pid=$(child_of "$(main_pid)")
    check "the engine runs as the daemon's child" test -n "$engine_pid"
    check "the engine writes nowhere but $state" writes_only_state "${engine_pid:-0}"
    check "every private key is tavox-server 0600" private_keys_closed
    if ! command -v node >/dev/null; then
        skip "an OPC UA client connects: node is not installed in the guest"
        return
    fi
    local port
    port=$(store_ports | head -n 1)
    check "the endpoint offers the security mode None, for the test's client" sh -c \
        "tavox-admin endpoints set --security-none on && systemctl restart $unit"
    check "an OPC UA client logs on as $opc_user and reads the server state" eventually_connects \
        "$port" "$opc_user" "$opc_password"
    denied "a wrong password is refused" node "$here/opcua-connect.js" "$engine" "$port" "$opc_user" wrong-password
}

child_of() {
    local stat
    for stat in /proc/[0-9]*/stat; do
        awk -v p="$1" '{ sub(/^.*\) /, ""); if ($2 == p) { split(FILENAME, f, "/"); print f[3] } }' "$stat" 2>/dev/null
    done | head -n 1
}

private_keys_closed() {
    local found key
    found=$(find "$state" -path '*/private/*' -type f)
    [ -n "$found" ] || { echo "no private key under $state"; return 1; }
    for key in $found; do
        is_mode "$key" "600 tavox-server tavox" || return 1
    done
}

eventually_connects() { # the engine may still be opening its endpoint
    local attempt
    for attempt in 1 2 3 4 5; do
        node "$here/opcua-connect.js" "$engine" "$@" && return 0
        echo "(attempt $attempt)"
        sleep 1
    done
    return 1
}

# ---- the package's life: upgrade in place, purge, and a new installation
check_lifecycle() {
    local log=$results/reinstall.log ports
    is_active || systemctl start "$unit"
    ports=$(store_ports)
    check "a reinstallation keeps the settings" sh -c \
        "apt-get install -y -q --reinstall '$deb' >$log 2>&1 && tavox-admin users list | grep -q '$opc_user'"
    check "the store stays root:tavox 0660 after the reinstallation" is_mode "$store" "660 root tavox"
    check "apt-get purge removes the package" sh -c "apt-get purge -y -q $package >$results/purge.log 2>&1"
    check "the purge stopped the daemon: nothing listens on its ports" sh -c \
        "for port in ${ports//$'\n'/ }; do [ -z \"\$(ss -Hltn \"sport = :\$port\")\" ] || exit 1; done"
    check "the purge removed $state and the unit" sh -c \
        "[ ! -e $state ] && [ \"\$(systemctl show -P LoadState $unit)\" = not-found ]"
    check "the group tavox and the user tavox-server stay" sh -c "getent group tavox && getent passwd tavox-server"
    check "the purge reports no warning or error" installed_cleanly "$results/purge.log"
    check "a new installation sets up a fresh store" sh -c \
        "apt-get install -y -q '$deb' >$results/install-again.log 2>&1 && is=\$(stat -c '%a %U %G' $store) && [ \"\$is\" = '660 root tavox' ] && ! tavox-admin users list | grep -q '$opc_user'"
    check "and the service starts on it" sh -c "systemctl start $unit && sleep 1 && systemctl -q is-active $unit"
}

main() {
    local boot
    boot=$(systemctl is-system-running --wait 2>&1)
    echo "# the guest booted: $boot"
    [ "$boot" = running ] || systemctl --failed --no-pager --plain | sed 's/^/# /'
    check_install
    if dpkg-query -W "$package" >/dev/null 2>&1; then
        check_setup
        check_service
        check_group_rights
        check_engine
        check_lifecycle
    fi
    echo "$passed passed, $failed failed, $skipped skipped"
    [ "$failed" -eq 0 ]
}

main >"$results/log" 2>&1
echo $? >"$results/status"
journalctl -b --no-pager -o short-monotonic >"$results/journal.txt" 2>&1
systemctl poweroff --no-block
