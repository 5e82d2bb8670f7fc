#!/usr/bin/env bash
# The program installed from the MSI into the case's Wine prefix, as a site installs it: it logs in,
# lists the articles, shows the stock of the clicked one, ends with exit status 0 and uninstalls
# without leaving its folder behind.
#   installed.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR msi
set -euo pipefail
# shellcheck source=wine.sh
source "$(dirname "$0")/wine.sh"

INSTALLED='C:\Program Files\Plenvaro\plenvaro.exe'

installed_folder() {
    wine_run winepath -u 'C:\Program Files\Plenvaro' 2>/dev/null | tr -d '\r'
}

case_msi() {
    local msi folder
    msi=$(find "$WINDOWS_BUILD/dist/windows" -maxdepth 1 -name 'plenvaro-*-x64.msi' | head -n 1)
    [ -n "$msi" ] || st_fail "no MSI in $WINDOWS_BUILD/dist/windows (cmake --build ... --target msi)"
    st_step "installing $(basename "$msi")"
    wine_run msiexec /i "$msi" /qn </dev/null >"$ST_TMP/msiexec.out" 2>&1 || {
        demo_show_log "msiexec" "$ST_TMP/msiexec.out"
        st_fail "msiexec /i failed"
    }
    folder=$(installed_folder)
    [ -f "$folder/plenvaro.exe" ] || st_fail "after the installation there is no $INSTALLED"
    # The installed program alone: nothing of the build on its way.
    ST_APP=$INSTALLED WINE_PATH=""

    st_start_server
    st_store_server "$ST_PORT"
    st_start_app
    st_log_in
    wine_expect_articles
    wine_click_first_article
    st_end_by_menu

    st_step "uninstalling"
    wine_run msiexec /x "$msi" /qn </dev/null >"$ST_TMP/msiexec.out" 2>&1 || {
        demo_show_log "msiexec" "$ST_TMP/msiexec.out"
        st_fail "msiexec /x failed"
    }
    [ ! -e "$folder/plenvaro.exe" ] || st_fail "after the uninstallation $INSTALLED is still there"
    [ ! -e "$folder" ] || st_fail "after the uninstallation its folder is left: $(find "$folder" -mindepth 1 | head -n 5 | tr "\n" " ")"
}

WINDOWS_BUILD=$(cd "${1:-.}" && pwd)
wine_main "$@"
