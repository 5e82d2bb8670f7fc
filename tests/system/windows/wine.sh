# The Windows program under Wine, driven like the Linux program by ../lib.sh: on a private Xvfb display
# with a window manager (openbox), against veldor-server of the Linux build, in a Wine prefix of its own.
# A scenario script defines case_NAME functions and ends with: wine_main "$@"
#   SCRIPT WINDOWS_BUILD_DIR LINUX_BUILD_DIR CASE [ARG...]
# The program is the staged folder (BUILD/stage) if there is one, else the build tree's plenvaro.exe with
# Qt and the compiler's runtime on WINEPATH. WINEPREFIX, if set, is a booted prefix each case copies.
# shellcheck shell=bash
# shellcheck disable=SC2034 # its variables are the scripts' as well

# shellcheck source=../lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"

# Umlauts in window names, typed text and patterns; the Windows run may come with LC_ALL=C. Wine's
# ANSI code page stays Windows-1252 with it.
export LC_ALL=C.UTF-8

WINE_LOADER=/usr/lib/wine/wine64
WINE_SERVER=/usr/lib/wine/wineserver
WINE_TEMPLATE=${WINEPREFIX:-}
WINE_PREFIX=""
WINE_PATH=""
LOGIN_KEY='HKCU\Software\Cache Login\Login'

# The program's log lines on standard error (Wine hands QT_ variables to Windows programs only with a
# WINE prefix; without it Qt writes them to the debugger).
wine_log_has() {
    # Bytes, not UTF-8: the program writes in the Windows code page.
    tr -d '\r' <"$ST_TMP/plenvaro.out" 2>/dev/null | LC_ALL=C grep -qE -- "$1"
}

wine_wait_program_log() {
    ENDING_OK=1 st_wait_for "$2 in the program's log (a line matching '$1')" wine_log_has "$1"
}

# Everything Wine runs gets the case's prefix and display; nothing of the host's Wine.
wine_env() {
    env WINEPREFIX="$WINE_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=" \
        ${WINE_PATH:+WINEPATH="$WINE_PATH"} WINEQT_FORCE_STDERR_LOGGING=1 "$@"
}

wine_run() {
    wine_env "$WINE_LOADER" "$@"
}

# Wine's own errors stay on for the program: a start that fails inside Wine says why in its output.
st_run_app() {
    exec env WINEPREFIX="$WINE_PREFIX" WINEDEBUG=fixme-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=" \
        ${WINE_PATH:+WINEPATH="$WINE_PATH"} WINEQT_FORCE_STDERR_LOGGING=1 "$WINE_LOADER" "$ST_APP" "$@"
}

# The settings store is the registry of the case's prefix.
st_store() {
    local pair
    for pair in "$@"; do
        wine_run reg add "$LOGIN_KEY" /v "${pair%%=*}" /t REG_SZ /d "${pair#*=}" /f >/dev/null 2>&1 ||
            st_fail "cannot write $pair to the registry ($LOGIN_KEY)"
    done
}

st_report_more() {
    [ -n "$WINE_PREFIX" ] && [ -d "$WINE_PREFIX" ] || return 0
    echo "--- stored login settings ($LOGIN_KEY):" >&2
    wine_run reg query "$LOGIN_KEY" 2>&1 | tr -d '\r' | sed -n 's/^ *\(.*REG_SZ.*\)/    \1/p' >&2 || true
}

# A case's own prefix, a copy of the booted template; one is booted when none is given.
wine_prefix() {
    WINE_PREFIX=$ST_TMP/prefix
    if [ -n "$WINE_TEMPLATE" ] && [ -f "$WINE_TEMPLATE/system.reg" ]; then
        cp -a -- "$WINE_TEMPLATE" "$WINE_PREFIX" || st_fail "cannot copy the Wine prefix $WINE_TEMPLATE"
    else
        mkdir "$WINE_PREFIX"
        st_step "booting a Wine prefix (WINEPREFIX names none to copy)"
        wine_run wineboot -i </dev/null >>"$ST_TMP/wineboot.log" 2>&1 || {
            demo_show_log "wineboot" "$ST_TMP/wineboot.log"
            st_fail "wineboot failed"
        }
    fi
}

