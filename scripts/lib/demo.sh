# The demo's pieces for scripts/demo: article database, private ODBC data source, server, Xvfb, program.
# shellcheck shell=bash

PLENVARO_DEMO_COMPANY=1
PLENVARO_DEMO_BRANCH=0
PLENVARO_DEMO_USER=K17
PLENVARO_DEMO_PASSWORD=geheim

# Processes this script started, stopped in reverse order by demo_cleanup; temp dirs it made.
DEMO_PIDS=()
DEMO_TEMP_DIRS=()

# Who reports a failure; the system tests reuse these functions under their own name.
DEMO_NAME=${DEMO_NAME:-scripts/demo}

demo_fail() {
    echo "$DEMO_NAME: $*" >&2
    exit 1
}

# True while the process runs (bash reaps an ended child itself and keeps its exit code for wait).
demo_running() {
    kill -0 "$1" 2>/dev/null
}

# Exit code of a child that has ended.
demo_exit_code() {
    local rc=0
    wait "$1" 2>/dev/null || rc=$?
    echo "$rc"
}

demo_stop() {
    local pid=$1 i
    if demo_running "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 50; i++)); do
            demo_running "$pid" || break
            sleep 0.1
        done
        demo_running "$pid" && kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
}

demo_cleanup() {
    local i
    for ((i = ${#DEMO_PIDS[@]} - 1; i >= 0; i--)); do
        demo_stop "${DEMO_PIDS[i]}"
    done
    DEMO_PIDS=()
    for i in "${DEMO_TEMP_DIRS[@]}"; do
        rm -rf -- "$i"
    done
    DEMO_TEMP_DIRS=()
}

demo_temp_dir() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/plenvaro-demo.XXXXXX")
    DEMO_TEMP_DIRS+=("$dir")
    DEMO_TEMP=$dir
}

# Prints the last lines of a log, indented, if it has any (a headless run's logs go with its temp dir).
demo_show_log() {
    local title=$1 file=$2
    if [ -s "$file" ]; then
        echo "--- $title, last lines:" >&2
        tail -n 20 "$file" | sed 's/^/    /' >&2
    fi
}

# The SQLite ODBC driver by file path, so neither the machine's odbcinst.ini nor a driver name matters.
demo_sqlite_odbc_driver() {
    local candidate dir
    if [ -n "${PLENVARO_SQLITE_ODBC_DRIVER:-}" ]; then
        [ -f "$PLENVARO_SQLITE_ODBC_DRIVER" ] ||
            demo_fail "PLENVARO_SQLITE_ODBC_DRIVER: no such file: $PLENVARO_SQLITE_ODBC_DRIVER"
        echo "$PLENVARO_SQLITE_ODBC_DRIVER"
        return
    fi
    candidate=$(dpkg-query -L libsqliteodbc 2>/dev/null | grep -m1 '/libsqlite3odbc\.so$' || true)
    if [ -n "$candidate" ] && [ -f "$candidate" ]; then
        echo "$candidate"
        return
    fi
    for dir in /usr/lib/x86_64-linux-gnu/odbc /usr/lib/aarch64-linux-gnu/odbc /usr/lib/*-linux-gnu*/odbc \
        /usr/lib/odbc /usr/lib64/odbc /usr/lib64 /usr/local/lib/odbc /usr/local/lib; do
        if [ -f "$dir/libsqlite3odbc.so" ]; then
            echo "$dir/libsqlite3odbc.so"
            return
        fi
    done
    demo_fail "SQLite3 ODBC driver libsqlite3odbc.so not found (Debian package libsqliteodbc;" \
        "or set PLENVARO_SQLITE_ODBC_DRIVER to its path)"
}

# Writes an odbc.ini with the data source tovi_net on the SQLite database DB (made absolute).
demo_write_odbc_ini() {
    local db=$1 ini=$2 driver
    [ -f "$db" ] || demo_fail "no article database at $db"
    db=$(realpath -- "$db")
    driver=$(demo_sqlite_odbc_driver)
    # StepAPI=1: rows are stepped from SQLite as fetched; otherwise the driver keeps its own full copy
    # of every result besides the program's. Timeout: milliseconds the driver waits for a database another
    # program has locked (its own default is 100 s); the program asks for 10 s, which this driver ignores.
    cat >"$ini" <<EOF
; Written by scripts/demo at each start; changes here are lost.
[ODBC Data Sources]
tovi_net = SQLite3 ODBC driver, Plenvaro demo articles

[tovi_net]
Description = Plenvaro demo articles
Driver      = $driver
Database    = $db
StepAPI     = 1
Timeout     = 10000
EOF
}

# Runs the program's own query on tovi_net through isql (ODBCINI must be set), so a broken data source
# shows here and not as an error box in the program.
demo_check_data_source() {
    local today query out rows
    today=$(date +%F)
    query="select num_artikel,nam_artikel,nam_artikel_2,nam_artikel_lang,anz_punkte,gueltig_ab,gueltig_bis,statt_preis"
    query+=" from kk_artikel where kk_artikel.gueltig_ab <= {d'$today'} AND kk_artikel.dat_loesch >= {d'$today'}"
    query+=" AND kk_artikel.gueltig_bis >= {d'$today'}"
    command -v isql >/dev/null || demo_fail "isql not found (Debian package unixodbc)"
    if ! out=$(printf '%s\n' "$query" | isql -b -v -d'|' tovi_net 2>&1); then
        demo_fail "isql cannot connect to the data source tovi_net (ODBCINI=${ODBCINI:-}): $out"
    fi
    # isql -b reports SQL errors on its output and still exits 0.
    if grep -q '^\[' <<<"$out"; then
        demo_fail "the article query fails on tovi_net: $out"
    fi
    rows=$(grep -c '^[0-9]\{10\}|' <<<"$out" || true)
    [ "$rows" -gt 0 ] || demo_fail "tovi_net lists no article for today (ODBCINI=${ODBCINI:-})"
    echo "ODBC data source tovi_net (ODBCINI=${ODBCINI:-}): $rows bonus articles valid today."
}

# Starts veldor-server on 127.0.0.1:PORT (0: a free one) and waits for its "listening on" line.
# Sets DEMO_SERVER_PID and DEMO_SERVER_PORT.
demo_start_server() {
    local server=$1 data=$2 port=$3 log=$4 out=$5 line="" i rc
    [ -x "$server" ] || demo_fail "veldor-server not built: $server"
    "$server" --data "$data" --bind 127.0.0.1 --port "$port" --log "$log" >"$out" 2>&1 </dev/null &
    DEMO_SERVER_PID=$!
    DEMO_PIDS+=("$DEMO_SERVER_PID")
    for ((i = 0; i < 100; i++)); do
        line=$(head -n 1 "$out" 2>/dev/null || true)
        if [[ $line =~ ^listening\ on\ [^\ ]+:([0-9]+)$ ]]; then
            DEMO_SERVER_PORT=${BASH_REMATCH[1]}
            return
        fi
        if ! demo_running "$DEMO_SERVER_PID"; then
            rc=$(demo_exit_code "$DEMO_SERVER_PID")
            demo_show_log "veldor-server output" "$out"
            demo_show_log "veldor-server log" "$log"
            demo_fail "veldor-server ended at start with exit code $rc (port $port in use?)"
        fi
        sleep 0.1
    done
    demo_show_log "veldor-server output" "$out"
    demo_fail "veldor-server did not report listening within 10 s"
}

# Starts Xvfb on a display number it picks itself (-displayfd: it writes the number once it accepts
# clients, so there is no race for a number and no guessing when it is up). -noreset: otherwise the
# server resets whenever its last client leaves and refuses the next one meanwhile. Sets DEMO_DISPLAY.
demo_start_xvfb() {
    local dir=$1 number="" i rc pid
    command -v Xvfb >/dev/null || demo_fail "Xvfb not found (Debian package xvfb)"
    : >"$dir/xvfb.display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$dir/xvfb.display" >"$dir/xvfb.log" 2>&1 </dev/null &
    pid=$!
    DEMO_PIDS+=("$pid")
    for ((i = 0; i < 150; i++)); do
        number=$(head -n 1 "$dir/xvfb.display")
        if [[ $number =~ ^[0-9]+$ ]]; then
            DEMO_DISPLAY=":$number"
            return
        fi
        if ! demo_running "$pid"; then
            rc=$(demo_exit_code "$pid")
            demo_show_log "Xvfb" "$dir/xvfb.log"
            demo_fail "Xvfb ended at start with exit code $rc"
        fi
        sleep 0.1
    done
    demo_show_log "Xvfb" "$dir/xvfb.log"
    demo_fail "Xvfb did not come up within 15 s"
}

# Names of the visible windows on DISPLAY, one a line, for telling why the expected one is missing.
demo_visible_windows() {
    local wid
    for wid in $(xdotool search --onlyvisible --name '.' 2>/dev/null || true); do
        echo "    $(xdotool getwindowname "$wid" 2>/dev/null || echo "(window $wid)")"
    done
}

# --- the Windows program under Wine (scripts/demo --windows) -------------------------------------------

# Runs a Wine command in the prefix DEMO_WINE_PREFIX: no debug noise, no prompts for Mono or Gecko. The
# program's log lines go to standard error (Wine hands QT_ variables over only with a WINE prefix).
demo_wine() {
    env WINEPREFIX="$DEMO_WINE_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=" \
        WINEQT_FORCE_STDERR_LOGGING=1 "$@"
}

# Boots the prefix DIR once (its registry keeps the program's settings between runs); DISPLAY must be
# set already, as Wine's desktop process starts now and stays on that display.
demo_wine_prefix() {
    DEMO_WINE_PREFIX=$1
    if [ ! -f "$DEMO_WINE_PREFIX/system.reg" ]; then
        echo "Setting up a Wine prefix in $DEMO_WINE_PREFIX (about 20 s)."
        mkdir -p "$DEMO_WINE_PREFIX"
        demo_wine /usr/lib/wine/wine64 wineboot -i </dev/null >"$DEMO_WINE_PREFIX.boot.log" 2>&1 || {
            demo_show_log "wineboot" "$DEMO_WINE_PREFIX.boot.log"
            demo_fail "wineboot failed in $DEMO_WINE_PREFIX"
        }
    fi
}

# Ends every Windows process of the prefix and its wineserver.
demo_wine_stop() {
    if [ -z "${DEMO_WINE_PREFIX:-}" ] || [ ! -d "$DEMO_WINE_PREFIX" ]; then
        return 0
    fi
    demo_wine /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    demo_wine /usr/lib/wine/wineserver -w >/dev/null 2>&1 || true
}
