#!/usr/bin/env bash
# The Windows program under Wine as a user meets it: logging in by the dialog (the server's port stored
# or typed into the server dialog) and by the command line, the twelve articles, the stock of the
# clicked article, finding articles.
#   program.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR CASE
set -euo pipefail
# shellcheck source=wine.sh
source "$(dirname "$0")/wine.sh"

ST_FIND='^Suchen$'

# The port as the site's administrator stored it; the user types name and password.
case_login_dialog() {
    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
    st_wait_window "$ST_LOGIN" "login dialog"
    wine_shot login-dialog
    st_log_in
    wine_expect_articles
    wine_click_first_article
    wine_shot main-window
    st_end_by_menu
}

# Nothing stored: the port is typed into the server dialog, saved there, and the login goes to it.
case_login_server_dialog() {
    st_start_server
    st_start_app
    st_open_server_dialog
    wine_shot server-dialog
    st_allow_changes_and_type_port
    st_keys shift+Tab shift+Tab space # "Ändern", now saving
    st_keys_to "$ST_CONNECT_BOX" "question \"Änderungen sichern?\"" Return
    st_wait_gone "$ST_CONNECT_BOX" "question \"Änderungen sichern?\""
    wine_run reg query "$LOGIN_KEY" /v Port 2>/dev/null | tr -d '\r' | grep -qE "REG_SZ +$ST_PORT$" ||
        st_fail "the port typed into the server dialog is not in the registry"
    st_keys_to "$ST_SERVER_DIALOG" "server dialog" Tab space # "Zurück"
    st_wait_gone "$ST_SERVER_DIALOG" "server dialog"
    st_log_in
    wine_expect_articles
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

# Company, branch, user, password, address and port on the command line: no dialog; the title names
# the user the server knows.
case_command_line() {
    local name want="VELDOR Muster              Firma: 1     Filiale: 0     Benutzer: K17|Maier"
    st_start_logged_in
    name=$(xdotool getwindowname "$ST_WID")
    [ "$name" = "$want" ] || st_fail "the login from the command line shows \"$name\", not \"$want\""
    st_wait_log "$(st_login_line 1 0 "$ST_USER" "$ST_USER_NAME")" "the accepted login"
    wine_expect_articles
    wine_click_first_article
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window"
}

# How many stock lookups of an article key the server has logged.
lookups() {
    grep -cE -- "$(wine_lookup_line "$1")" "$ST_TMP/server.log" 2>/dev/null || true
}

has_lookups() {
    [ "$(lookups "$1")" -ge "$2" ]
}

# Strg+F with "Lagerstand mitführen" on: each article found becomes the current one and its stock is
# asked. "ML" is in three names after the first record; F3 goes on from the main window, round the
# end; an umlaut typed on the German keyboard finds "Zahncreme Kräuter".
case_search() {
    local main finder owner
    st_start_logged_in
    main=$ST_WID
    wine_expect_articles
    st_main_keys alt+d
    st_wait_popup "menu Datei"
    wine_shot menu-datei
    st_keys m # "Lagerstand &mitführen"
    st_wait_for "closing of the menu" st_popup_gone
    st_main_keys ctrl+f
    st_wait_window "$ST_FIND" "find dialog"
    finder=$ST_WID
    owner=$(st_owner_of "$finder")
    if [ -z "$owner" ] || [ "$((owner))" -ne "$main" ]; then
        st_fail "the find dialog belongs to window ${owner:-(none)}, not to the main window"
    fi
    st_focus "$finder"
    st_type "ML"
    wine_shot find-dialog
    st_keys Return
    st_wait_log "$(wine_lookup_line 100202)" "stock of \"Spülmittel Zitrone\" (Flasche 500 ml)"
    st_keys Return
    st_wait_log "$(wine_lookup_line 100204)" "stock of \"Olivenöl nativ extra\" (Flasche 750 ml)"
    st_keys Escape
    st_wait_gone "$ST_FIND" "find dialog"
    st_main_keys F3
    st_wait_log "$(wine_lookup_line 100210)" "stock of \"Zahncreme Kräuter\" (Tube 75 ml) after F3"
    st_main_keys F3
    st_wait_for "a second stock lookup of \"Spülmittel Zitrone\", round the end" has_lookups 100202 2
    st_main_keys ctrl+f
    st_wait_window "$ST_FIND" "find dialog again"
    st_focus "$ST_WID"
    st_keys ctrl+a
    st_type "kräuter"
    st_keys Return
    st_wait_for "a second stock lookup of \"Zahncreme Kräuter\", found as kräuter" has_lookups 100210 2
    st_keys Escape
    st_wait_gone "$ST_FIND" "find dialog"
    st_end_by_menu
}

# Through the component: the idle program gives its licence back after 30 s (the server closes the
# session), and the next click connects anew and shows 42 and 7 again.
case_idle_reconnect() {
    st_start_logged_in
    wine_expect_articles
    wine_click_first_article
    ST_DEADLINE=45 st_wait_log " session 1 closed " "the idle disconnect after 30 s"
    xdotool mousemove --window "$ST_WID" 40 66 click 1 || st_fail "xdotool could not click"
    st_park_pointer
    st_wait_log " session 2 opened " "a new session for the next lookup"
    wine_click_first_article
    st_end_by_menu
}

# Without the component registered the program cannot reach any server; it says that the server
# vendor's client component is missing, naming it, and gives up after three attempts with status 1.
case_no_component() {
    wine_register_standin /u
    st_start_server
    st_start_app 1 0 "$ST_USER" "$ST_PASSWORD" 127.0.0.1 "$ST_PORT"
    st_answer_failed_attempts
    st_expect_exit 1 "gave up without the component"
    wine_log_has 'CacheObject\.Factory' || st_fail "the message does not name the component CacheObject.Factory"
    st_log_lacks " session [0-9]+ opened " "no session without the component"
}

wine_main "$@"
