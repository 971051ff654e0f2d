# Sourced by scripts that show the real dialogs on an X display (the demo,
# `make run`): switches the test machine from the headless null driver to X11
# and back. Every way out restores the headless machine.
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

export CORVANTA_DISPLAY_RUN=1

set_graphics_driver() {
    "$TESTBED_DIR/machine.sh" stop
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$1" /f >>"$MACHINE_DIR/wine.log" 2>&1
    wineserver -w
}

restore_headless() {
    set_graphics_driver null || true
}
