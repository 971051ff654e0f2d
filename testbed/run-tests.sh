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
# The stand-in for the vendor's download server, serving a fresh, signed copy
# of the package set; it also ends by itself should this script be killed
# before its trap can run. The Windows side (Wine passes the environment on)
# finds it and its folders through the variables printed.
eval "$("$TESTBED_DIR/serve-packages.sh" $$)"
cd "$BUILD_DIR"
ctest --output-on-failure "$@" </dev/null
