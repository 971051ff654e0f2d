#!/usr/bin/env bash
# Serves the package set in the test machine: a fresh copy of the set in the
# served folder, signed with the build's test key as the vendor signs its
# downloads, the download server started (ending with the process given),
# and the machine's DownloadServer policy pointing at it. Prints the exports
# the Windows side needs (eval "$(serve-packages.sh <pid>)").
#   serve-packages.sh <watch-pid>
set -euo pipefail
source "$(dirname "$0")/env.sh"
watch=${1:?usage: serve-packages.sh <watch-pid>}

PACKAGE_SET="$BUILD_DIR/testbed/package-set"
SERVED="$MACHINE_DIR/downloads"
rm -rf "$SERVED"
mkdir -p "$SERVED"
if [ -d "$PACKAGE_SET" ]; then
    find "$PACKAGE_SET" -maxdepth 1 -type f -exec cp -p {} "$SERVED/" \;
fi
# Serial 1000: the tests sign lists of their own with the same serial.
"$PROJECT_DIR/tools/sign-downloads.sh" "$SERVED" "$BUILD_DIR/package-signing/test-key.pem" 1000 2>/dev/null
"$TESTBED_DIR/download_server/serve.sh" start --watch "$watch" >&2
server_env=$("$TESTBED_DIR/download_server/serve.sh" env)
eval "$server_env"
"$TESTBED_DIR/machine.sh" policy "$CORVANTA_DOWNLOAD_SERVER"
echo "$server_env" | sed 's/^export CORVANTA_DOWNLOAD_SERVER=/export CORVANTA_TESTBED_SERVER=/'
printf 'export CORVANTA_TESTBED_PACKAGES=%q\n' "Z:${PACKAGE_SET//\//\\}"
