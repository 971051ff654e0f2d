#!/usr/bin/env bash
# make demo: the default installation of Corvanta 10.1 (client and server,
# SQL Server Express, the IIS web site) in the test machine, driven through
# the real dialog on a virtual display, with screenshots under build/demo/
# and a summary of what the setup did.
set -euo pipefail
source "$(dirname "$0")/display.sh"

DEMO_DIR="$BUILD_DIR/demo"
EXE="$BUILD_DIR/CorvantaSetup.exe"
DRIVER="$BUILD_DIR/testbed/uidriver/CorvantaUiDriver.exe"
DRIVE_C="$WINEPREFIX/drive_c"
SETUP="TovinSoft Corvanta v10.1 Setup"
XVFB_PID=""
APP_PID=""

cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    "$TESTBED_DIR/download_server/serve.sh" stop >/dev/null 2>&1 || true
    restore_headless
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

say() { echo "demo: $*"; }
driver() { wine "$DRIVER" "$@" 2>>"$DEMO_DIR/driver.log" | tr -d '\r'; }
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

free_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo "$n"; return; }
    done
    return 1
}

# Where the window with the given title is on the screen (WxH+X+Y).
window_geometry() {
    local title="$1" geometry=""
    for _ in $(seq 1 80); do
        geometry=$(xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | head -1 || true)
        [ -n "$geometry" ] && { echo "$geometry"; return; }
        sleep 0.25
    done
    say "window \"$title\" did not appear" >&2
    return 1
}

# Saves that part of the screen into a PNG file.
shoot_area() {
    local geometry="$1" file="$2"
    import -window root -crop "${geometry%%+*}+$(echo "$geometry" | cut -d+ -f2)+$(echo "$geometry" | cut -d+ -f3)" +repage "$file"
    say "saved $file"
}

# Saves the on-screen window with the given title into a PNG file.
shoot() {
    local geometry
    geometry=$(window_geometry "$1")
    sleep 1  # let it paint
    shoot_area "$geometry" "$2"
}

# The dialog as a template shows it, then closed again.
show_template() {
    local title="$1" file="$2"
    shift 2
    (cd "$DEMO_DIR/run" && exec wine "$EXE" "$@") >>"$DEMO_DIR/wine-output.log" 2>&1 &
    APP_PID=$!
    shoot "$title" "$file"
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=""
}

# Every trace of an earlier installation goes, so the demo starts as on a new server.
reset_machine() {
    rm -rf "$DRIVE_C/TCorvanta10" "$DRIVE_C/Corvanta10App" "$DRIVE_C/sqldata" "$DRIVE_C/sqlbackup" \
        "$DRIVE_C/Program Files/TovinSoft" "$DRIVE_C/CorvantaTestbed"
    local key
    for key in 'HKCU\Software\TovinSoft' 'HKLM\SOFTWARE\TovinSoft' 'HKLM\SOFTWARE\Microsoft\VisualStudio\12.0' \
        'HKLM\SOFTWARE\CorvantaTestbed\SqlWmi' 'HKLM\SOFTWARE\CorvantaTestbed\Dism' 'HKLM\SOFTWARE\CorvantaTestbed\Installers' \
        'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\CorvantaClient' \
        'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\CorvantaServer'; do
        wine reg delete "$key" /f >>"$DEMO_DIR/wine-output.log" 2>&1 || true
    done
    cp "$TESTBED_DIR/iis/scenarios/default-web-site.config" "$DRIVE_C/windows/system32/inetsrv/config/applicationHost.config"
}

rm -rf "$DEMO_DIR" && mkdir -p "$DEMO_DIR/run"
"$TESTBED_DIR/machine.sh" create
display=$(free_display)
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$DEMO_DIR/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
set_graphics_driver x11
"$TESTBED_DIR/machine.sh" start
eval "$("$TESTBED_DIR/serve-packages.sh" $$ 2>/dev/null)"
STATE="$MACHINE_DIR/server-state"
reset_machine

# The two dialogs with every control of their templates.
show_template "$SETUP" "$DEMO_DIR/setup-dialog.png" /modify
show_template "Uninstall, Modify or Repair" "$DEMO_DIR/maintenance-dialog.png" /repair

