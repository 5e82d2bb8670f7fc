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
# A window manager, as on a desktop: it gives the started program the focus its Escape key needs.
DISPLAY=$DEMO_DISPLAY openbox >"$tmp/openbox.log" 2>&1 </dev/null &
DEMO_PIDS+=("$!")
demo_start_server "$linux_build/server/veldor-server" "$ROOT/demo/veldor-data.json" 0 "$tmp/server.log" \
    "$tmp/server.out"
export DISPLAY=$DEMO_DISPLAY XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
credentials=("$PLENVARO_DEMO_COMPANY" "$PLENVARO_DEMO_BRANCH" "$PLENVARO_DEMO_USER" "$PLENVARO_DEMO_PASSWORD"
    127.0.0.1 "$DEMO_SERVER_PORT")

# Starts "$@", prints the milliseconds until the article list's window is visible, and ends the program.
time_to_list() {
    local started pid wid="" ms i
    started=$(date +%s%N)
    "$@" "${credentials[@]}" >"$tmp/program.log" 2>&1 </dev/null &
    pid=$!
    while [ -z "$wid" ]; do
        if ! demo_running "$pid"; then
            demo_show_log "program output" "$tmp/program.log"
            demo_fail "the program ended before its list was shown: $*"
        fi
        if [ $(($(date +%s%N) - started)) -gt 60000000000 ]; then
            echo "Visible windows:" >&2
            demo_visible_windows >&2
            demo_show_log "program output" "$tmp/program.log"
            demo_fail "no article list within 60 s: $*"
        fi
        wid=$(xdotool search --onlyvisible --name '^VELDOR Muster ' 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] || sleep 0.02
    done
    ms=$((($(date +%s%N) - started) / 1000000))
    # Ended as a user ends it (Wine takes no synthetic key events), and gone before the next run, so
    # that run cannot find this window.
    xdotool windowactivate --sync "$wid" key Escape >/dev/null 2>&1 || true
    for ((i = 0; i < 100; i++)); do
        demo_running "$pid" || break
        sleep 0.1
    done
    demo_stop "$pid"
    for ((i = 0; i < 100; i++)); do
        xdotool search --onlyvisible --name '^VELDOR Muster ' >/dev/null 2>&1 || break
        sleep 0.1
    done
    [ "$i" -lt 100 ] || demo_fail "the program's window stayed after it was ended: $*"
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
