#!/usr/bin/env bash
# Keyboard use of the login and server dialogs: their tab orders, and Enter on a focused push button
# pressing that button rather than the dialog's default one.
#   focused_buttons.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

start_at_login() {
    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
}

# The focus starts in the password box; Tab goes on to the user box, then to "Anmelden".
case_login_tab_order() {
    start_at_login
    st_login_keys
    st_type "$ST_PASSWORD"
    st_keys Tab
    st_type "$ST_USER"
    st_keys Tab space
    st_wait_main "main window after Space on \"Anmelden\""
    st_wait_log "$(st_login_line 1 0 "$ST_USER" "$ST_USER_NAME")" "the accepted login"
    st_end_by_menu
}

# Credentials filled in, Tab on to "Abbruch", Enter: the program ends and nobody logs in.
case_cancel_by_enter() {
    start_at_login
    st_login_keys
    st_type "$ST_PASSWORD"
    st_keys Tab
    st_type "$ST_USER"
    st_keys Tab Tab Return
    st_expect_exit 0 "Enter on the focused \"Abbruch\"" "$ST_MAIN|$ST_REFUSED_BOX|$ST_ACCESS_ERROR"
    st_stop_server
    st_log_lacks "$ST_LOGIN_TRIED" "Enter on the focused \"Abbruch\" tried a login"
}

# Tab on to "Server", Enter: the server dialog opens, no login is tried.
case_server_by_enter() {
    start_at_login
    st_login_keys Tab Tab Tab Tab Return
    st_wait_window "$ST_SERVER_DIALOG" "server dialog after Enter on the focused \"Server\""
    st_close_server_dialog
    st_log_lacks "$ST_LOGIN_TRIED" "Enter on the focused \"Server\" tried a login"
    st_login_keys Tab Tab Tab space
    st_expect_exit 0 "ended by \"Abbruch\" after the server dialog"
}

# Done as soon as the question shows or the server dialog has closed instead.
question_or_closed() {
    [ -n "$(st_find "$ST_CONNECT_BOX")" ] || [ -z "$(st_find "$ST_SERVER_DIALOG")" ]
}

# The server dialog opens with the focus on its default button "Zurück"; Tab wraps round to "Ändern"
# (the boxes are locked), and Enter there asks whether to allow changes instead of closing the dialog.
case_edit_by_enter() {
    start_at_login
    st_open_server_dialog
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab Return
    ENDING_OK=1 st_wait_for "question \"Änderungen erlauben?\" (window \"$ST_CONNECT_BOX\")" \
        question_or_closed
    [ -n "$(st_find "$ST_CONNECT_BOX")" ] ||
        st_fail "Enter on the focused \"Ändern\" closed the server dialog without asking \"Änderungen erlauben?\""
    st_expect_shown "$ST_SERVER_DIALOG" "Enter on the focused \"Ändern\""
    st_keys_to "$ST_CONNECT_BOX" "question \"Änderungen erlauben?\"" Escape # No
    st_wait_gone "$ST_CONNECT_BOX" "question \"Änderungen erlauben?\""
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab space # "Zurück"
    st_wait_gone "$ST_SERVER_DIALOG" "server dialog"
    st_login_keys Tab Tab Tab space
    st_expect_exit 0 "ended by \"Abbruch\" after the server dialog"
}

# With changes allowed, Tab goes from "Ändern" through the boxes server, port, company, branch,
# namespace: a port and a branch typed into the second and fourth box are saved and used for the login.
case_server_tab_order() {
    st_start_server
    st_start_app # nothing stored: the dialog shows the defaults
    st_open_server_dialog
    st_allow_changes_and_type_port
    st_keys Tab Tab
    st_type 7
    st_keys shift+Tab shift+Tab shift+Tab shift+Tab space # back to "Ändern"
    st_keys_to "$ST_CONNECT_BOX" "question \"Änderungen sichern?\"" Return
    st_wait_gone "$ST_CONNECT_BOX" "question \"Änderungen sichern?\""
    "$ST_STORE_TOOL" show | grep -qx "Port=$ST_PORT" || st_fail "the port typed into the second box was not saved"
    "$ST_STORE_TOOL" show | grep -qx "Filiale=7" || st_fail "the branch typed into the fourth box was not saved"
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab space # "Zurück"
    st_wait_gone "$ST_SERVER_DIALOG" "server dialog"
    st_enter_login "$ST_USER" "$ST_PASSWORD"
    st_wait_main "main window for branch 7"
    [[ $(xdotool getwindowname "$ST_WID") == *"Filiale: 7 "* ]] ||
        st_fail "the main window does not show the saved branch 7"
    st_wait_log "$(st_login_line 1 7 "$ST_USER" "$ST_USER_NAME")" "the accepted login for branch 7"
    st_end_by_menu
}

st_main "$@"