# The program reaches the server through the component registered under "CacheObject.Factory", at a
# site the server vendor's; here the stand-in that passes every call to veldor-server. It needs the
# program's Qt and runtime DLLs to load.
# With /u: unregisters it again.
wine_register_standin() {
    local path=$WINE_PATH
    [ -n "$path" ] || path=$(printf 'Z:%s' "$(dirname "$ST_APP")" | sed 's|/|\\|g')
    wine_env WINEPATH="$path" "$WINE_LOADER" regsvr32 "$@" /s "Z:$ST_STANDIN" </dev/null >>"$ST_TMP/regsvr32.log" 2>&1 || {
        demo_show_log "regsvr32" "$ST_TMP/regsvr32.log"
        st_fail "regsvr32 $* could not (un)register the stand-in component $ST_STANDIN"
    }
}

# The prefix's wineserver (and every Windows process of it) ends before its folder goes.
wine_cleanup() {
    if [ -n "$WINE_PREFIX" ] && [ -d "$WINE_PREFIX" ]; then
        wine_env "$WINE_SERVER" -k >/dev/null 2>&1 || true
        wine_env "$WINE_SERVER" -w >/dev/null 2>&1 || true
    fi
    demo_cleanup
}

# The program to run: the staged folder, else the build tree with what it needs on WINEPATH.
wine_program() {
    local build=$1 qt dll dirs=()
    if [ -f "$build/stage/plenvaro.exe" ]; then
        ST_APP=$build/stage/plenvaro.exe
        return
    fi
    ST_APP=$build/src/app/plenvaro.exe
    [ -f "$ST_APP" ] || demo_fail "the Windows program is not built: $ST_APP"
    qt=$(sed -n 's/^Qt6_DIR:[A-Z]*=\(.*\)\/lib\/cmake\/Qt6$/\1/p' "$build/CMakeCache.txt")
    [ -d "$qt/bin" ] || demo_fail "no Qt for Windows found through $build/CMakeCache.txt"
    dirs+=("$qt/bin")
    for dll in libstdc++-6.dll libwinpthread-1.dll; do
        dirs+=("$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")")")")
    done
    WINE_PATH=$(printf 'Z:%s;' "${dirs[@]}" | sed 's|/|\\|g')
}

st_setup() {
    local build=$1 linux=$ST_LINUX_BUILD
    [ -d "$build" ] || demo_fail "no build folder: $build"
    [ -d "$linux" ] || demo_fail "no Linux build folder: $linux"
    build=$(cd "$build" && pwd)
    linux=$(cd "$linux" && pwd)
    wine_program "$build"
    ST_STANDIN=$build/src/platform/objfactory/com_standin/plenvaro-cacheobject-standin.dll
    [ -f "$ST_STANDIN" ] || demo_fail "the stand-in component is not built: $ST_STANDIN"
    ST_SERVER=$linux/server/veldor-server
    [ -x "$ST_SERVER" ] || demo_fail "veldor-server is not built: $ST_SERVER"
    ST_PING_TOOL=$linux/tests/system/plenvaro_system_ping
    [ -x "$WINE_LOADER" ] || demo_fail "Wine not found: $WINE_LOADER (Debian package wine64)"
    st_require xdotool xdotool
    st_require xwininfo x11-utils
    st_require xprop x11-utils
    st_require xdpyinfo x11-utils
    st_require Xvfb xvfb
    st_require openbox openbox
    st_require setxkbmap x11-xkb-utils

    trap wine_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    ST_TMP=$(mktemp -d "${TMPDIR:-/tmp}/plenvaro-wine.XXXXXX")
    DEMO_TEMP_DIRS+=("$ST_TMP")
    unset PLENVARO_REGISTRY

    # Wine's ODBC hands the calls to the host's unixODBC, which reads ODBCINI from Wine's environment.
    "$ST_ROOT/demo/make-articles-db" "$ST_TMP/articles.sqlite3"
    demo_write_odbc_ini "$ST_TMP/articles.sqlite3" "$ST_TMP/odbc.ini"
    export ODBCINI=$ST_TMP/odbc.ini
    demo_check_data_source >/dev/null

    unset WAYLAND_DISPLAY XAUTHORITY
    demo_start_xvfb "$ST_TMP"
    ST_XVFB_PID=${DEMO_PIDS[-1]}
    export DISPLAY=$DEMO_DISPLAY
    xdpyinfo >/dev/null 2>&1 || st_fail "Xvfb reported display $DISPLAY, but it takes no connection"
    export XDG_RUNTIME_DIR=$ST_TMP/runtime XDG_CONFIG_HOME=$ST_TMP/config XDG_CACHE_HOME=$ST_TMP/cache
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
    # German keys, so that umlauts are typed as a German user types them; Wine reads the layout at start.
    setxkbmap -display "$DISPLAY" de || st_fail "setxkbmap de failed"
    st_start_window_manager
    wine_prefix
    wine_register_standin
    st_park_pointer
}

