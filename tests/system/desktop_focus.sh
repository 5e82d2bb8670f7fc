#!/usr/bin/env bash
# Focus as it moves on a desktop: a window manager (openbox) runs, and the tests only wait for the
# focus to arrive where a person would go on typing, never put it there themselves. A message box a
# window opens belongs to that window, and the focus comes back to it when the box closes.
#   desktop_focus.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

st_focus() {
    st_await_focus "$@"
}

# F1, "Systeminfo...", OK: the message belongs to the about box and gives the focus back to it, so the
# next Escape closes the about box, not the program.
case_about_box_message() {
    local about owner
    st_start_window_manager
    st_start_logged_in
    st_main_keys F1
    st_wait_window "$ST_ABOUT" "about box"
    about=$ST_WID
    st_focus "$about"
    st_keys alt+s
    st_wait_window "$ST_PLAIN_BOX" "message that no system information is available"
    owner=$(st_owner_of "$ST_WID")
    [ -n "$owner" ] && [ "$((owner))" -eq "$about" ] ||
        st_fail "the message belongs to window ${owner:-(none)}, not to the about box ($about)"
    st_keys_to "$ST_PLAIN_BOX" "the message" Return
    st_wait_gone "$ST_PLAIN_BOX" "the message"
    st_focus "$about"
    st_keys Escape
    st_wait_gone "$ST_ABOUT" "about box"
    st_expect_running "Escape in the about box after the message"
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

# A refused login: the login dialog steps aside while the server is asked, and after the refusal it is
# back with the focus, so the password can be typed again at once.
case_refusal_message() {
    st_start_window_manager
    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
    st_wait_window "$ST_LOGIN" "login dialog"
    st_focus "$ST_WID"
    st_enter_login "$ST_USER" wrong
    st_wait_window "$ST_REFUSED_BOX" "refusal message"
    st_focus "$ST_WID"
    st_keys Return
    st_wait_gone "$ST_REFUSED_BOX" "refusal message"
    st_wait_window "$ST_LOGIN" "login dialog after the refusal"
    st_focus "$ST_WID"
    st_type "$ST_PASSWORD"
    st_keys Return
    st_wait_main "main window after the second try"
    st_focus "$ST_WID"
    st_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

st_main "$@"
