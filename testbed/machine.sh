#!/usr/bin/env bash
# The Windows test machine: a project-local Wine prefix under build/.
#   machine.sh create   make the prefix (again, when it is missing or broken)
#   machine.sh start    keep one wineserver alive for a test run
#   machine.sh stop     stop that wineserver and everything it runs
#   machine.sh status   say whether the prefix is ready
#   machine.sh policy <host:port>
#                       set the DownloadServer policy the setup takes its server from
set -euo pipefail
source "$(dirname "$0")/env.sh"

READY_MARK="$WINEPREFIX/.corvanta-ready"
MACHINE_VERSION=1  # raise when the machine's set-up below changes

log() { echo "testmachine: $*" >&2; }

prefix_ready() {
    [ -f "$READY_MARK" ] && [ "$(cat "$READY_MARK")" = "$MACHINE_VERSION" ] &&
        [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/system32" ]
}

wine_quiet() {
    # Wine's services inherit our output; send it to a file so no pipe stays open.
    wine "$@" >>"$MACHINE_DIR/wine.log" 2>&1
}

create() {
    mkdir -p "$MACHINE_DIR" "$D_DRIVE_DIR"
    if prefix_ready; then
        log "prefix ready at $WINEPREFIX"
        return 0
    fi
    if [ -e "$WINEPREFIX" ]; then
        log "removing incomplete prefix $WINEPREFIX"
        WINESERVER_KILL_QUIET=1 stop || true
        rm -rf "$WINEPREFIX"
    fi
    log "creating prefix $WINEPREFIX"
    wine_quiet wineboot -i
    # Headless: real windows and messages without a display.
    wine_quiet reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    # Never offer to install Mono or Gecko, also when the variable is not set.
    wine_quiet reg add 'HKCU\Software\Wine\DllOverrides' /v mscoree /d "" /f
    wine_quiet reg add 'HKCU\Software\Wine\DllOverrides' /v mshtml /d "" /f
    ln -sfn "$D_DRIVE_DIR" "$WINEPREFIX/dosdevices/d:"
    wineserver -w
    own_profile_folders
    echo "$MACHINE_VERSION" >"$READY_MARK"
    log "prefix created"
}

# Wine links the profile's Desktop, Documents and the like to the Linux home;
# in the test machine they are folders of the prefix, so nothing a test or the
# setup writes there (shortcuts, for one) lands in the real home.
own_profile_folders() {
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        [ -L "$link" ] || continue
        rm -f "$link" && mkdir -p "$link"
    done
}

# Every piece of the test machine that must be installed into the prefix
# (stand-in DLLs, registrations, certificates) has an install.sh in its folder;
# they run at every start, so a rebuilt piece is always the one installed.
install_pieces() {
    local script
    for script in "$TESTBED_DIR"/*/install.sh; do
        [ -f "$script" ] || continue
        bash "$script" >>"$MACHINE_DIR/wine.log" 2>&1 || { log "install failed: $script"; return 1; }
    done
}

start() {
    prefix_ready || create
    # A display run that was killed before it could switch back leaves the
    # machine on X11; the tests need it headless.
    if [ -z "${CORVANTA_DISPLAY_RUN:-}" ] && grep -q '"Graphics"="x11"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine_quiet reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
        wineserver -w
    fi
    # A wineserver that already runs for this prefix is made persistent instead.
    wineserver -p >>"$MACHINE_DIR/wine.log" 2>&1 || true
    # Starts the machine's services once, with their output going to the log.
    wine_quiet cmd /c exit
    own_profile_folders
    install_pieces
}

stop() {
    [ -d "$WINEPREFIX" ] || return 0
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# The machine's administrator points the setup at the test download server,
# as an administrator with a mirror does.
policy() {
    wine_quiet reg add 'HKLM\SOFTWARE\Policies\TovinSoft\Corvanta10' /v DownloadServer /d "$1" /f
}

case "${1:-}" in
    create) create ;;
    start) start ;;
    stop) stop ;;
    policy) policy "${2:?usage: $0 policy <host:port>}" ;;
    status) if prefix_ready; then echo ready; else echo missing; exit 1; fi ;;
    *) echo "usage: $0 create|start|stop|status|policy <host:port>" >&2; exit 2 ;;
esac
