# The cases of waits.sh, shared with the Windows program's system tests: waiting for a server or
# database that is slow or gone. Sourced after lib.sh (or the Windows tests' wine.sh).
# shellcheck shell=bash

ST_NOTE='^Plenvaro: Bitte warten$'
PING_LIMIT_MS=200

# The window answers pings every 100 ms for a second, each within the limit.
expect_responsive() {
    local wid=$1 what=$2
    "$ST_PING_TOOL" "$wid" 10 100 "$PING_LIMIT_MS" >"$ST_TMP/ping.out" 2>&1 ||
        st_fail "$what: the window did not answer within $PING_LIMIT_MS ms: $(tr '\n' ' ' <"$ST_TMP/ping.out")"
    st_step "$what: $(sort -t' ' -k5 -n "$ST_TMP/ping.out" | tail -1 | sed 's/^ping [0-9]*: //') at most"
}

follow_stock() {
    st_main_keys alt+d
    st_wait_popup "menu Datei"
    st_keys m
    st_wait_for "closing of the menu" st_popup_gone
}

# A stopped server takes the connection and never answers. The stock lookup waits, the window keeps
# answering, the note comes; Abbrechen ends the lookup with empty boxes and a line in the program's
# log. Once the server runs again the next lookup reconnects.
case_stopped_server_lookup() {
    local main
    st_start_logged_in
    main=$ST_WID
    follow_stock
    # The check itself can fail: a program that does not run does not answer. (Under Wine the
    # process started is Wine's loader, not the program.)
    if [ -z "${ST_NO_SELF_CHECK:-}" ]; then
        kill -STOP "$ST_APP_PID"
        if "$ST_PING_TOOL" "$main" 1 100 "$PING_LIMIT_MS" >/dev/null 2>&1; then
            kill -CONT "$ST_APP_PID"
            st_fail "a stopped program answered the ping"
        fi
        kill -CONT "$ST_APP_PID"
    fi
    kill -STOP "$ST_SERVER_PID"
    st_main_keys Down
    expect_responsive "$main" "while the server is stopped"
    st_wait_window "$ST_NOTE" "the note on the awaited server"
    st_keys_to "$ST_NOTE" "the note" Return # "Abbrechen"
    st_wait_gone "$ST_NOTE" "the note after Abbrechen"
    st_expect_running "the lookup was cancelled"
    st_wait_for "the cancelled lookup in the program's log" \
        grep -q "Lagerstand abgefragt.*Warten auf den Server abgebrochen" "$ST_TMP/plenvaro.out"
    kill -CONT "$ST_SERVER_PID"
    st_main_keys Down
    st_wait_log " session [0-9]+ open VD\\.ArtLagerFilInfo 1\\|\\|100202\\|\\|0$" \
        "the next lookup, on a new connection"
    st_end_by_menu
}

# A login from the command line to a stopped server: the note is on screen almost from the first
# moment, since no window is. Abbrechen ends each attempt as a failed one; after the third the program gives up
# and ends with status 1.
# The note comes soon at each attempt; Abbrechen ends it.
cancel_the_wait() {
    ST_DEADLINE=3 st_wait_window "$ST_NOTE" "the note of attempt $1, soon"
    st_keys_to "$ST_NOTE" "the note" Return
    st_wait_gone "$ST_NOTE" "the note after Abbrechen"
}

case_stopped_server_login() {
    st_start_server
    kill -STOP "$ST_SERVER_PID"
    st_start_app 1 0 "$ST_USER" "$ST_PASSWORD" 127.0.0.1 "$ST_PORT"
    st_answer_failed_attempts cancel_the_wait
    st_expect_exit 1 "gave up after three cancelled attempts"
    grep -q "Ursache: Das Warten auf den Server wurde abgebrochen" "$ST_TMP/plenvaro.out" 2>/dev/null ||
        st_step "(the message's cause is not in the program's output; checked by the in-process tests)"
    kill -CONT "$ST_SERVER_PID"
}

# Another program holds the article database locked: "Neu lesen" waits at most the bound, the window
# answering meanwhile, then says so in German; the program goes on.
case_locked_database_reread() {
    local main started took
    st_start_logged_in
    main=$ST_WID
    (
        echo "BEGIN EXCLUSIVE;"
        sleep 60
    ) | sqlite3 "$ST_TMP/articles.sqlite3" &
    DEMO_PIDS+=("$!")
    sleep 0.5
    started=$(date +%s)
    st_main_keys alt+n
    expect_responsive "$main" "while the database is locked"
    st_wait_window "$ST_NOTE" "the note on reading the list"
    ST_DEADLINE=30 st_wait_for "the message on the locked database" \
        grep -q "Artikeldatenbank (ODBC-Datenquelle tovi_net) ist gesperrt" "$ST_TMP/plenvaro.out"
    took=$(($(date +%s) - started))
    [ "$took" -le 20 ] || st_fail "the re-read gave up after $took s"
    st_step "the re-read gave up after $took s"
    st_keys_to "$ST_PLAIN_BOX" "the message" Return
    st_wait_gone "$ST_PLAIN_BOX" "the message"
    st_expect_running "after the failed re-read"
    st_end_by_menu
}

