#!/usr/bin/env bash
# The IIS administration stand-in in the test machine.
#   install.sh [install]   copy the DLL into system32 and register its class
#                          (runs at every start of the machine; a fresh IIS
#                          configuration is put in place only when none exists)
#   install.sh uninstall   remove the class registration: creating the manager
#                          then fails with REGDB_E_CLASSNOTREG (0x80040154), as
#                          on a server without the IIS management components
set -euo pipefail
source "$(dirname "$0")/../env.sh"

DLL=iis_admin_standin.dll
BUILT="$BUILD_DIR/testbed/iis/$DLL"
SYSTEM32="$WINEPREFIX/drive_c/windows/system32"
CONFIG_DIR="$SYSTEM32/inetsrv/config"
LOG="$MACHINE_DIR/iis-install.log"

mkdir -p "$MACHINE_DIR"
case "${1:-install}" in
    install)
        if [ ! -f "$BUILT" ]; then
            # A build of only some targets still gets a machine; IIS then looks absent.
            echo "iis: $BUILT is not built; the IIS administration class stays unregistered" >&2
            exit 0
        fi
        # A new file beside the old one, renamed over it: a process that has the
        # old DLL loaded keeps its own copy.
        if ! cmp -s "$BUILT" "$SYSTEM32/$DLL"; then
            cp -f "$BUILT" "$SYSTEM32/$DLL.new"
            mv -f "$SYSTEM32/$DLL.new" "$SYSTEM32/$DLL"
        fi
        mkdir -p "$CONFIG_DIR"
        [ -f "$CONFIG_DIR/applicationHost.config" ] ||
            cp "$TESTBED_DIR/iis/scenarios/default-web-site.config" "$CONFIG_DIR/applicationHost.config"
        wine regsvr32 /s "C:\\windows\\system32\\$DLL" >>"$LOG" 2>&1 || {
            echo "iis: registering $DLL failed, see $LOG" >&2
            exit 1
        }
        ;;
    uninstall)
        wine reg delete 'HKLM\Software\Classes\CLSID\{2B72133B-3F5B-4602-8952-803546CE3344}' /f /reg:64 \
            >>"$LOG" 2>&1 || true
        ;;
    *)
        echo "usage: $0 [install|uninstall]" >&2
        exit 2
        ;;
esac
