#!/usr/bin/env bash
# Puts the test machine's DismApi.dll into C:\windows\system32, where the setup
# loads it from. Run by machine.sh start; copies only when the built library
# differs from the installed one. Without a built library it leaves the machine
# alone, so a machine for other pieces still starts.
set -euo pipefail
source "$(dirname "$0")/../env.sh"

built="$BUILD_DIR/testbed/dism/DismApi.dll"
installed="$WINEPREFIX/drive_c/windows/system32/DismApi.dll"

if [ ! -f "$built" ]; then
    echo "dism: $built not built, DismApi.dll not installed" >&2
    exit 0
fi
if ! cmp -s "$built" "$installed"; then
    cp -f "$built" "$installed.tmp"
    mv -f "$installed.tmp" "$installed"
    echo "dism: installed $installed" >&2
fi
