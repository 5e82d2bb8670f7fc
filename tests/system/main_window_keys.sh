#!/usr/bin/env bash
# Keys in the main window that must reach what has the focus, not the window's own record keys: the
# about box, Tab out of the article grid, the menu bar in keyboard mode.
#   main_window_keys.sh BUILD_DIR CASE
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

has_focus() {
    [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$1" ]
}

# F1 opens the about box; its "&Systeminfo..." finds no system information tool here and says so;
# Escape then closes only the about box.
case_about_box() {
    local main about owner
    st_start_logged_in
    main=$ST_WID
    st_main_keys F1
    st_wait_window "$ST_ABOUT" "about box"
    about=$ST_WID
    owner=$(st_owner_of "$about")
    # Owned by the main window: a window manager keeps the box above it.
    if [ -z "$owner" ] || [ "$((owner))" -ne "$main" ]; then
        st_fail "the about box belongs to window ${owner:-(none)}, not to the main window ($(printf '0x%x' "$main"))"
    fi
    # The box takes the focus itself, as it would under any window manager.
    st_wait_for "keyboard focus in the about box" has_focus "$about"
    st_keys alt+s
    st_keys_to "$ST_PLAIN_BOX" "message that no system information is available" Return
    st_wait_gone "$ST_PLAIN_BOX" "message that no system information is available"
    st_expect_shown "$ST_ABOUT" "after the message"
    st_keys_to "$ST_ABOUT" "about box" Escape
    st_wait_gone "$ST_ABOUT" "about box"
    st_expect_running "Escape in the about box"
    st_expect_shown "$ST_MAIN" "Escape in the about box"
    st_main_keys Escape
    st_expect_exit 0 "ended by Escape in the main window after the about box"
}

# The grid has the focus at the start; Tab goes on to "S&chließen" (not to the next cell), which
# Space then presses.
case_tab_leaves_grid() {
    st_start_logged_in
    st_main_keys Tab space
    st_expect_exit 0 "Space after one Tab from the grid (on \"S&chließen\")"
}

# Alt alone puts the menu bar in keyboard mode; Down opens "&Datei"; Escape closes it. The window's own
# record and close keys stay out of it.
case_menu_by_alt() {
    st_start_logged_in
    st_main_keys alt
    st_keys Down
    st_wait_popup "menu opened by Down after Alt"
    st_keys Escape
    st_wait_for "closing of the menu by Escape" st_popup_gone
    st_expect_running "Alt, Down, Escape"
    st_expect_shown "$ST_MAIN" "Alt, Down, Escape"
    st_end_by_menu
}

# Alt+D opens "&Datei", Escape closes it and leaves the menu bar in keyboard mode; Down opens the
# menu again, Escape closes it.
case_menu_by_alt_d() {
    st_start_logged_in
    st_main_keys alt+d
    st_wait_popup "menu Datei"
    st_keys Escape
    st_wait_for "closing of the menu by Escape" st_popup_gone
    st_expect_running "Alt+D, Escape"
    st_keys Down
    st_wait_popup "menu opened by Down in the menu bar"
    st_keys Escape
    st_wait_for "closing of the menu by Escape" st_popup_gone
    st_expect_running "Alt+D, Escape, Down, Escape"
    st_expect_shown "$ST_MAIN" "Alt+D, Escape, Down, Escape"
    st_end_by_menu
}

st_main "$@"
