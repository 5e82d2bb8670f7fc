#!/usr/bin/env bash
# Every way out the user chooses ends the Windows program under Wine with exit status 0 (giving up
# after three failed connection attempts with 1), also after a refused login left its message box behind.
#   exits.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR ROUTE [refused_login]
#   ROUTE: menu | escape | close_button | close_box | cancel | give_up
set -euo pipefail
# shellcheck source=wine.sh
source "$(dirname "$0")/wine.sh"

# The login dialog with a server to log in to; with refused_login, a wrong password first.
start_at_login() {
    [ "$#" -le 1 ] || st_usage
    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
    case ${1:-} in
    "") ;;
    refused_login)
        st_refused_login
        wine_shot refused-login
        ;;
    *) st_fail "unknown step before the route: $1" ;;
    esac
}

start_logged_in() {
    start_at_login "$@"
    st_log_in
    wine_expect_articles
}

case_menu() {
    start_logged_in "$@"
    st_end_by_menu
}

case_escape() {
    start_logged_in "$@"
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

case_close_button() {
    start_logged_in "$@"
    st_main_keys alt+c # "S&chließen"
    st_expect_exit 0 "ended by the button \"S&chließen\""
}

# The window manager's close box at the right end of the title bar, clicked.
case_close_box() {
    local x y width height extents top
    start_logged_in "$@"
    st_wait_window "$ST_MAIN" "main window"
    st_focus "$ST_WID"
    # Where the screen shows it (xdotool's geometry is off by the frame under a window manager).
    read -r x y width height <<<"$(xwininfo -id "$ST_WID" |
        sed -n 's/^ *\(Absolute upper-left [XY]\|Width\|Height\): *\([0-9]*\)$/\2/p' | tr '\n' ' ')"
    extents=$(xprop -id "$ST_WID" _NET_FRAME_EXTENTS | sed -n 's/.* = //p')
    top=$(cut -d, -f3 <<<"$extents" | tr -d ' ')
    if ! [[ $top =~ ^[0-9]+$ ]] || [ "$top" -eq 0 ]; then
        st_fail "the main window has no title bar (frame: ${extents:-none})"
    fi
    st_step "close box of the ${width}x$height window at $((x + width - 10)),$((y - top / 2))"
    xdotool mousemove "$((x + width - 10))" "$((y - top / 2))" click 1 || st_fail "xdotool could not click"
    st_expect_exit 0 "ended by the window's close box"
}

case_cancel() {
    start_at_login "$@"
    st_login_keys Tab Tab Tab space # "Abbruch"
    st_expect_exit 0 "ended by \"Abbruch\" in the login dialog"
}

# Nothing listens on the stored port: two failed attempts, each with its message and the server
# dialog, then the last message; its OK ends the program.
case_give_up() {
    local attempt
    [ "$#" -eq 0 ] || st_usage
    st_closed_port
    st_store_server "$ST_CLOSED_PORT"
    st_start_app
    st_enter_login "$ST_USER" "$ST_PASSWORD"
    for attempt in 1 2; do
        st_wait_window "$ST_CONNECT_BOX" "message on failed connection attempt $attempt"
        wine_shot "connection-failed-$attempt"
        st_keys_to "$ST_CONNECT_BOX" "message on failed connection attempt $attempt" Return
        st_wait_gone "$ST_CONNECT_BOX" "message on failed connection attempt $attempt"
        st_close_server_dialog
    done
    st_keys_to "$ST_CONNECT_BOX" "message that the server was not reached three times" Return
    st_expect_exit 1 "ended after the third failed connection attempt"
}

wine_main "$@"
