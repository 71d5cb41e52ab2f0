#!/usr/bin/env bash
# An OPC UA client for trying the server, on the node-opcua client of the engine's development
# packages (the build installs them): browse, read, write and read history as a user.
#
#   ./scripts/opcua-client.sh write 'ns=1;s=Boiler.Temperature' 97 --user operator --password operator-demo
#
# Node ids are those of the demo's node configuration file (demo/service/NodeConfig.xml; ns=1
# is its first namespace, which the server is asked for by URI); the client keeps its
# certificate in demo/client-pki. TAVOX_DEMO_DIR and TAVOX_BUILD_DIR name other folders.
# --help lists the commands and options.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVOX_BUILD_DIR:-$root/build}
demo=${TAVOX_DEMO_DIR:-$root/demo}
packages="$build/server/engine-test/node_modules"
if [ ! -d "$packages/node-opcua-client" ]; then
    echo "opcua-client: the engine's development packages are not in $packages: build first (./scripts/build.sh)" >&2
    exit 1
fi
files=(--pki "$demo/client-pki")
if [ -f "$demo/service/NodeConfig.xml" ]; then
    files+=(--nodeconfig "$demo/service/NodeConfig.xml")
fi
NODE_PATH="$packages" exec node "$root/server/engine/tools/opcua-client.js" "${files[@]}" "$@"
