#!/usr/bin/env bash
# Runs every test program in the test machine. The machine's wineserver (and
# whatever else the tests start) is stopped on every way out.
set -euo pipefail
source "$(dirname "$0")/env.sh"

cleanup() {
    "$TESTBED_DIR/machine.sh" stop || true
}
trap cleanup EXIT INT TERM

"$TESTBED_DIR/machine.sh" create
"$TESTBED_DIR/machine.sh" start
cd "$BUILD_DIR"
ctest --output-on-failure "$@" </dev/null
