#!/usr/bin/env bash
# Installs every Debian package the project needs; quiet when all are already there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libxml2-dev libssl-dev libsqlite3-dev
    qt6-base-dev libsystemd-dev unixodbc-dev nlohmann-json3-dev
    mariadb-server odbc-mariadb python3-dbusmock dbus xvfb xauth
    clang libclang-rt-14-dev
    # the layout of the C++ files (scripts/check-format.sh)
    clang-format-14
    python3-dbus python3-gi
    # the unit's exposure test, the Debian package and its checks
    systemd dpkg-dev file lintian
    # the package's system test: a Debian 12 guest booted with systemd-nspawn
    systemd-container debootstrap
)

# The engine runs on Node.js and installs its packages with npm; a machine that has them
# already, in whatever packaging, keeps its own.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
