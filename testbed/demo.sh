#!/usr/bin/env bash
# make demo: shows the real setup program in the test machine and saves
# screenshots of what a person sees under build/demo/.
set -euo pipefail
source "$(dirname "$0")/display.sh"

DEMO_DIR="$BUILD_DIR/demo"
EXE="$BUILD_DIR/CorvantaSetup.exe"
XVFB_PID=""
APP_PID=""

cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    restore_headless
}
trap cleanup EXIT INT TERM

free_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    return 1
}

# Saves the on-screen window with the given title into a PNG file.
shoot() {
    local title="$1" file="$2" geometry=""
    for _ in $(seq 1 40); do
        geometry=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -1 || true)
        [ -n "$geometry" ] && break
        sleep 0.25
    done
    [ -n "$geometry" ] || { echo "demo: window \"$title\" did not appear" >&2; return 1; }
    sleep 1.5  # let it paint
    import -window root -crop "${geometry%%+*}+$(echo "$geometry" | cut -d+ -f2)+$(echo "$geometry" | cut -d+ -f3)" +repage "$file"
    echo "demo: saved $file"
}

show() {
    local title="$1" file="$2"
    shift 2
    (cd "$DEMO_DIR/run" && exec wine "$EXE" "$@") >>"$DEMO_DIR/wine-output.log" 2>&1 &
    APP_PID=$!
    shoot "$title" "$file"
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}

mkdir -p "$DEMO_DIR/run"
"$TESTBED_DIR/machine.sh" create
display=$(free_display)
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$DEMO_DIR/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
set_graphics_driver x11
"$TESTBED_DIR/machine.sh" start

# Every control of the setup dialog (the modify mode shows all of them) and
# the maintenance dialog as a repair opens it.
show "TovinSoft Corvanta v10.1 Setup" "$DEMO_DIR/setup-dialog.png" /modify
show "Uninstall, Modify or Repair" "$DEMO_DIR/maintenance-dialog.png" /repair
echo "demo: screenshots are in $DEMO_DIR"
