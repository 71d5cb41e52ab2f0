#!/usr/bin/env bash
# From nothing to a configured demo server with tavox-admin alone: a fresh sandbox (its own
# settings stores, service directory and ODBC driver list), the server's setup, then two users,
# an endpoint port, alarms, historical logging and the history database as an administrator
# would script them; bad input
# changes nothing; restoring the first snapshot of the configuration brings the set-up files
# back byte for byte, and the snapshot before the setup takes the server key's values away again.
#
#   admin-end-to-end.sh TAVOX_ADMIN DEMO_NODESET
set -euo pipefail
admin=${1:?usage: admin-end-to-end.sh TAVOX_ADMIN DEMO_NODESET}
demo_nodeset=${2:?usage: admin-end-to-end.sh TAVOX_ADMIN DEMO_NODESET}

sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
export TAVOX_REGISTRY="$sandbox/registry.db"
export TAVOX_USER_REGISTRY="$sandbox/user-registry.db"
export ODBCSYSINI="$sandbox/odbc"
service="$sandbox/service"
key='HKLM\SOFTWARE\MORVANE\Tavox Server'
mkdir -p "$service" "$ODBCSYSINI"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs tavox-admin; it must succeed and say nothing on standard error.
run() {
    "$admin" "$@" >"$sandbox/out" 2>"$sandbox/err" || fail "tavox-admin $* exited $?: $(cat "$sandbox/err")"
    [ ! -s "$sandbox/err" ] || fail "tavox-admin $* wrote to standard error: $(cat "$sandbox/err")"
}

# Runs tavox-admin with bad input: exit 1, exactly the one line $1 on standard error, and the
# node configuration file as it was.
refuse() {
    local expected=$1
    shift
    cp "$service/NodeConfig.xml" "$sandbox/before.xml"
    local code=0
    "$admin" "$@" >"$sandbox/out" 2>"$sandbox/err" || code=$?
    [ "$code" -eq 1 ] || fail "tavox-admin $* exited $code, not 1"
    [ "$(cat "$sandbox/err")" = "ERROR: $expected" ] || fail "tavox-admin $*: $(cat "$sandbox/err")"
    cmp -s "$service/NodeConfig.xml" "$sandbox/before.xml" || fail "tavox-admin $* changed the file"
}

# The id of the snapshot whose origin is $1.
snapshot_of() {
    run snapshot list --json
    python3 -c 'import json, sys
print(next(s["id"] for s in json.load(open(sys.argv[1]))["snapshots"] if s["origin"] == sys.argv[2]))' \
        "$sandbox/out" "$1"
}

# The MariaDB ODBC driver, registered for this sandbox only.
driver_library=$(dpkg -L odbc-mariadb 2>/dev/null | grep '/libmaodbc\.so$' | head -n 1 || true)
[ -n "$driver_library" ] || fail "the MariaDB ODBC driver (odbc-mariadb) is not installed"
printf '[MariaDB MySQL ODBC Driver]\nDescription=MariaDB\nDriver=%s\n' "$driver_library" >"$ODBCSYSINI/odbcinst.ini"
: >"$ODBCSYSINI/odbc.ini"

# The server's setup: its key and its node configuration file.
run init --service-path "$service"
run nodeconfig import "$demo_nodeset"
run nodeconfig check
run reg export "$key" "$sandbox/setup.reg"
cp "$service/NodeConfig.xml" "$sandbox/setup.xml"

# The administrator's configuration.
printf 'alice-password\n' >"$sandbox/password"
run users add alice --rights r --password-stdin <"$sandbox/password"
first_change="tavox-admin users add alice --rights r --password-stdin"
printf 'bob-password\n' >"$sandbox/password"
run users add bob --rights r,w,x --password-stdin <"$sandbox/password"
run endpoints set --port 48020
run alarms set 'ns=1;s=Boiler.Temperature' --high-high 95 --high 90 --low 10 --low-low 5
grep -q 'Restart the service to apply' "$sandbox/out" || fail "no restart note: $(cat "$sandbox/out")"
run alarms set 'ns=1;s=Boiler.BurnerOn'
run history on 'ns=1;s=Boiler.Temperature'
run history on 'ns=1;s=Boiler.Pressure'
run logging on
printf 'demo-db-password\n' >"$sandbox/password"
run odbc set --active on --type MySQL --driver 'MariaDB MySQL ODBC Driver' --server db.example \
    --port 3306 --user tavox --password-stdin --database history <"$sandbox/password"

# Bad input is refused with the page's or the dialog's message and changes nothing.
refuse 'No node "ns=1;s=Boiler.Level" in the node configuration (tavox-nodeset dump lists the node identifiers).' \
    alarms set 'ns=1;s=Boiler.Level' --high 1
refuse 'High Limit "9x" cannot be entered for Float: at most 7 characters, digits, a leading "-" and one "." after a digit.' \
    alarms set 'ns=1;s=Boiler.Pressure' --high 9x
refuse 'Low Limit Input error...' alarms set 'ns=1;s=Boiler.Pressure' --low 3.
refuse 'Blank field! Please check all setting value!' odbc set --database ' '

# What was stored reads back.
run alarms list --json
python3 - "$sandbox/out" <<'EOF'
import json, sys
listed = json.load(open(sys.argv[1]))
assert listed["startLogging"] is True, listed
kinds = sorted((e["kind"], e["nodeId"]) for e in listed["entries"])
assert kinds == [("alarm", "ns=1;s=Boiler.BurnerOn"), ("alarm", "ns=1;s=Boiler.Temperature"),
                 ("history", "ns=1;s=Boiler.Pressure"), ("history", "ns=1;s=Boiler.Temperature")], kinds
limits = next(e["limits"] for e in listed["entries"] if e["nodeId"] == "ns=1;s=Boiler.Temperature")
assert limits == {"highHigh": "95", "high": "90", "low": "10", "lowLow": "5"}, limits
EOF
run users list --json
python3 - "$sandbox/out" <<'EOF'
import json, sys
names = sorted(u["name"] for u in json.load(open(sys.argv[1]))["users"])
assert names == ["alice", "bob"], names
EOF
run odbc show --json
python3 - "$sandbox/out" <<'EOF'
import json, sys
shown = json.load(open(sys.argv[1]))
assert (shown["active"], shown["type"], shown["server"], shown["passwordSet"]) == (True, "MySQL", "db.example", True), shown
EOF
grep -q 'PWD=demo-db-password' "$service/NodeConfig.xml" || fail "the password is not in the history section"

# The first snapshot of the configuration brings the setup back, byte for byte.
run snapshot restore "$(snapshot_of "$first_change")"
cmp "$service/NodeConfig.xml" "$sandbox/setup.xml" || fail "the node configuration file was not restored"
run reg export "$key" "$sandbox/restored.reg"
cmp "$sandbox/restored.reg" "$sandbox/setup.reg" || fail "the server key was not restored"

# The snapshot before the setup holds no server key: restoring it takes the key's values away.
run snapshot restore "$(snapshot_of "tavox-admin init --service-path $service")"
for value in ServicePath NodeCfg UaTcpPort; do
    if "$admin" reg query "$key" /v "$value" >/dev/null 2>&1; then
        fail "$value is still there after restoring the snapshot before the setup"
    fi
done
echo "end to end: configured, refused bad input, restored"
