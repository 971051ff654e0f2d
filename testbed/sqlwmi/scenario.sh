#!/usr/bin/env bash
# Sets which SQL Server the test machine's WMI provider stand-in reports.
#   scenario.sh none                      no SQL Server namespace (the default)
#   scenario.sh default15                 default instance of SQL Server 15.x
#   scenario.sh named14                   named instance INST1 of SQL Server 14.x
#   scenario.sh only11                    default instance of SQL Server 11.x
#   scenario.sh two                       namespaces 11 and 15, as only11 and default15 together
#   scenario.sh quote15                   named instance O'Brien of 15.x (service MSSQL$O'Brien)
#   scenario.sh <scenario> slow <timeouts> [<wait ms>]
#                                         the same with a slow provider host in every namespace
#   scenario.sh native-client present|absent   HKLM\SOFTWARE\Microsoft\SQLNCLI11
#   scenario.sh show                      print the scenario keys
# The SQL Server scenarios replace each other and leave the native client key
# alone. Reads CORVANTA_BUILD_DIR like every testbed script.
set -euo pipefail
source "$(dirname "$0")/../env.sh"

STATE_DIR="$WINEPREFIX/drive_c/CorvantaTestbed"
REG_FILE="$STATE_DIR/sqlwmi-scenario.reg"
LOG="$MACHINE_DIR/wine.log"
ROOT='HKEY_LOCAL_MACHINE\SOFTWARE\CorvantaTestbed\SqlWmi'
NCLI='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\SQLNCLI11'

usage() {
    sed -n '2,14p' "$0" >&2
    exit 2
}

# Set by "slow": time-outs before the first object, and how long each waits
# (unset: the caller's whole time-out).
SLOW_TIMEOUTS=
SLOW_WAIT_MS=

# namespace <number>: the namespace key with the slow host's values, if any
namespace() {
    printf '[%s\\ComputerManagement%s]\n' "$ROOT" "$1"
    [ -z "$SLOW_TIMEOUTS" ] || printf '"TimeoutsBeforeFirstObject"=dword:%08x\n' "$SLOW_TIMEOUTS"
    [ -z "$SLOW_WAIT_MS" ] || printf '"TimeoutWaitMs"=dword:%08x\n' "$SLOW_WAIT_MS"
    printf '\n'
}

# service <namespace number> <service name> <instanceID> <version>
service() {
    namespace "$1"
    printf '[%s\\ComputerManagement%s\\%s]\n"instanceID"="%s"\n"Version"="%s"\n\n' "$ROOT" "$1" "$2" "$3" "$4"
}

# A REG_DWORD in decimal; 10# keeps a leading zero from reading as octal.
number() { [[ "$1" =~ ^[0-9]{1,10}$ ]] && ((10#$1 <= 4294967295)); }

sql_scenario() {
    printf 'Windows Registry Editor Version 5.00\n\n[-%s]\n\n' "$ROOT"
    case "$1" in
        none) ;;
        default15) service 15 MSSQLSERVER MSSQL15.MSSQLSERVER 15.0.2000.5 ;;
        named14) service 14 'MSSQL$INST1' MSSQL14.INST1 14.0.1000.169 ;;
        only11) service 11 MSSQLSERVER MSSQL11.MSSQLSERVER 11.0.2100.60 ;;
        quote15) service 15 "MSSQL\$O'Brien" MSSQL15.OBRIEN 15.0.4153.1 ;;
        two)
            service 11 MSSQLSERVER MSSQL11.MSSQLSERVER 11.0.2100.60
            service 15 MSSQLSERVER MSSQL15.MSSQLSERVER 15.0.2000.5
            ;;
    esac
}

native_client() {
    printf 'Windows Registry Editor Version 5.00\n\n'
    case "$1" in
        present) printf '[%s]\n"InstalledVersion"="11.4.7462.6"\n' "$NCLI" ;;
        absent) printf '[-%s]\n' "$NCLI" ;;
    esac
}

import() {
    mkdir -p "$STATE_DIR" "$MACHINE_DIR"
    cat >"$REG_FILE"
    wine reg import 'C:\CorvantaTestbed\sqlwmi-scenario.reg' /reg:64 </dev/null >>"$LOG" 2>&1
    rm -f "$REG_FILE"
}

case "${1:-}" in
    none | default15 | named14 | only11 | two | quote15)
        if [ "${2:-}" = slow ]; then
            number "${3:-}" || usage
            [ -z "${4:-}" ] || number "$4" || usage
            SLOW_TIMEOUTS=$((10#$3))
            [ -z "${4:-}" ] || SLOW_WAIT_MS=$((10#$4))
        elif [ -n "${2:-}" ]; then
            usage
        fi
        sql_scenario "$1" | import
        ;;
    native-client)
        case "${2:-}" in present | absent) ;; *) usage ;; esac
        native_client "$2" | import
        ;;
    show)
        out="$MACHINE_DIR/sqlwmi-show.txt"
        for key in "$ROOT" "$NCLI"; do
            wine reg query "$key" /s /reg:64 </dev/null >"$out" 2>>"$LOG" || echo "$key: absent" >"$out"
            tr -d '\r' <"$out"
        done
        rm -f "$out"
        ;;
    *) usage ;;
esac
