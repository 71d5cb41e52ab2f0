#!/usr/bin/env bash
# Checks a built Debian package: its control data, the files it installs and where, its
# maintainer script run into a temporary root, the extracted tavox-admin and tavox-nodeset on
# a temporary store, the unit's exposure, and lintian (no error allowed).
#
#   scripts/check-package.sh tavox-server-utility_<version>_amd64.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deb=$(cd "$(dirname "${1:?usage: check-package.sh DEB}")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/tree
failures=0
checks=0

pass() { checks=$((checks + 1)); }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*" >&2; }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then pass; else fail "$what"; fi
}

echo "Checking $deb"
dpkg-deb -x "$deb" "$tree"
dpkg-deb -e "$deb" "$work/control"

# Control data: the name, and dependencies computed from the programs.
field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = tavox-server-utility
check "architecture" test "$(field Architecture)" = amd64
depends=$(field Depends)
for library in libqt6widgets6 libxml2 libsqlite3-0 libssl3 libsystemd0 systemd; do
    check "Depends names $library ($depends)" grep -q "$library" <<<"$depends"
done
check "Depends names nodejs (>= 18) ($depends)" grep -qF "nodejs (>= 18)" <<<"$depends"

# The files, where the Debian policy puts them.
for file in usr/bin/tavox-utility usr/bin/tavox-admin usr/bin/tavox-nodeset usr/sbin/tavox-server; do
    check "$file is an executable" test -x "$tree/$file"
done
for file in \
    lib/systemd/system/tavox-server.service \
    usr/lib/sysusers.d/tavox-server-utility.conf \
    usr/lib/tmpfiles.d/tavox-server-utility.conf \
    usr/share/polkit-1/rules.d/50-tavox-server.rules \
    usr/share/applications/tavox-utility.desktop \
    etc/xdg/autostart/tavox-utility.desktop \
    usr/share/tavox-server-utility/NodeConfig.xml \
    usr/share/doc/tavox-server-utility/copyright \
    usr/share/doc/tavox-server-utility/changelog.gz \
    usr/share/man/man1/tavox-utility.1.gz \
    usr/share/man/man8/tavox-admin.8.gz \
    usr/share/bash-completion/completions/tavox-admin \
    usr/share/man/man1/tavox-nodeset.1.gz \
    usr/share/man/man8/tavox-server.8.gz; do
    check "$file is installed" test -f "$tree/$file"
done
for size in 16 24 32 48 64 96 128 256; do
    check "icon ${size}x${size}" test -f "$tree/usr/share/icons/hicolor/${size}x${size}/apps/tavox-utility.png"
done
# The engine with the packages it runs on, so that nothing is downloaded at install.
engine=$tree/usr/libexec/tavox-server/engine
for file in server.js package.json package-lock.json node_modules/node-opcua-server/package.json; do
    check "the engine's $file is installed" test -f "$engine/$file"
done
if command -v node >/dev/null; then
    status=0
    refusal=$(echo '{"type":"configure"}' | node "$engine/server.js" 2>/dev/null) || status=$?
    check "the packaged engine loads and refuses a bad hand-off: $refusal" grep -q '"type":"failed"' <<<"$refusal"
    check "the packaged engine exits 2 on a bad hand-off (exit $status)" test "$status" = 2
fi
unit=$tree/lib/systemd/system/tavox-server.service
check "the unit starts the installed daemon" grep -qx 'ExecStart=/usr/sbin/tavox-server' "$unit"
check "the autostart entry starts the utility hidden" \
    grep -qx 'Exec=tavox-utility -1' "$tree/etc/xdg/autostart/tavox-utility.desktop"
check "the autostart entry is a conffile" grep -qx /etc/xdg/autostart/tavox-utility.desktop "$work/control/conffiles"
check "nothing in the package is world-writable" test -z "$(find "$tree" -perm -0002 ! -type l)"
check "the unit's exposure is at most 2.5" "$root/scripts/check-unit-exposure.sh" "$unit" 2.5

