#!/usr/bin/env bash
# Installs the SQL Server WMI provider stand-in into the test machine: copies
# the DLL into system32 and points the WMI locator class at it. machine.sh
# runs this at every start, so the machine always has the last build.
set -euo pipefail
source "$(dirname "$0")/../env.sh"

DLL_NAME=corvanta_sqlwmi.dll
BUILT="$BUILD_DIR/testbed/sqlwmi/$DLL_NAME"
SYSTEM32="$WINEPREFIX/drive_c/windows/system32"
STATE_DIR="$WINEPREFIX/drive_c/CorvantaTestbed"
REG_FILE="$STATE_DIR/sqlwmi-register.reg"
LOG="$MACHINE_DIR/wine.log"

if [ ! -f "$BUILT" ]; then
    echo "sqlwmi: $BUILT is not built; the WMI locator is left as it is" >&2
    exit 0
fi

cp -f "$BUILT" "$SYSTEM32/$DLL_NAME"

mkdir -p "$STATE_DIR"
cat >"$REG_FILE" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32]
@="C:\\windows\\system32\\corvanta_sqlwmi.dll"
"ThreadingModel"="Both"
REG
wine reg import 'C:\CorvantaTestbed\sqlwmi-register.reg' /reg:64 </dev/null >>"$LOG" 2>&1
rm -f "$REG_FILE"
