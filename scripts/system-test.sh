#!/usr/bin/env bash
# Installs the Debian package on a booted Debian 12 (systemd as PID 1, D-Bus, polkit) and checks
# there what an administrator does with it: tests/system/guest-checks.sh, one line per check
# and a closing "N passed, N failed". Builds the package first when none is given.
#
#   scripts/system-test.sh [DEB]
#
# The guest is a debootstrap root with the package's dependencies, made once from this
# machine's own apt sources and kept in TAVOX_SYSTEM_TEST_CACHE (default
# /var/cache/tavox-system-test), one root per package list. Each run boots it with
# systemd-nspawn on a throw-away overlay, without network, in a cgroup of its own; the logs of
# the last run stay in the cache's results/ folder. TAVOX_SYSTEM_TEST_TIMEOUT (seconds, default
# 300) bounds the guest's run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS

if [ $# -gt 0 ]; then
    deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    [ -f "$deb" ] || { echo "system-test.sh: no package $1" >&2; exit 2; }
    "$root/scripts/install-deps.sh"
else
    deb=$("$root/scripts/package.sh" | tail -n 1)
fi
if [ "$(id -u)" -ne 0 ]; then
    # Booting a guest needs root; the package was built as the caller.
    exec sudo env TAVOX_SYSTEM_TEST_CACHE="${TAVOX_SYSTEM_TEST_CACHE:-}" \
        TAVOX_SYSTEM_TEST_TIMEOUT="${TAVOX_SYSTEM_TEST_TIMEOUT:-}" "$0" "$deb"
fi

cache=${TAVOX_SYSTEM_TEST_CACHE:-/var/cache/tavox-system-test}
timeout=${TAVOX_SYSTEM_TEST_TIMEOUT:-300}
suite=bookworm
# What the guest boots with, and what the checks use besides the package.
base_packages=(systemd systemd-sysv dbus polkitd libpam-systemd iproute2)
machine=tavox-system-test

# "URI SUITE" for each Debian 12 source of this machine (one-line and deb822 files alike).
debian_sources() {
    local files=() file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && files+=("$file")
    done
    [ ${#files[@]} -gt 0 ] || return 0
    awk -v suite="$suite" '
        function emit(types, uris, suites, components,   u, s, i, j, nu, ns) {
            if (types !~ /(^| )deb( |$)/ || components !~ /(^| )main( |$)/) return
            nu = split(uris, u, " ")
            ns = split(suites, s, " ")
            for (i = 1; i <= nu; i++)
                for (j = 1; j <= ns; j++)
                    if (s[j] == suite || s[j] == suite "-updates" || s[j] == suite "-security") print u[i], s[j]
        }
        function flush() {
            if (enabled != "no") emit(types, uris, suites, components)
            types = uris = suites = components = enabled = ""
        }
        FNR == 1 { flush() }
        /^[ \t]*#/ { next }
        FILENAME ~ /\.sources$/ {
            if ($0 ~ /^[ \t]*$/) { flush(); next }
            field = tolower($1)
            sub(/:$/, "", field)
            $1 = ""
            sub(/^ +/, "")
            if (field == "types") types = $0
            else if (field == "uris") uris = $0
            else if (field == "suites") suites = $0
            else if (field == "components") components = $0
            else if (field == "enabled") enabled = tolower($0)
            next
        }
        $1 == "deb" {
            i = 2
            if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
            rest = ""
            for (k = i + 2; k <= NF; k++) rest = rest " " $k
            emit("deb", $i, $(i + 1), rest)
        }
        END { flush() }
    ' "${files[@]}" | awk '!seen[$0]++'
}

# Runs a command in a cgroup of its own, removed afterwards: without systemd on this machine,
# systemd-nspawn --keep-unit makes its payload/ and supervisor/ groups where it runs.
contained() {
    if [ -d /run/systemd/system ]; then
        systemd-run --quiet --scope --collect -- "$@"
        return
    fi
    local hierarchies=() groups=() group status=0
    if [ "$(stat -fc %T /sys/fs/cgroup)" = cgroup2fs ]; then
        hierarchies=(/sys/fs/cgroup)
    else # the legacy layout: systemd's own hierarchy, and the unified one beside it
        for group in /sys/fs/cgroup/systemd /sys/fs/cgroup/unified; do
            [ -f "$group/cgroup.procs" ] && hierarchies+=("$group")
        done
    fi
    for group in "${hierarchies[@]}"; do
        remove_groups "$group/$machine"-* # what an interrupted run left behind
        groups+=("$group/$machine-$$")
    done
    mkdir -p "${groups[@]}"
    bash -c 'for g in "${@:2:$1}"; do echo $$ >"$g/cgroup.procs"; done; shift $(($1 + 1)); exec "$@"' \
        contained "${#groups[@]}" "${groups[@]}" "$@" || status=$?
    remove_groups "${groups[@]}"
    return $status
}

# Removes the groups and those below them; one that still holds a process stays.
remove_groups() {
    local group
    for group in "$@"; do
        [ -d "$group" ] && find "$group" -depth -type d -exec rmdir {} + 2>/dev/null
    done
    return 0
}

# debootstrap, then the package's dependencies, into DIR.
make_root() {
    local dir=$1
    timeout 900 debootstrap --variant=minbase --include="$(IFS=,; echo "${base_packages[*]}")" \
        "$suite" "$dir" "$mirror" || return 1
    awk '{ print "deb", $1, $2, "main" }' <<<"$sources" >"$dir/etc/apt/sources.list"
    echo "$machine" >"$dir/etc/hostname"
    # As the Debian installer writes it: clients find the server by either name.
    printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' "$machine" \
        >"$dir/etc/hosts"
    contained timeout 900 systemd-nspawn --quiet --register=no --keep-unit --machine="$machine" \
        --directory="$dir" --pipe --setenv=DEBIAN_FRONTEND=noninteractive \
        sh -c 'apt-get update -q && apt-get satisfy -y -q --no-install-recommends "$1" && apt-get clean' \
        sh "$needs" </dev/null
}

# Made in memory, where the many syncs of dpkg cost nothing, then copied to the cache whole.
build_root() {
    local scratch=$cache/.building log=$cache/build.log made=0
    echo "== guest root: debootstrap $suite from $mirror, then the package's dependencies (log: $log)"
    rm -rf "$cache/$suite"-* "$cache/.copy"
    mkdir -p "$scratch"
    mountpoint -q "$scratch" || mount -t tmpfs -o size=4g,mode=0755 tavox-system-test "$scratch" || return 1
    trap 'umount -l "$scratch"' EXIT
    if make_root "$scratch/root" >"$log" 2>&1 && cp -a "$scratch/root" "$cache/.copy"; then
        mv "$cache/.copy" "$guest_root"
        made=1
    else
        tail -n 20 "$log" >&2
    fi
    umount "$scratch" && rmdir "$scratch"
    trap - EXIT
    [ "$made" = 1 ]
}

sources=$(debian_sources)
mirror=$(awk -v suite="$suite" '$2 == suite { print $1; exit }' <<<"$sources")
if [ -z "$mirror" ]; then
    echo "system-test.sh: no Debian source for $suite in /etc/apt/sources.list or /etc/apt/sources.list.d/" >&2
    echo "0 passed, 1 failed"
    exit 1
fi
# The guest needs no network: every dependency of the package is in its root.
needs=$(dpkg-deb -f "$deb" Depends Recommends | sed -n 's/^[A-Za-z-]*: //p' | paste -sd,)
# A root per package list, sources and recipe: a change of any makes a new one.
key=$(printf '%s\n' "$suite" "${base_packages[*]}" "$needs" "$sources" "$(declare -f make_root)" | sha256sum | cut -c1-12)
guest_root=$cache/$suite-$key
results=$cache/results

mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9

if [ -d "$guest_root" ]; then
    echo "== guest root: $guest_root (kept from an earlier run)"
else
    build_started=$SECONDS
    if ! build_root; then
        echo "FAIL - the guest root could not be made"
        echo "0 passed, 1 failed"
        exit 1
    fi
    echo "== guest root: made in $((SECONDS - build_started)) s"
fi

rm -rf "$results"
mkdir -p "$results"
guest_status=0
contained timeout -k 20 "$timeout" systemd-nspawn --quiet --boot --register=no --keep-unit \
    --machine="$machine" --directory="$guest_root" --volatile=overlay --private-network \
    --bind-ro="$deb:/mnt/tavox-package/$(basename "$deb")" \
    --bind-ro="$root/tests/system:/usr/local/lib/tavox-system-test" \
    --bind-ro="$root/tests/system/tavox-system-test.service:/etc/systemd/system/tavox-system-test.service" \
    --bind="$results:/mnt/tavox-results" \
    systemd.wants=tavox-system-test.service >"$results/console.log" 2>&1 </dev/null || guest_status=$?

if [ ! -f "$results/status" ]; then
    [ -f "$results/log" ] && cat "$results/log"
    tail -n 30 "$results/console.log"
    echo "FAIL - the guest ran the checks to the end (systemd-nspawn: status $guest_status, limit $timeout s)"
    echo "0 passed, 1 failed"
    exit 1
fi
echo "== system test: $((SECONDS - started)) s; logs and the guest's journal in $results"
cat "$results/log"
exit "$(cat "$results/status")"