# The extracted tools work from the extracted tree, on a temporary store.
export TAVOX_REGISTRY=$work/store/registry.db TAVOX_USER_REGISTRY=$work/store/user-registry.db
key='HKLM\SOFTWARE\MORVANE\Tavox Server'
check "tavox-admin init" "$tree/usr/bin/tavox-admin" init --service-path "$work/store/service"
check "tavox-admin reg query shows the service path" \
    grep -q "ServicePath    REG_SZ    $work/store/service/" <<<"$("$tree/usr/bin/tavox-admin" reg query "$key" /v ServicePath)"
check "tavox-admin reg add" "$tree/usr/bin/tavox-admin" reg add "$key" /v UaTcpPort /t REG_DWORD /d 4840 /f
check "tavox-nodeset check reads the sample" \
    grep -q "nodes" <<<"$("$tree/usr/bin/tavox-nodeset" check "$tree/usr/share/tavox-server-utility/NodeConfig.xml")"
check "tavox-nodeset dump gives JSON" \
    grep -q '"nodeId"' <<<"$("$tree/usr/bin/tavox-nodeset" dump "$tree/usr/share/tavox-server-utility/NodeConfig.xml")"
unset TAVOX_REGISTRY TAVOX_USER_REGISTRY

# The maintainer script sets up the group, the user and /var/lib/tavox in a temporary root.
if [ "$(id -u)" -eq 0 ]; then
    mkdir -p "$tree/etc"
    touch "$tree/etc/passwd" "$tree/etc/group" "$tree/etc/shadow" "$tree/etc/gshadow"
    if DPKG_ROOT=$tree PATH="$tree/usr/bin:$PATH" sh "$work/control/postinst" configure; then
        pass
        gid=$(awk -F: '$1 == "tavox" { print $3 }' "$tree/etc/group")
        check "group tavox" test -n "$gid"
        check "user tavox-server in group tavox" \
            test "$(awk -F: '$1 == "tavox-server" { print $4 }' "$tree/etc/passwd")" = "$gid"
        uid=$(awk -F: '$1 == "tavox-server" { print $3 }' "$tree/etc/passwd")
        check "/var/lib/tavox 2770 tavox-server:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox")" = "2770 $uid $gid"
        check "/var/lib/tavox/service 2770 root:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/service")" = "2770 0 $gid"
        check "/var/lib/tavox/pki/rejected 2770 tavox-server:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/pki/rejected")" = "2770 $uid $gid"
        check "/var/lib/tavox/pki/own/private 2750 tavox-server:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/pki/own/private")" = "2750 $uid $gid"
        check "/var/lib/tavox/pki-user/trusted/certs 2770 tavox-server:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/pki-user/trusted/certs")" = "2770 $uid $gid"
        check "registry.db 0660 root:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/registry.db")" = "660 0 $gid"
        check "NodeConfig.xml 0660 root:tavox" \
            test "$(stat -c '%a %u %g' "$tree/var/lib/tavox/service/NodeConfig.xml")" = "660 0 $gid"
        check "the store names the service directory" \
            grep -q 'ServicePath    REG_SZ    /var/lib/tavox/service/' \
            <<<"$(TAVOX_REGISTRY=$tree/var/lib/tavox/registry.db "$tree/usr/bin/tavox-admin" reg query "$key")"
        check "a second run keeps the store" env DPKG_ROOT="$tree" PATH="$tree/usr/bin:$PATH" \
            sh "$work/control/postinst" configure
    else
        fail "the maintainer script"
    fi
else
    echo "Not root: the maintainer script is not run." >&2
fi

if command -v lintian >/dev/null; then
    if lintian --fail-on error --tag-display-limit 0 "$deb"; then pass; else fail "lintian reports errors"; fi
else
    echo "lintian is not installed: the package is not checked against the policy." >&2
fi

if [ "$failures" -ne 0 ]; then
    echo "The package failed $failures of $checks checks." >&2
    exit 1
fi
echo "The package passed all $checks checks."
