#!/usr/bin/env bash
# Runs at every start of the test machine: makes the certificates that are
# missing and puts the test root CA into LocalMachine\Root (once: adding a
# certificate that is already there changes nothing).
set -euo pipefail
source "$(dirname "$0")/../env.sh"

CERT_DIR="$MACHINE_DIR/certs"
TOOL="$BUILD_DIR/testbed/certs/certstore.exe"

bash "$TESTBED_DIR/certs/make-certs.sh" "$CERT_DIR"
if [ ! -f "$TOOL" ]; then
    # A build of only some targets still gets a machine; HTTPS downloads then fail with 12175.
    echo "certs: $TOOL is not built; the test root CA is not installed" >&2
    exit 0
fi
ca_windows="Z:${CERT_DIR//\//\\}\\test-root-ca.pem"
wine "$TOOL" add "$ca_windows" >"$MACHINE_DIR/certs/install.log" 2>&1 || {
    echo "certs: installing the test root CA failed, see $MACHINE_DIR/certs/install.log" >&2
    exit 1
}
