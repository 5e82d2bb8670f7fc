# Shared by the system tests: the built program and server as real processes on a private Xvfb display,
# driven with xdotool as a person would, checked by what a person or the server sees.
# A scenario script defines case_NAME functions and ends with: st_main "$@"
# shellcheck shell=bash
# shellcheck disable=SC2034 # its variables are the scripts' as well

ST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
DEMO_NAME=tests/system/$(basename "$0")
# shellcheck source=../../scripts/lib/demo.sh
source "$ST_ROOT/scripts/lib/demo.sh"

ST_DATA=$ST_ROOT/tests/system/veldor-data.json
ST_DEADLINE=${PLENVARO_SYSTEM_WAIT:-20} # seconds any one awaited thing may take
ST_CASE=""
ST_TMP=""
ST_APP_PID=""
ST_APP_RC=""
ST_SERVER_PID=""

# Window names (extended regular expressions, as xdotool search takes them).
ST_LOGIN='^VELDOR Benutzeranmeldung$'
ST_SERVER_DIALOG='^VELDOR Server$'
ST_CONNECT_BOX='^Anmeldung an Caché$' # connection failures and the server dialog's questions
ST_REFUSED_BOX='^Anmeldung an Caché\.$'
ST_ACCESS_ERROR='^Caché Zugriffsfehler$'
ST_MAIN='^VELDOR Muster '
ST_ABOUT='^Info zu Plenvaro$'
ST_PLAIN_BOX='^Plenvaro$' # a message box without a title of its own

# The users of tests/system/veldor-data.json.
ST_USER=K17 ST_PASSWORD=geheim ST_USER_NAME=Maier

# In the server log: any request for a user record, so a login was tried.
ST_LOGIN_TRIED=' session [0-9]+ open VD\.ParPersEdv '

# --- reporting ---------------------------------------------------------------------------------------

st_step() {
    echo "[$ST_CASE] $*"
}

st_signal_note() {
    if [ "$1" -gt 128 ] && [ "$1" -lt 160 ]; then
        echo " (killed by signal $(($1 - 128)), SIG$(kill -l "$(($1 - 128))" 2>/dev/null || echo '?'))"
    fi
}

# Every visible window: name, and "popup" for a menu (override-redirect, no name of its own).
st_windows() {
    local wid name
    for wid in $(xdotool search --onlyvisible --name '' 2>/dev/null || true); do
        name=$(xdotool getwindowname "$wid" 2>/dev/null || true)
        if st_is_popup "$wid"; then
            echo "    popup menu (window $wid)"
        elif [ -n "$name" ]; then
            echo "    $name"
        fi
    done
}

st_focus_name() {
    local wid
    wid=$(xdotool getwindowfocus 2>/dev/null) || {
        echo "(none)"
        return
    }
    xdotool getwindowname "$wid" 2>/dev/null || echo "(window $wid)"
}

# What tells why a case failed: the screen, the program's end, what the program and server said.
st_report() {
    if [ -n "$ST_APP_PID" ]; then
        if st_app_ended; then
            echo "--- plenvaro ended with exit status $ST_APP_RC$(st_signal_note "$ST_APP_RC")" >&2
        else
            echo "--- plenvaro still running" >&2
        fi
    fi
    if [ -n "${DISPLAY:-}" ]; then
        echo "--- visible windows:" >&2
        st_windows >&2
        echo "--- keyboard focus: $(st_focus_name)" >&2
    fi
    demo_show_log "plenvaro output" "$ST_TMP/plenvaro.out"
    if [ -n "${ST_XVFB_PID:-}" ] && ! demo_running "$ST_XVFB_PID"; then
        echo "--- Xvfb on ${DISPLAY:-} has ended" >&2
    fi
    demo_show_log "Xvfb" "$ST_TMP/xvfb.log"
    demo_show_log "veldor-server log" "$ST_TMP/server.log"
    if [ -s "${PLENVARO_REGISTRY:-}" ]; then
        echo "--- stored login settings:" >&2
        "$ST_STORE_TOOL" show 2>&1 | sed 's/^/    /' >&2 || true
    fi
    # What a user of this library knows besides (the Windows tests: the settings in the registry).
    if declare -F st_report_more >/dev/null; then
        st_report_more
    fi
}

st_fail() {
    echo "FAIL [$ST_CASE]: $*" >&2
    st_report
    exit 1
}

