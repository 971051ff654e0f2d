#!/usr/bin/env bash
# Puts one of the IIS scenarios in place as the test machine's
# C:\Windows\System32\inetsrv\config\applicationHost.config and forgets the
# recorded site states (C:\CorvantaTestbed\iis-state.log), as on a freshly
# configured server.
#   use-scenario.sh NAME   scenarios/NAME.config (empty, default-web-site,
#                          earlier-installation, modified-pool, handlers-locked)
#   use-scenario.sh none   no configuration file at all
set -euo pipefail
source "$(dirname "$0")/../env.sh"

name="${1:?usage: $0 NAME|none}"
CONFIG_DIR="$WINEPREFIX/drive_c/windows/system32/inetsrv/config"
mkdir -p "$CONFIG_DIR"
if [ "$name" = none ]; then
    rm -f "$CONFIG_DIR/applicationHost.config"
else
    source_file="$TESTBED_DIR/iis/scenarios/$name.config"
    [ -f "$source_file" ] || { echo "no IIS scenario '$name' in $TESTBED_DIR/iis/scenarios" >&2; exit 2; }
    cp -f "$source_file" "$CONFIG_DIR/applicationHost.config"
fi
rm -f "$WINEPREFIX/drive_c/CorvantaTestbed/iis-state.log"
