#!/usr/bin/env bash
# An empty branch ("Filiale") saved in the server dialog: the login goes on with it, and the next start
# with that store shows a window.
#   empty_branch.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

case_saved_and_restarted() {
    local name shown="$ST_MAIN|$ST_LOGIN"
    local want="VELDOR Muster              Firma: 1     Filiale:      Benutzer: $ST_USER|$ST_USER_NAME"
    st_start_server
    st_start_app # nothing stored yet: the login dialog
    # The server dialog: allow changes, the test server's port into the second box, the fourth box
    # (branch) emptied, save, back.
    st_open_server_dialog
    st_allow_changes_and_type_port
    st_keys Tab Tab BackSpace
    st_keys shift+Tab shift+Tab shift+Tab shift+Tab space # "Ändern"
    st_keys_to "$ST_CONNECT_BOX" "question \"Änderungen sichern?\"" Return
    st_wait_gone "$ST_CONNECT_BOX" "question \"Änderungen sichern?\""
    "$ST_STORE_TOOL" show | grep -qx "Filiale=" || st_fail "the emptied branch was not saved"
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab space # "Zurück"
    st_wait_gone "$ST_SERVER_DIALOG" "server dialog"

    st_enter_login "$ST_USER" "$ST_PASSWORD"
    st_wait_main "main window after the login with an empty branch"
    name=$(xdotool getwindowname "$ST_WID")
    [ "$name" = "$want" ] || st_fail "after the login with an empty branch: \"$name\", not \"$want\""
    st_wait_log "$(st_login_line 1 "" "$ST_USER" "$ST_USER_NAME")" "the accepted login with an empty branch"
    st_end_by_menu

    # Again with the same store: the stored login goes through, or the dialog asks; the program must
    # not end before it shows anything.
    st_start_app
    st_wait_window "$ST_MAIN|$ST_LOGIN|$ST_REFUSED_BOX|$ST_ACCESS_ERROR|$ST_CONNECT_BOX|$ST_PLAIN_BOX" \
        "main window or login dialog at the second start"
    name=$(xdotool getwindowname "$ST_WID")
    [[ $name =~ $shown ]] || st_fail "the second start shows \"$name\", not the main window or login dialog"
    if [[ $name =~ $ST_MAIN ]]; then
        st_end_by_menu
    else
        st_login_keys Tab Tab Tab space
        st_expect_exit 0 "ended by \"Abbruch\" at the second start"
    fi
}

st_main "$@"
