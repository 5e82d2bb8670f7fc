#!/usr/bin/env bash
# Every way out the user chooses ends the program with exit status 0 (giving up after three failed
# connection attempts with 1, a failure it reported), also after the server dialog was shown, a
# login was refused or a text box's context menu was used (each leaves windows behind that the end
# must tear down).
#   exit_routes.sh BUILD_DIR ROUTE [BEFORE]
#   ROUTE:  menu | escape | close_button | cancel | give_up
#   BEFORE: server_dialog | refused_login | context_menu (in the login dialog, before the route)
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

# What is done in the login dialog before going on; the dialog is shown again afterwards.
before_route() {
    case $1 in
    "") ;;
    server_dialog)
        st_open_server_dialog
        st_close_server_dialog
        ;;
    refused_login) st_refused_login ;;
    context_menu) st_context_menu_in_login ;;
    *) st_fail "unknown step before the route: $1" ;;
    esac
}

# The login dialog with a server to log in to, and what is done there first.
start_at_login() {
    [ "$#" -le 1 ] || st_usage
    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
    before_route "${1:-}"
}

case_menu() {
    start_at_login "$@"
    st_log_in
    st_end_by_menu
}

case_escape() {
    start_at_login "$@"
    st_log_in
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

case_close_button() {
    start_at_login "$@"
    st_log_in
    st_main_keys alt+c # "S&chließen"
    st_expect_exit 0 "ended by the button \"S&chließen\""
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
    [ "$#" -le 1 ] || st_usage
    if [ "${1:-}" = refused_login ]; then
        start_at_login refused_login
        st_stop_server # refused by a server that has gone away since
    else
        st_closed_port
        st_store_server "$ST_CLOSED_PORT"
        st_start_app
        before_route "${1:-}"
    fi
    st_enter_login "$ST_USER" "$ST_PASSWORD"
    for attempt in 1 2; do
        st_keys_to "$ST_CONNECT_BOX" "message on failed connection attempt $attempt" Return
        st_wait_gone "$ST_CONNECT_BOX" "message on failed connection attempt $attempt"
        st_close_server_dialog
    done
    st_keys_to "$ST_CONNECT_BOX" "message that the server was not reached three times" Return
    st_expect_exit 1 "ended after the third failed connection attempt"
}

st_main "$@"