# --- the program -------------------------------------------------------------------------------------

# Becomes the program (exec: its process id is the program's, for the signals at the end). Runs only
# in st_start_app's background subshell. The Windows tests run the program through Wine instead.
st_run_app() {
    # xcb explicitly: the environment may carry the offscreen platform of the other tests.
    QT_QPA_PLATFORM=xcb exec "$ST_APP" "$@"
}

st_start_app() {
    [ -z "$ST_APP_PID" ] || st_fail "st_start_app: the program is already running"
    st_run_app "$@" >>"$ST_TMP/plenvaro.out" 2>&1 </dev/null &
    ST_APP_PID=$!
    ST_APP_RC=""
    DEMO_PIDS+=("$ST_APP_PID")
    st_step "plenvaro started${*:+ with: $*}"
}

# True once the program has ended; keeps its exit status in ST_APP_RC.
st_app_ended() {
    [ -n "$ST_APP_RC" ] && return 0
    demo_running "$ST_APP_PID" && return 1
    ST_APP_RC=$(demo_exit_code "$ST_APP_PID")
}

# Waits for the program to end by itself and checks its exit status. With WRONG_WINDOW, a window named
# like that pattern showing up instead fails at once.
st_expect_exit() {
    local want=$1 why=$2 wrong=${3:-} i
    for ((i = 0; i < ST_DEADLINE * 10; i++)); do
        st_app_ended && break
        if [ -n "$wrong" ] && [ -n "$(st_find "$wrong")" ]; then
            st_fail "$why: plenvaro did not end but showed \"$(xdotool getwindowname "$(st_find "$wrong")")\""
        fi
        sleep 0.1
    done
    st_app_ended || st_fail "$why: plenvaro did not end within $ST_DEADLINE s"
    [ "$ST_APP_RC" = "$want" ] ||
        st_fail "$why: plenvaro ended with exit status $ST_APP_RC$(st_signal_note "$ST_APP_RC"), not $want"
    st_step "plenvaro ended with exit status $ST_APP_RC: $why"
    ST_APP_PID="" ST_APP_RC=""
}

# A pause for the program to act on the last keys before asserting that it is still there. Waiting for
# something to happen is always a poll with a deadline instead.
st_settle() {
    sleep "${PLENVARO_SYSTEM_SETTLE:-0.8}"
}

st_expect_running() {
    st_settle
    if st_app_ended; then
        st_fail "$1: plenvaro ended (exit status $ST_APP_RC$(st_signal_note "$ST_APP_RC"))"
    fi
}

# --- windows and keys --------------------------------------------------------------------------------

# The first visible window named like PATTERN; menus are no windows here (they bear the program's name).
st_find() {
    local wid
    for wid in $(xdotool search --onlyvisible --name "$1" 2>/dev/null || true); do
        if ! st_is_popup "$wid"; then
            echo "$wid"
            return
        fi
    done
}

st_is_popup() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'
}

st_popup() {
    local wid
    for wid in $(xdotool search --onlyvisible --name '' 2>/dev/null || true); do
        if st_is_popup "$wid"; then
            echo "$wid"
            return
        fi
    done
}

# Polls CONDITION (a command) until it holds; fails with WHAT after the deadline. The program's end is
# a failure too unless ENDING_OK is set.
st_wait_for() {
    local what=$1 i
    shift
    for ((i = 0; i < ST_DEADLINE * 10; i++)); do
        "$@" && return 0
        if [ -z "${ENDING_OK:-}" ] && [ -n "$ST_APP_PID" ] && st_app_ended; then
            st_fail "waiting for $what: plenvaro ended"
        fi
        sleep 0.1
    done
    st_fail "no $what within $ST_DEADLINE s"
}

st_window_shown() {
    ST_WID=$(st_find "$1")
    [ -n "$ST_WID" ]
}

st_window_hidden() {
    [ -z "$(st_find "$1")" ]
}

# Waits for a visible window named like PATTERN; its id goes to ST_WID.
st_wait_window() {
    st_wait_for "$2 (window \"$1\")" st_window_shown "$1"
    st_step "shown: $(xdotool getwindowname "$ST_WID" 2>/dev/null || true)"
}

st_wait_gone() {
    st_wait_for "closing of the $2 (window \"$1\")" st_window_hidden "$1"
}

st_popup_shown() {
    [ -n "$(st_popup)" ]
}

