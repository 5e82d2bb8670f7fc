#!/usr/bin/env bash
# Time from starting the program to its article list on screen: the Linux program and, given its folder,
# the Windows program under Wine, each logging in by command line to veldor-server on the demo data.
#   bench/startup/start_to_list.sh [--runs N] LINUX_BUILD_DIR [WINDOWS_PROGRAM_DIR]
# WINDOWS_PROGRAM_DIR holds plenvaro.exe with its DLLs (the Windows build's stage/ folder). The first
# Windows run starts Wine's services in a fresh prefix and is reported apart as "cold".
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
PLENVARO_ROOT=$ROOT
DEMO_NAME=bench/startup/start_to_list.sh
# shellcheck source=../../scripts/lib/demo.sh
source "$ROOT/scripts/lib/demo.sh"
# shellcheck source=../../scripts/lib/windows.sh
source "$ROOT/scripts/lib/windows.sh"

runs=5
if [ "${1:-}" = "--runs" ]; then
    runs=$2
    shift 2
fi
[ "$#" -ge 1 ] || demo_fail "usage: $0 [--runs N] LINUX_BUILD_DIR [WINDOWS_PROGRAM_DIR]"
linux_build=$(realpath "$1")
windows_dir=${2:+$(realpath "$2")}

cleanup() {
    windows_cleanup
    demo_cleanup
}
trap cleanup EXIT
demo_temp_dir
tmp=$DEMO_TEMP
"$ROOT/demo/make-articles-db" "$tmp/articles.sqlite3"
demo_write_odbc_ini "$tmp/articles.sqlite3" "$tmp/odbc.ini"
export ODBCINI=$tmp/odbc.ini ODBCSYSINI=$tmp
demo_start_xvfb "$tmp"
demo_start_server "$linux_build/server/veldor-server" "$ROOT/demo/veldor-data.json" 0 "$tmp/server.log" \
    "$tmp/server.out"
export DISPLAY=$DEMO_DISPLAY XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
credentials=("$PLENVARO_DEMO_COMPANY" "$PLENVARO_DEMO_BRANCH" "$PLENVARO_DEMO_USER" "$PLENVARO_DEMO_PASSWORD"
    127.0.0.1 "$DEMO_SERVER_PORT")

# Starts "$@", prints the milliseconds until the article list's window is visible, and ends the program.
time_to_list() {
    local started pid wid="" ms
    started=$(date +%s%N)
    "$@" "${credentials[@]}" >"$tmp/program.log" 2>&1 </dev/null &
    pid=$!
    while [ -z "$wid" ]; do
        if ! demo_running "$pid"; then
            demo_show_log "program output" "$tmp/program.log"
            demo_fail "the program ended before its list was shown: $*"
        fi
        wid=$(xdotool search --onlyvisible --name '^VELDOR Muster ' 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] || sleep 0.02
    done
    ms=$((($(date +%s%N) - started) / 1000000))
    xdotool key --window "$wid" Escape >/dev/null 2>&1 || true
    demo_stop "$pid"
    echo "$ms"
}

# Median, min and max of the numbers on stdin.
summary() {
    sort -n | awk '{ v[NR] = $1 } END { printf "median %d ms, min %d ms, max %d ms (%d runs)\n", \
        (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[1], v[NR], NR }'
}

for ((i = 0; i < runs; i++)); do
    PLENVARO_REGISTRY=$tmp/registry.sqlite3 QT_QPA_PLATFORM=xcb time_to_list "$linux_build/src/app/plenvaro"
done | summary | sed 's/^/Linux program:          /'

if [ -n "$windows_dir" ]; then
    WINDOWS_PREFIX=$(mktemp -d)
    with_wine "$WINE" wineboot -i >/dev/null 2>&1
    echo "Windows program, cold:  $(time_to_list with_wine "$WINE" "$windows_dir/plenvaro.exe") ms (first start in the prefix)"
    for ((i = 0; i < runs; i++)); do
        time_to_list with_wine "$WINE" "$windows_dir/plenvaro.exe"
    done | summary | sed 's/^/Windows under Wine:     /'
fi