# A menu is an unmanaged window of the program's; the window manager and Wine have such windows too.
st_is_popup() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes' &&
        xprop -id "$1" WM_CLASS 2>/dev/null | grep -qi '"plenvaro\.exe"'
}

st_focus() {
    st_await_focus "$@"
}

# The stock lookup of an article key for company 1, branch 0, in the server log.
wine_lookup_line() {
    echo " session [0-9]+ open VD\\.ArtLagerFilInfo 1\\|\\|$1\\|\\|0$"
}

# The program's log line of a finished lookup with both figures, as the two boxes show them.
wine_stock_line() {
    echo "^plenvaro\\.stock: Lagerstand abgefragt"$'\t'"Artikel $1: Lagerstand $2, heute $3$"
}

# The main window lists the twelve articles of the demo database.
wine_expect_articles() {
    wine_wait_program_log "^plenvaro\\.articles: Artikelliste ge.*"$'\t'"12 Artikel in [0-9]+ ms$" \
        "the twelve articles listed"
}

# A click on the first row (123456, the current record after the start): the server is asked, the
# boxes show its stock 42 and today's figure 7.
wine_click_first_article() {
    st_wait_window "$ST_MAIN" "main window"
    st_focus "$ST_WID"
    # Below the menu bar and the column headings, in the article-number column.
    xdotool mousemove --window "$ST_WID" 40 46 click 1 || st_fail "xdotool could not click"
    st_park_pointer
    st_wait_log "$(wine_lookup_line 123456)" "stock lookup of 123456"
    wine_wait_program_log "$(wine_stock_line 123456 42 7)" "stock 42 and today 7 of 123456"
    st_step "123456: Lagerstand 42, heute 7"
}

wine_usage() {
    echo "usage: $DEMO_NAME WINDOWS_BUILD_DIR LINUX_BUILD_DIR CASE [ARG...]" >&2
    echo "cases: $(declare -F | sed -n 's/^declare -f case_//p' | tr '\n' ' ')" >&2
    exit 2
}

wine_main() {
    [ "$#" -ge 3 ] || wine_usage
    ST_LINUX_BUILD=$2
    st_main "$1" "${@:3}"
}

# With PLENVARO_WINE_SHOTS set to a folder, a picture of the screen as it is now, named NAME.png.
wine_shot() {
    [ -n "${PLENVARO_WINE_SHOTS:-}" ] || return 0
    mkdir -p "$PLENVARO_WINE_SHOTS"
    sleep 0.5 # the last paint
    import -window root "$PLENVARO_WINE_SHOTS/$1.png" 2>/dev/null || st_step "no screenshot $1 (import failed)"
}
