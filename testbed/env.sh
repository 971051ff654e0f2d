# Environment of the project's Windows test machine; sourced by every script
# that talks to it. Never points at the user's own ~/.wine.
TESTBED_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PROJECT_DIR="$(dirname "$TESTBED_DIR")"
BUILD_DIR="${CORVANTA_BUILD_DIR:-$PROJECT_DIR/build}"
MACHINE_DIR="$BUILD_DIR/testmachine"
export WINEPREFIX="$MACHINE_DIR/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
D_DRIVE_DIR="$MACHINE_DIR/d-drive"
# Wine's WinHTTP takes a proxy from http_proxy when the machine has none set;
# the test machine must see exactly the proxy its tests configure.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY all_proxy ALL_PROXY
