#!/usr/bin/env bash
# The test machine's HTTPS download server, for scripts.
#   serve.sh start [--root DIR] [--state DIR] [--port N] [--untrusted] [--watch PID]
#                   start it (unless it runs already) and wait until it answers
#   serve.sh stop   stop the server of this state folder (only that process)
#   serve.sh status say "running <pid> port <p> untrusted-port <u>", "starting <pid>",
#                   or "stopped" (exit 1)
#   serve.sh env    print the exports the Windows side needs (eval "$(serve.sh env)")
# Defaults: served folder $CORVANTA_BUILD_DIR/testmachine/downloads, state folder
# $CORVANTA_BUILD_DIR/testmachine/server-state; CORVANTA_DOWNLOADS_DIR and
# CORVANTA_SERVER_STATE_DIR override them for every command.
set -euo pipefail
source "$(dirname "$0")/../env.sh"

HERE="$TESTBED_DIR/download_server"
ROOT="${CORVANTA_DOWNLOADS_DIR:-$MACHINE_DIR/downloads}"
STATE="${CORVANTA_SERVER_STATE_DIR:-$MACHINE_DIR/server-state}"
CERTS="$MACHINE_DIR/certs"

log() { echo "download server: $*" >&2; }

parse_folders() {  # picks --root/--state out of the arguments; the rest stays in REST
    REST=()
    while [ $# -gt 0 ]; do
        case "$1" in
            --root) ROOT=$2; shift 2 ;;
            --state) STATE=$2; shift 2 ;;
            *) REST+=("$1"); shift ;;
        esac
    done
}

# The pid of our running server, or nothing. A pid file whose process is gone
# or is not this state folder's server (a reused pid) does not count.
running_pid() {
    local pid
    pid=$(cat "$STATE/server.pid" 2>/dev/null) || return 0
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    local cmdline
    cmdline=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || return 0
    case "$cmdline" in
        *server.py*"--state $STATE "*) echo "$pid" ;;
    esac
}

answers() {  # <port>
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start() {
    local port=0 untrusted="" watch=0
    while [ $# -gt 0 ]; do
        case "$1" in
            --port) port=$2; shift 2 ;;
            --untrusted) untrusted=--untrusted; shift ;;
            --watch) watch=$2; shift 2 ;;
            *) log "unknown option $1"; exit 2 ;;
        esac
    done
    if [ -n "$(running_pid)" ]; then
        log "already running (pid $(running_pid), port $(cat "$STATE/port"))"
        return 0
    fi
    mkdir -p "$ROOT" "$STATE"
    ROOT=$(cd "$ROOT" && pwd)
    STATE=$(cd "$STATE" && pwd)
    bash "$TESTBED_DIR/certs/make-certs.sh" "$CERTS" >/dev/null
    # Every run starts with no faults and empty records: names that tests make
    # unique by process id come back in later runs.
    rm -f "$STATE/port" "$STATE/untrusted-port" "$STATE/server.pid" "$STATE/faults.json" \
        "$STATE/requests.log" "$STATE/requests.jsonl"
    /usr/bin/python3 "$HERE/server.py" --root "$ROOT" --state "$STATE" --certs "$CERTS" --port "$port" \
        --untrusted-listener --watch "$watch" $untrusted </dev/null >"$STATE/server.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$STATE/server.pid"
    local tries
    for tries in $(seq 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            log "did not start; the end of $STATE/server.log:"
            tail -n 20 "$STATE/server.log" >&2
            rm -f "$STATE/server.pid"
            return 1
        fi
        if [ -s "$STATE/port" ] && [ -s "$STATE/untrusted-port" ] &&
            answers "$(cat "$STATE/port")" && answers "$(cat "$STATE/untrusted-port")"; then
            log "running (pid $pid, port $(cat "$STATE/port"), untrusted port $(cat "$STATE/untrusted-port"))"
            return 0
        fi
        sleep 0.1
    done
    log "no answer after 10 s; stopping it"
    stop
    return 1
}

stop() {
    local pid
    pid=$(running_pid)
    if [ -n "$pid" ]; then
        kill -TERM "$pid" 2>/dev/null || true
        local tries
        for tries in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            log "pid $pid did not end; killing it"
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    rm -f "$STATE/server.pid" "$STATE/port" "$STATE/untrusted-port"
}

status() {
    local pid
    pid=$(running_pid)
    if [ -z "$pid" ]; then
        echo stopped
        return 1
    fi
    if [ ! -s "$STATE/port" ] || [ ! -s "$STATE/untrusted-port" ]; then
        echo "starting $pid"
        return 0
    fi
    echo "running $pid port $(cat "$STATE/port") untrusted-port $(cat "$STATE/untrusted-port")"
}

windows_path() {  # Wine maps / to Z:
    local path
    path=$(cd "$1" && pwd)
    echo "Z:${path//\//\\}"
}

print_env() {
    [ -n "$(running_pid)" ] || { log "not running"; return 1; }
    printf 'export CORVANTA_DOWNLOAD_SERVER=%q\n' "localhost:$(cat "$STATE/port")"
    printf 'export CORVANTA_TESTBED_UNTRUSTED_SERVER=%q\n' "localhost:$(cat "$STATE/untrusted-port")"
    printf 'export CORVANTA_TESTBED_DOWNLOADS=%q\n' "$(windows_path "$ROOT")"
    printf 'export CORVANTA_TESTBED_SERVER_STATE=%q\n' "$(windows_path "$STATE")"
}

command=${1:-}
[ $# -gt 0 ] && shift
parse_folders "$@"
[ -d "$STATE" ] && STATE=$(cd "$STATE" && pwd)
case "$command" in
    start) start ${REST[@]+"${REST[@]}"} ;;
    stop) stop ;;
    status) status ;;
    env) print_env ;;
    *) echo "usage: $0 start [--root DIR] [--state DIR] [--port N] [--untrusted] [--watch PID] | stop | status | env" >&2
       exit 2 ;;
esac
