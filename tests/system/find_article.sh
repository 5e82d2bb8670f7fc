#!/usr/bin/env bash
# Finding an article as a person does: the find dialog, and the stock that follows the current record once
# "Lagerstand mitführen" is on. Which record is current shows in the server log, as the stock lookup for
# its article key (characters 5 to 10 of the number).
#   find_article.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

ST_FIND='^Suchen$'

# The stock lookup of an article key for company 1, branch 0.
lookup_line() {
    echo " session [0-9]+ open VD\\.ArtLagerFilInfo 1\\|\\|$1\\|\\|0$"
}

# How many lookups of KEY (all of them without one) the server has logged.
lookups() {
    grep -cE -- "$(lookup_line "${1:-[0-9]+}")" "$ST_TMP/server.log" 2>/dev/null || true
}

has_lookups() {
    [ "$(lookups "$1")" -ge "$2" ]
}

follow_stock() {
    st_main_keys alt+d
    st_wait_popup "menu Datei"
    st_keys m
    st_wait_for "closing of the menu" st_popup_gone
}

# Strg+F opens the find dialog, owned by the main window. "ml" (any case) is in three names after the first
# record; Enter finds one after the other, and each becomes the current record, whose stock follows.
# Escape closes only the dialog; F3 in the main window searches on, round the end. "kraeuter" finds
# "Zahncreme Kräuter". The setting survives a restart: there, Down alone looks the next article up.
case_search_and_follow() {
    local main finder owner
    st_start_logged_in
    main=$ST_WID
    follow_stock
    st_main_keys ctrl+f
    st_wait_window "$ST_FIND" "find dialog"
    finder=$ST_WID
    owner=$(st_owner_of "$finder")
    if [ -z "$owner" ] || [ "$((owner))" -ne "$main" ]; then
        st_fail "the find dialog belongs to window ${owner:-(none)}, not to the main window"
    fi
    st_focus "$finder"
    st_type "ML"
    st_keys Return
    st_wait_log "$(lookup_line 100202)" "stock of \"Spülmittel Zitrone\" (Flasche 500 ml)"
    st_keys Return
    st_wait_log "$(lookup_line 100204)" "stock of \"Olivenöl nativ extra\" (Flasche 750 ml)"
    st_keys Escape
    st_wait_gone "$ST_FIND" "find dialog"
    st_expect_shown "$ST_MAIN" "Escape in the find dialog"
    st_main_keys F3
    st_wait_log "$(lookup_line 100210)" "stock of \"Zahncreme Kräuter\" (Tube 75 ml) after F3"
    st_main_keys F3
    st_wait_for "a second stock lookup of \"Spülmittel Zitrone\", round the end" has_lookups 100202 2
    st_main_keys ctrl+f
    st_wait_window "$ST_FIND" "find dialog again"
    st_focus "$ST_WID"
    st_keys ctrl+a
    st_type "kraeuter"
    st_keys Return
    st_wait_for "a second stock lookup of \"Zahncreme Kräuter\", found as kraeuter" has_lookups 100210 2
    st_keys Escape
    st_wait_gone "$ST_FIND" "find dialog"
    st_end_by_menu

    st_log_lacks "$(lookup_line 100201)" "before the restart, nothing moved onto the second article"
    st_start_app 1 0 "$ST_USER" "$ST_PASSWORD" 127.0.0.1 "$ST_PORT"
    st_wait_main "main window after the restart"
    st_main_keys Down
    st_wait_log "$(lookup_line 100201)" "stock of the second article, followed after the restart"
    st_end_by_menu
}

# Off (the default), moving the record looks nothing up, as before the setting existed.
case_moving_without_follow() {
    local before
    st_start_logged_in
    before=$(lookups)
    st_main_keys Down Down Up
    st_settle
    [ "$(lookups)" = "$before" ] || st_fail "moving the record with the setting off looked stock up"
    st_end_by_menu
}

st_main "$@"
