#!/usr/bin/env bash
# The command line is the program's own: a password that looks like a toolkit option is a password.
#   command_line.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

# KX's password is "-reverse".
case_option_like_password() {
    local want name
    st_start_server
    st_start_app 1 0 KX -reverse 127.0.0.1 "$ST_PORT"
    st_wait_main "main window after the login from the command line"
    name=$(xdotool getwindowname "$ST_WID")
    want="VELDOR Muster              Firma: 1     Filiale: 0     Benutzer: KX|Wendt"
    [ "$name" = "$want" ] || st_fail "the login from the command line shows \"$name\", not \"$want\""
    st_wait_log "$(st_login_line 1 0 KX Wendt)" "the accepted login of KX"
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

st_main "$@"
