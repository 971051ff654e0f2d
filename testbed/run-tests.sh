#!/usr/bin/env bash
# Runs every test program in the test machine. The machine's wineserver, the
# download server (and whatever else the tests start) are stopped on every way out.
set -euo pipefail
source "$(dirname "$0")/env.sh"

cleanup() {
    "$TESTBED_DIR/download_server/serve.sh" stop || true
    "$TESTBED_DIR/machine.sh" stop || true
}
trap cleanup EXIT INT TERM

"$TESTBED_DIR/machine.sh" create
"$TESTBED_DIR/machine.sh" start
# The server hands out a fresh copy of the package set; tests that swap a file
# in put the original back from the set itself.
PACKAGE_SET="$BUILD_DIR/testbed/package-set"
rm -rf "$MACHINE_DIR/downloads"
mkdir -p "$MACHINE_DIR/downloads"
if [ -d "$PACKAGE_SET" ]; then
    find "$PACKAGE_SET" -maxdepth 1 -type f -exec cp -p {} "$MACHINE_DIR/downloads/" \;
fi
export CORVANTA_TESTBED_PACKAGES="Z:${PACKAGE_SET//\//\\}"
# The stand-in for the vendor's download server; it also ends by itself should
# this script be killed before its trap can run. The Windows side (Wine passes
# the environment on) finds it and its folders through the variables of `env`.
"$TESTBED_DIR/download_server/serve.sh" start --watch $$
server_env=$("$TESTBED_DIR/download_server/serve.sh" env)
eval "$server_env"
cd "$BUILD_DIR"
ctest --output-on-failure "$@" </dev/null