st_popup_gone() {
    [ -z "$(st_popup)" ]
}

st_wait_popup() {
    st_wait_for "$1 (popup menu)" st_popup_shown
    st_step "popup menu shown: $1"
}

st_expect_shown() {
    [ -n "$(st_find "$1")" ] || st_fail "$2: no visible window \"$1\""
}

# There is no window manager: the X focus goes where the program puts it, and when a window closes it
# falls back to the screen. The tests give the focus to the window a person would go on typing in,
# as a window manager or a click on the window would, and wait until the X server has moved it.
st_focus() {
    local wid=$1 i
    for ((i = 0; i < ST_DEADLINE * 10; i++)); do
        [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$wid" ] && return 0
        ((i % 10 == 0)) && { xdotool windowfocus "$wid" 2>/dev/null || true; }
        sleep 0.1
    done
    st_fail "window $wid ($(xdotool getwindowname "$wid" 2>/dev/null || true)) did not get the keyboard focus"
}

# The pointer into the screen's far corner, away from every window: while no window has the focus,
# keys would go to the window under it.
st_park_pointer() {
    xdotool mousemove 1279 799 2>/dev/null || true
}

# The window a window belongs to (WM_TRANSIENT_FOR): a window manager keeps it above that one and
# gives that one's focus back to it.
st_owner_of() {
    xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | sed -n 's/.*window id # \(0x[0-9a-fA-F]*\).*/\1/p'
}

# Keys as xdotool names them, to the window with the focus.
st_keys() {
    [ "$#" -gt 0 ] || return 0
    st_step "keys: $*"
    xdotool key --clearmodifiers --delay 80 "$@" || st_fail "xdotool could not type the keys $*"
}

st_type() {
    xdotool type --clearmodifiers --delay 50 -- "$1" || st_fail "xdotool could not type text"
}

# Waits for the window named like PATTERN, gives it the focus and types KEYS there.
st_keys_to() {
    local pattern=$1 what=$2
    shift 2
    st_wait_window "$pattern" "$what"
    st_focus "$ST_WID"
    st_keys "$@"
}

# --- the server --------------------------------------------------------------------------------------

# veldor-server on a free port with the test's users; sets ST_PORT.
st_start_server() {
    demo_start_server "$ST_SERVER" "$ST_DATA" 0 "$ST_TMP/server.log" "$ST_TMP/server.out"
    ST_SERVER_PID=$DEMO_SERVER_PID
    ST_PORT=$DEMO_SERVER_PORT
    st_step "veldor-server listening on 127.0.0.1:$ST_PORT"
}

# Stops the server; everything it saw is in its log then.
st_stop_server() {
    [ -n "$ST_SERVER_PID" ] || return 0
    demo_stop "$ST_SERVER_PID"
    ST_SERVER_PID=""
}

# A port on 127.0.0.1 where nobody listens: one the server was given and has given back. Sets
# ST_CLOSED_PORT.
st_closed_port() {
    demo_start_server "$ST_SERVER" "$ST_DATA" 0 "$ST_TMP/probe.log" "$ST_TMP/probe.out"
    demo_stop "$DEMO_SERVER_PID"
    ST_CLOSED_PORT=$DEMO_SERVER_PORT
    st_step "nobody listens on 127.0.0.1:$ST_CLOSED_PORT"
}

st_log_has() {
    grep -qE -- "$1" "$ST_TMP/server.log" 2>/dev/null
}

# Waits for a server log line matching the extended regular expression.
st_wait_log() {
    ENDING_OK=1 st_wait_for "$2 in the server log (a line matching '$1')" st_log_has "$1"
}

st_log_lacks() {
    local line
    line=$(grep -m1 -E -- "$1" "$ST_TMP/server.log" 2>/dev/null || true)
    [ -z "$line" ] || st_fail "$2: the server log shows: $line"
}

# The line the server logs once a login is accepted: the session context set with the user's name.
st_login_line() {
    local company=$1 branch=$2 user=$3 name=$4
    [[ $branch =~ ^[0-9]+$ ]] || branch="\"$branch\""
    echo " session [0-9]+ xecute S FIRMA=$company,FIL=$branch,PERSONAL=\"$user\\|$name\"$"
}

# --- settings store ----------------------------------------------------------------------------------

st_store() {
    "$ST_STORE_TOOL" set "$@" || st_fail "cannot write the settings store"
}

# The site's server address and port, as the server dialog would have saved them.
st_store_server() {
    st_store Server=127.0.0.1 "Port=$1"
}

# --- what a person does in the login dialog ----------------------------------------------------------

# The dialog puts the focus into the password box whenever it becomes active; from there, in tab order,
# come the user box, "Anmelden", "Abbruch" and "Server".
st_login_keys() {
    st_keys_to "$ST_LOGIN" "login dialog" "$@"
}

# Password, user, Enter ("Anmelden" is the default button).
st_enter_login() {
    local user=$1 password=$2
    st_login_keys ctrl+a
    st_type "$password"
    st_keys Tab ctrl+a
    st_type "$user"
    st_keys Return
}

# Acknowledges a failed connection attempt's message and, before the last one, the server dialog shown
# after it. With a command, runs it first, at the start of each attempt.
st_answer_failed_attempts() {
    local attempt
    for attempt in 1 2 3; do
        [ "$#" -eq 0 ] || "$@" "$attempt"
        st_keys_to "$ST_CONNECT_BOX" "the failed attempt's message" Return
        st_wait_gone "$ST_CONNECT_BOX" "the failed attempt's message"
        if [ "$attempt" -lt 3 ]; then
            st_keys_to "$ST_SERVER_DIALOG" "server dialog" Return
            st_wait_gone "$ST_SERVER_DIALOG" "server dialog"
        fi
    done
}

# openbox announces itself on the root window once it manages the screen.
st_wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

st_start_window_manager() {
    st_require openbox openbox
    openbox --sm-disable >"$ST_TMP/openbox.log" 2>&1 </dev/null &
    DEMO_PIDS+=("$!")
    st_wait_for "window manager on $DISPLAY" st_wm_running
}

# With a window manager the focus goes where it and the program put it, as on a desktop: this waits for
# it and never sets it, so a window that a person would have to click first fails.
st_await_focus() {
    local wid=$1 i
    for ((i = 0; i < ST_DEADLINE * 10; i++)); do
        [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$wid" ] && return 0
        sleep 0.1
    done
    st_fail "window $wid ($(xdotool getwindowname "$wid" 2>/dev/null || true)) did not get the keyboard focus"
}

# Logs in and waits for the main window.
st_log_in() {
    st_enter_login "$ST_USER" "$ST_PASSWORD"
    st_wait_main "main window after the login"
    st_wait_log "$(st_login_line 1 0 "$ST_USER" "$ST_USER_NAME")" "the accepted login"
}

# A wrong password: the refusal is acknowledged and the login dialog comes back.
st_refused_login() {
    st_enter_login "$ST_USER" wrong
    st_keys_to "$ST_REFUSED_BOX" "refusal message" Return
    st_wait_gone "$ST_REFUSED_BOX" "refusal message"
    st_wait_window "$ST_LOGIN" "login dialog after the refusal"
}

st_open_server_dialog() {
    st_login_keys Tab Tab Tab Tab space
    st_wait_window "$ST_SERVER_DIALOG" "server dialog"
}

# "Zurück" is the server dialog's default button.
st_close_server_dialog() {
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Return
    st_wait_gone "$ST_SERVER_DIALOG" "server dialog"
}

# A right click into the password box (left 2280, top 525, 1455 x 285 twips: its middle at 96 dpi),
# then Escape.
st_context_menu_in_login() {
    st_login_keys # only the focus
    xdotool mousemove --window "$ST_WID" 200 44 click 3 || st_fail "xdotool could not click"
    st_wait_popup "context menu of the password box"
    st_keys Escape
    st_wait_for "closing of the context menu" st_popup_gone
    st_park_pointer
}

# Waits for the main window; a message box instead (refusal, access error, failed connection, any
# other) fails at once with its title.
st_wait_main() {
    local what=$1 name
    st_wait_window "$ST_MAIN|$ST_REFUSED_BOX|$ST_ACCESS_ERROR|$ST_CONNECT_BOX|$ST_PLAIN_BOX" "$what"
    name=$(xdotool getwindowname "$ST_WID" 2>/dev/null || true)
    [[ $name =~ $ST_MAIN ]] || st_fail "$what: the program shows \"$name\" instead"
}

# --- the main window ---------------------------------------------------------------------------------

# The program logged in from its command line, so no dialog comes first.
st_start_logged_in() {
    st_start_server
    st_start_app 1 0 "$ST_USER" "$ST_PASSWORD" 127.0.0.1 "$ST_PORT"
    st_wait_main "main window after the login from the command line"
}

st_main_keys() {
    st_keys_to "$ST_MAIN" "main window" "$@"
}

# Ends the program through its menu, "&Datei" → "&Beenden", and expects exit status 0.
st_end_by_menu() {
    st_main_keys alt+d
    st_wait_popup "menu Datei"
    st_keys b
    st_expect_exit 0 "ended by Datei → Beenden"
}

# --- set-up ------------------------------------------------------------------------------------------

st_require() {
    command -v "$1" >/dev/null || demo_fail "$1 not found (Debian package $2)"
}

# Tools, the article data source, a private X display and the case's own folder and settings store.
st_setup() {
    local build=$1
    [ -d "$build" ] || demo_fail "no build folder: $build"
    build=$(cd "$build" && pwd)
    ST_APP=$build/src/app/plenvaro
    ST_SERVER=$build/server/veldor-server
    ST_STORE_TOOL=$build/tests/system/plenvaro_system_store
    ST_PING_TOOL=$build/tests/system/plenvaro_system_ping
    [ -x "$ST_APP" ] || demo_fail "the program is not built: $ST_APP"
    [ -x "$ST_SERVER" ] || demo_fail "veldor-server is not built: $ST_SERVER"
    [ -x "$ST_STORE_TOOL" ] || demo_fail "not built: $ST_STORE_TOOL"
    [ -x "$ST_PING_TOOL" ] || demo_fail "not built: $ST_PING_TOOL"
    st_require xdotool xdotool
    st_require xwininfo x11-utils
    st_require xprop x11-utils
    st_require xdpyinfo x11-utils
    st_require Xvfb xvfb

    trap demo_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    ST_TMP=$(mktemp -d "${TMPDIR:-/tmp}/plenvaro-system.XXXXXX")
    DEMO_TEMP_DIRS+=("$ST_TMP")
    export PLENVARO_REGISTRY=$ST_TMP/registry.sqlite3

    "$ST_ROOT/demo/make-articles-db" "$ST_TMP/articles.sqlite3"
    demo_write_odbc_ini "$ST_TMP/articles.sqlite3" "$ST_TMP/odbc.ini"
    export ODBCINI=$ST_TMP/odbc.ini
    demo_check_data_source >/dev/null

    # Never the host's display: a private one, numbered by Xvfb itself.
    unset WAYLAND_DISPLAY XAUTHORITY
    demo_start_xvfb "$ST_TMP"
    ST_XVFB_PID=${DEMO_PIDS[-1]}
    export DISPLAY=$DEMO_DISPLAY
    xdpyinfo >/dev/null 2>&1 || st_fail "Xvfb reported display $DISPLAY, but it takes no connection"
    export XDG_RUNTIME_DIR=$ST_TMP/runtime XDG_CONFIG_HOME=$ST_TMP/config XDG_CACHE_HOME=$ST_TMP/cache
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
    st_park_pointer
}

st_usage() {
    echo "usage: $DEMO_NAME BUILD_DIR CASE [ARG...]" >&2
    echo "cases: $(declare -F | sed -n 's/^declare -f case_//p' | tr '\n' ' ')" >&2
    exit 2
}

# One case a run: BUILD_DIR CASE [ARG...].
# In the open server dialog: "Ändern", allow changes, and the port of the test's server typed into the
# second box. The focus is left in that box.
st_allow_changes_and_type_port() {
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab space # "Ändern"
    st_keys_to "$ST_CONNECT_BOX" "question \"Änderungen erlauben?\"" Return
    st_wait_gone "$ST_CONNECT_BOX" "question \"Änderungen erlauben?\""
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab Tab
    st_type "$ST_PORT"
}

st_main() {
    [ "$#" -ge 2 ] || st_usage
    local build=$1
    ST_CASE=$2
    shift 2
    declare -F "case_$ST_CASE" >/dev/null || {
        echo "$DEMO_NAME: unknown case: $ST_CASE" >&2
        st_usage
    }
    [ "$#" -eq 0 ] || ST_CASE+=" $*"
    st_setup "$build"
    "case_${ST_CASE%% *}" "$@"
    echo "PASS [$ST_CASE]"
}
