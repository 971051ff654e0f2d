#!/usr/bin/env bash
# make run: opens the setup dialog under Wine on your own X display, in the
# project's test machine. Arguments go to the setup program (e.g. /repair).
set -euo pipefail
source "$(dirname "$0")/display.sh"
[ -n "${DISPLAY:-}" ] || { echo "run: no DISPLAY; use 'make demo' for a headless run with screenshots" >&2; exit 1; }
trap restore_headless EXIT INT TERM
"$TESTBED_DIR/machine.sh" create
set_graphics_driver x11
"$TESTBED_DIR/machine.sh" start
mkdir -p "$BUILD_DIR/run"
cd "$BUILD_DIR/run"
wine "$BUILD_DIR/CorvantaSetup.exe" "$@"