# The default installation, as an administrator fills it in.
say "default installation: Both, 64 Bit, c:\\TCorvanta10, Starter, port 8080, SQL Server Express"
# SQL Server Express comes slowly, so the run can be seen part-way.
printf '{"SQLEXPR_x64_ENU.exe": {"fault": "slow", "rate": 250000, "chunk": 16384}}' >"$STATE/faults.json"
pid=$(driver start --output "$(windows_path "$DEMO_DIR/setup-output.txt")" "$(windows_path "$DEMO_DIR/run")" "$(windows_path "$EXE")")
driver wait-dialog "$SETUP" 20000 >/dev/null
shoot "$SETUP" "$DEMO_DIR/1-start.png"
driver set-text "$SETUP" 119 "Both"
driver key "$SETUP" 119 tab
shoot "$SETUP" "$DEMO_DIR/2-after-setup-type.png"
driver click "$SETUP" 136
shoot "$SETUP" "$DEMO_DIR/3-dark-mode.png"
driver click "$SETUP" 136
driver set-text "$SETUP" 116 "64 Bit"
driver key "$SETUP" 116 tab
driver set-text "$SETUP" 114 'c:\TCorvanta10'
driver set-text "$SETUP" 125 "Starter"
driver set-text "$SETUP" 117 "8080"
driver key "$SETUP" 117 tab
driver set-text "$SETUP" 124 "Yes"
driver set-text "$SETUP" 122 'Corvanta#2026'
driver key "$SETUP" 122 tab
driver set-text "$SETUP" 123 'Corvanta#2026'
driver key "$SETUP" 123 tab
driver click "$SETUP" 1
# The run has a thread of its own: the dialog paints and answers meanwhile,
# its status line showing the bytes of the slow download.
sleep 2.5
shoot "$SETUP" "$DEMO_DIR/4-during-run.png"
box=$(driver wait-box "completed" 300000)
shoot "TovinSoft Corvanta Version 10.1 App" "$DEMO_DIR/5-final-box.png"
driver answer-box ok >/dev/null
exit_code=$(driver wait-exit "$pid" 60000)
rm -f "$STATE/faults.json"

log="$DEMO_DIR/run/TovinSoft CorvantaAI  Setup v10.1.3.Log"
reg_query() { wine reg query "$@" 2>/dev/null | tr -d '\r' | grep -v '^$' | sed 's/^/    /'; }
{
    echo "== The setup ended with exit code $exit_code; its final box: ${box#*$'\t'}"
    echo
    echo "== Packages downloaded (the download server's request log)"
    cut -f2,3,4 "$STATE/requests.log" | sed 's/^/    /'
    echo
    echo "== Files"
    for folder in TCorvanta10 Corvanta10App "Program Files/TovinSoft/CorvantaAI"; do
        echo "  c:\\$folder:"
        (cd "$DRIVE_C/$folder" && find . -maxdepth 1 -type f -printf '    %f (%s bytes)\n' | sort)
    done
    echo
    echo "== Registry"
    reg_query 'HKCU\Software\TovinSoft\Corvanta10\Client'
    reg_query 'HKLM\SOFTWARE\TovinSoft\Corvanta10\Server'
    reg_query 'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\CorvantaClient'
    reg_query 'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\CorvantaServer'
    echo
    echo "== IIS (applicationHost.config): sites, bindings, pools"
    grep -E '<site |<binding |<application |<virtualDirectory |<add name="(TCorvanta|DefaultAppPool)' \
        "$DRIVE_C/windows/system32/inetsrv/config/applicationHost.config" | sed 's/^ */    /'
    grep -c 'TCorvanta10\tStart' "$DRIVE_C/CorvantaTestbed/iis-state.log" >/dev/null && echo "    site started"
    echo
    echo "== Windows features enabled through DISM"
    reg_query 'HKLM\SOFTWARE\CorvantaTestbed\Dism\Features' | grep REG_DWORD | awk '{print "    " $1}'
    echo
    echo "== SQL Server Express command line (as logged)"
    tr -d '\r' <"$log" | grep 'SQLEXPR_x64_ENU.exe"' | sed 's/^/    /'
    echo
    echo "== The setup log"
    tr -d '\r' <"$log" | sed 's/^/    /'
} | tee "$DEMO_DIR/summary.txt"
say "screenshots and summary.txt are in $DEMO_DIR"
[ "$exit_code" = "0" ]
