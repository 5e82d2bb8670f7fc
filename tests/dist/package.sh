#!/usr/bin/env bash
# The installed tree and the Debian package, as `cmake --install` and CPack make them from a build.
# Usage: tests/dist/package.sh BUILD_DIR CASE
#   install_tree   every file in its place with its mode, the icons at their sizes, no path into the source
#   manual_pages   the pages (plenvaro's also in German) render without complaint and document what the
#                  programs' --help names
#   desktop_entry  desktop-file-validate passes, and what the entry names is installed
#   metainfo       appstreamcli validate passes, and what the metainfo names is installed
#   service        the systemd unit verifies, is hardened, and its command line runs the installed server
#   deb            the package's fields and files; the unpacked programs answer without a display
#   lintian        lintian finds neither an error nor a warning
# Each case installs or packs anew into a temporary folder of its own, removed at the end.
set -euo pipefail

usage() {
    echo "usage: $0 BUILD_DIR install_tree|manual_pages|desktop_entry|metainfo|service|deb|lintian" >&2
    exit 2
}
[ "$#" -eq 2 ] || usage
[ -f "$1/CMakeCache.txt" ] || { echo "$0: not a configured build folder: $1" >&2; exit 2; }
build=$(cd "$1" && pwd -P)
source_dir=$(cd "$(dirname "$0")/../.." && pwd -P)
case_name=$2

readonly app_id=org.plenvaro.Plenvaro
readonly icon_sizes=(16 24 32 48 64 128 256)
readonly unit=usr/lib/systemd/system/veldor-server.service

work=$(mktemp -d "${TMPDIR:-/tmp}/plenvaro-package.XXXXXX")
cd "$work" # nothing of the source or build folder around the programs
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

need() {
    command -v "$1" >/dev/null || { echo "$0: $1 not found (Debian package $2)" >&2; exit 1; }
}

# install_to DEST: the project as `cmake --install` puts it below DEST for the prefix /usr.
install_to() {
    if ! DESTDIR=$1 cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
        cat "$work/install.log" >&2
        echo "$0: cmake --install failed" >&2
        exit 1
    fi
}

# pack_to DIR: the Debian package, as CPack makes it from this build, into DIR; prints its path.
pack_to() {
    if ! cpack --config "$build/CPackConfig.cmake" -B "$1" >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log" >&2
        echo "$0: cpack failed" >&2
        exit 1
    fi
    local debs=("$1"/*.deb)
    if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
        echo "$0: cpack made no single .deb: ${debs[*]}" >&2
        exit 1
    fi
    echo "${debs[0]}"
}

# The files and links below a tree, each with its octal mode, by path.
listing() {
    (cd "$1" && find . -not -type d -printf '%m %P\n' | sort -k2)
}

expected_listing() {
    {
        echo "644 etc/default/veldor-server"
        echo "755 usr/bin/plenvaro"
        echo "755 usr/bin/veldor-server"
        echo "644 $unit"
        echo "644 usr/share/applications/$app_id.desktop"
        echo "644 usr/share/doc/plenvaro/changelog.gz"
        echo "644 usr/share/doc/plenvaro/copyright"
        local size
        for size in "${icon_sizes[@]}"; do
            echo "644 usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        done
        echo "644 usr/share/man/de/man1/plenvaro.1.gz"
        echo "644 usr/share/man/man1/plenvaro.1.gz"
        echo "644 usr/share/man/man1/veldor-server.1.gz"
        echo "644 usr/share/metainfo/$app_id.metainfo.xml"
        echo "644 usr/share/plenvaro/demo/kk_artikel.sql"
        echo "755 usr/share/plenvaro/demo/make-articles-db"
        echo "644 usr/share/plenvaro/demo/veldor-data.json"
    } | sort -k2
}

# WIDTHxHEIGHT from a PNG's header; nothing for a file that is no PNG.
png_size() {
    [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = 89504e470d0a1a0a ] || return 0
    local width height
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$1")
    echo "${width}x${height}"
}

# paths_into_build TREE TEXT_ONLY: the files below TREE that name the source or build folder, compressed
# ones read uncompressed; with TEXT_ONLY 1 binary files are skipped.
paths_into_build() {
    local tree=$1 text_only=$2 file
    local grep_args=(-rlF -e "$source_dir" -e "$build")
    [ "$text_only" = 1 ] && grep_args=(-I "${grep_args[@]}")
    grep "${grep_args[@]}" "$tree" || true
    while IFS= read -r -d '' file; do
        if zcat "$file" | grep -qF -e "$source_dir" -e "$build"; then
            echo "$file"
        fi
    done < <(find "$tree" -name '*.gz' -print0)
}

# run_without_display NAME PROGRAM ARG...: the program with no display to talk to; its output in
# $work/NAME.out and .err, its exit status in $status.
run_without_display() {
    local name=$1
    shift
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$work/$name.out" 2>"$work/$name.err" </dev/null ||
        status=$?
}

case_install_tree() {
    umask 022
    local dest=$work/root
    install_to "$dest"

    if ! diff <(expected_listing) <(listing "$dest") >"$work/diff"; then
        fail "installed files differ from the expected ones (< expected, > installed):"$'\n'"$(cat "$work/diff")"
    fi
    local folders
    folders=$(cd "$dest" && find . -mindepth 1 -type d ! -perm 755 -printf '%m %P\n')
    [ -z "$folders" ] || fail "folders not 755:"$'\n'"$folders"

    local size png
    for size in "${icon_sizes[@]}"; do
        png=$dest/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
        [ -f "$png" ] || continue
        [ "$(png_size "$png")" = "${size}x${size}" ] ||
            fail "$png is not a ${size}x${size} PNG: '$(png_size "$png")'"
    done

    local file
    while IFS= read -r -d '' file; do
        gzip -t "$file" 2>/dev/null || fail "not a sound gzip file: $file"
    done < <(find "$dest" -name '*.gz' -print0)

    local named
    named=$(paths_into_build "$dest" 1)
    [ -z "$named" ] || fail "installed text files naming the source or build folder:"$'\n'"$named"

    # The installed program runs with nothing of the build around.
    run_without_display version "$dest/usr/bin/plenvaro" --version
    if [ "$status" -ne 0 ] || [ ! -s "$work/version.out" ]; then
        fail "installed plenvaro --version: exit $status, output '$(cat "$work/version.out")'"
    fi
}

case_manual_pages() {
    need man man-db
    local dest=$work/root page warnings text option
    install_to "$dest"
    for page in man1/plenvaro man1/veldor-server de/man1/plenvaro; do
        # As lintian renders them.
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$dest/usr/share/man/$page.1.gz" 2>&1 >/dev/null) || fail "man cannot render $page.1: $warnings"
        [ -z "$warnings" ] || fail "man warns about $page.1:"$'\n'"$warnings"
    done

    # Every option veldor-server --help lists, and --help itself.
    text=$(zcat "$dest/usr/share/man/man1/veldor-server.1.gz")
    "$dest/usr/bin/veldor-server" --help >"$work/server-help" || fail "veldor-server --help failed"
    local options
    options=$(grep -oE '^ +--[a-z-]+' "$work/server-help" | tr -d ' ' || true)
    [ -n "$options" ] || fail "veldor-server --help lists no option"
    for option in $options --help; do
        grep -qF -- "${option//-/\\-}" <<<"$text" || fail "veldor-server.1 does not document $option"
    done

    # The options and variables plenvaro --help names, its data source and its settings store, in both
    # languages.
    run_without_display help "$dest/usr/bin/plenvaro" --help
    [ "$status" -eq 0 ] || fail "plenvaro --help exited $status"
    local words
    words=$(grep -oE -- '--[a-z-]+|\$[A-Z_]+' "$work/help.out" | tr -d '$' | sort -u || true)
    [ -n "$words" ] || fail "plenvaro --help names no option"
    for page in man1 de/man1; do
        text=$(zcat "$dest/usr/share/man/$page/plenvaro.1.gz")
        for option in $words tovi_net registry.sqlite3; do
            grep -qF -- "${option//-/\\-}" <<<"$text" || fail "$page/plenvaro.1 does not document $option"
        done
    done
}

case_desktop_entry() {
    need desktop-file-validate desktop-file-utils
    local dest=$work/root
    install_to "$dest"
    local entry=$dest/usr/share/applications/$app_id.desktop
    [ -f "$entry" ] || { fail "no desktop entry $entry"; return; }

    local out
    if ! out=$(desktop-file-validate "$entry" 2>&1); then
        fail "desktop-file-validate rejects the entry:"$'\n'"$out"
    elif [ -n "$out" ]; then
        fail "desktop-file-validate complains:"$'\n'"$out"
    fi

    key() { sed -n "s/^$1=//p" "$entry"; }
    [ "$(key Name)" = Plenvaro ] || fail "Name is '$(key Name)'"
    [ "$(key Comment)" = "Lagerstandsabfrage aktuelle Bonusartikel" ] || fail "Comment is '$(key Comment)'"
    [ "$(key Categories)" = "Office;" ] || fail "Categories is '$(key Categories)'"
    local program icon size
    program=$(key Exec)
    program=${program%% *}
    [ -x "$dest/usr/bin/$program" ] || fail "Exec names '$program', which is not installed in usr/bin"
    icon=$(key Icon)
    [ "$icon" = "$app_id" ] || fail "Icon is '$icon', not the entry's own name $app_id"
    for size in "${icon_sizes[@]}"; do
        [ -f "$dest/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] ||
            fail "no ${size}x${size} icon '$icon' in the hicolor theme"
    done
}

case_metainfo() {
    need appstreamcli appstream
    local dest=$work/root
    install_to "$dest"
    local metainfo=$dest/usr/share/metainfo/$app_id.metainfo.xml
    [ -f "$metainfo" ] || { fail "no metainfo $metainfo"; return; }

    local out
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate:"$'\n'"$out"
    # The tree as a whole: the metainfo with the desktop entry it launches.
    out=$(appstreamcli validate-tree --no-net "$dest" 2>&1) || fail "appstreamcli validate-tree:"$'\n'"$out"

    local launchable binary release version
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
    if [ -z "$launchable" ] || [ ! -f "$dest/usr/share/applications/$launchable" ]; then
        fail "the launchable '$launchable' is not an installed desktop entry"
    fi
    while IFS= read -r binary; do
        [ -x "$dest/usr/bin/$binary" ] || fail "the metainfo provides '$binary', which is not installed"
    done < <(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")
    local tag
    for tag in '<summary>' '<summary xml:lang="en">' '<p>' '<p xml:lang="en">' \
        '<content_rating type="oars-1.1"'; do
        grep -qF "$tag" "$metainfo" || fail "the metainfo has no $tag (German and English texts, content rating)"
    done
    release=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -n1)
    run_without_display version "$dest/usr/bin/plenvaro" --version
    version=$(awk '{ print $NF }' "$work/version.out")
    if [ -z "$release" ] || [ "$release" != "$version" ]; then
        fail "the latest release is '$release', the program says it is '$version'"
    fi
}

case_service() {
    need systemd-analyze systemd
    local dest=$work/root
    install_to "$dest"
    [ -f "$dest/$unit" ] || { fail "no unit $unit"; return; }

    local out
    if ! out=$(systemd-analyze verify --man=no --recursive-errors=no --root="$dest" "/$unit" 2>&1); then
        fail "systemd-analyze verify rejects the unit:"$'\n'"$out"
    elif [ -n "$out" ]; then
        fail "systemd-analyze verify complains:"$'\n'"$out"
    fi
    # Exposure 2.0 of 10 at most ("OK"); the threshold is in tenths.
    out=$(systemd-analyze security --offline=true --threshold=20 --root="$dest" "$dest/$unit" 2>&1) ||
        fail "the unit is less hardened than it was: $(tail -n1 <<<"$out")"
    grep -qx 'DynamicUser=yes' "$dest/$unit" || grep -q '^User=' "$dest/$unit" ||
        fail "the unit runs as root"
    [ ! -e "$dest/etc/systemd/system" ] || fail "the install enables units: $(ls -R "$dest/etc/systemd/system")"

    local settings
    settings=$(sed -n 's/^EnvironmentFile=-\{0,1\}//p' "$dest/$unit")
    [ "$settings" = /etc/default/veldor-server ] || fail "EnvironmentFile is '$settings'"
    [ -f "$dest$settings" ] || { fail "the settings file $settings is not installed"; return; }

    # The unit's own defaults are the settings file's, so a site that deletes a line gets what it read.
    local line name value
    while IFS= read -r line; do
        name=${line%%=*}
        value=${line#*=}
        [ "$(sed -n "s/^$name=//p" "$dest$settings")" = "$value" ] ||
            fail "the unit's default $name=$value is not the settings file's"
    done < <(sed -n 's/^Environment=//p' "$dest/$unit")

    # The command line as systemd runs it with the shipped settings, but the log in the test's folder and
    # a free port.
    local VELDOR_DATA VELDOR_LOG VELDOR_OPTIONS
    # shellcheck disable=SC1090
    source "$dest$settings"
    [ -f "$dest$VELDOR_DATA" ] || fail "the default data file $VELDOR_DATA is not installed"
    [ "$(dirname "$VELDOR_LOG")" = "/var/log/$(sed -n 's/^LogsDirectory=//p' "$dest/$unit")" ] ||
        fail "the default log $VELDOR_LOG is outside the folder the unit lets the service write"
    local command
    command=$(sed -n 's/^ExecStart=//p' "$dest/$unit")
    # shellcheck disable=SC2016 # the unit's own words, not this shell's
    command=${command//'${VELDOR_DATA}'/$dest$VELDOR_DATA}
    # shellcheck disable=SC2016
    command=${command//'${VELDOR_LOG}'/$work/server.log}
    # shellcheck disable=SC2016
    command=${command//'$VELDOR_OPTIONS'/$VELDOR_OPTIONS --port 0}
    [[ $command != *'$'* ]] || { fail "ExecStart uses a variable this test does not know: $command"; return; }
    local argv
    read -ra argv <<<"$command"
    [ "${argv[0]}" = /usr/bin/veldor-server ] || fail "ExecStart runs ${argv[0]}"
    argv[0]=$dest${argv[0]}

    "${argv[@]}" >"$work/server.out" 2>"$work/server.err" &
    server_pid=$!
    local tries=0
    # Waits for the first line, as long as the server lives, 30 s at most.
    until grep -q '^listening on ' "$work/server.out" || ! kill -0 "$server_pid" 2>/dev/null ||
        [ "$tries" -ge 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if ! grep -q '^listening on 127\.0\.0\.1:' "$work/server.out"; then
        fail "the server did not start on 127.0.0.1 as the unit runs it:"$'\n'"$(cat "$work/server.err")"
        return
    fi
    kill -TERM "$server_pid"
    local status=0
    wait "$server_pid" || status=$?
    server_pid=
    [ "$status" -eq 0 ] || fail "the server ended with $status on SIGTERM"
    if ! grep -q 'listening on' "$work/server.log" || ! grep -q 'stopped' "$work/server.log"; then
        fail "the log file does not tell the start and the stop:"$'\n'"$(cat "$work/server.log")"
    fi
}

case_deb() {
    need dpkg-deb dpkg
    need dpkg-shlibdeps dpkg-dev
    need readelf binutils
    # Whoever packs, the package's folders and files get the modes a package needs.
    umask 077
    local deb
    deb=$(pack_to "$work/out")
    umask 022

    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = plenvaro ] || fail "Package is '$(field Package)'"
    local dependency depends
    depends=$(field Depends)
    # Loaded at run time, so named by hand; and two that only dpkg-shlibdeps finds in the programs.
    for dependency in fonts-liberation2 qt6-translations-l10n 'libsqliteodbc | odbc-postgresql' \
        libqt6widgets6 libodbc2; do
        # One element of the list, with or without a version.
        grep -qE "(^|, )${dependency//|/[|]}( \(|,|$)" <<<"$depends" ||
            fail "Depends lacks '$dependency': $depends"
    done
    local name
    for name in Maintainer Section Priority; do
        [ -n "$(field "$name")" ] || fail "the package has no $name"
    done
    [ "$(field Description | wc -l)" -ge 3 ] || fail "the package has no long description"

    dpkg-deb -e "$deb" "$work/control"
    grep -qx /etc/default/veldor-server "$work/control/conffiles" ||
        fail "/etc/default/veldor-server is not a conffile"

    local root=$work/root
    dpkg-deb -x "$deb" "$root"
    if ! diff <(expected_listing) <(listing "$root") >"$work/diff"; then
        fail "packed files differ from the expected ones (< expected, > packed):"$'\n'"$(cat "$work/diff")"
    fi
    local odd
    odd=$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" || $2 != "root/root"')
    [ -z "$odd" ] || fail "folders not 755 or entries not owned by root:"$'\n'"$odd"
    (cd "$root" && md5sum --check --quiet "$work/control/md5sums") >"$work/md5.log" 2>&1 ||
        fail "md5sums do not match the files:"$'\n'"$(cat "$work/md5.log")"

    local program
    for program in plenvaro veldor-server; do
        ! readelf -S "$root/usr/bin/$program" | grep -q '\.debug_' || fail "$program is not stripped"
    done
    local named
    named=$(paths_into_build "$root" 0)
    [ -z "$named" ] || fail "packed files naming the source or build folder:"$'\n'"$named"

    # Asked what they are, the unpacked programs answer on standard output and need no display.
    local request
    for request in "plenvaro --version" "plenvaro --help" "veldor-server --help"; do
        read -r program option <<<"$request"
        run_without_display answer "$root/usr/bin/$program" "$option"
        [ "$status" -eq 0 ] || fail "$request exited $status:"$'\n'"$(cat "$work/answer.err")"
        [ -s "$work/answer.out" ] || fail "$request printed nothing on standard output"
    done
    run_without_display version "$root/usr/bin/plenvaro" --version
    [ "$(awk '{ print $NF }' "$work/version.out")" = "$(field Version)" ] ||
        fail "the package is version $(field Version), the program says '$(cat "$work/version.out")'"
}

case_lintian() {
    need lintian lintian
    need dpkg-shlibdeps dpkg-dev
    umask 022
    local deb status=0
    deb=$(pack_to "$work/out")
    # Warnings fail the test too; one that is accepted is overridden in the package, with the reason.
    lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.out" 2>&1 || status=$?
    cat "$work/lintian.out"
    [ "$status" -eq 0 ] || fail "lintian found errors or warnings (exit $status)"
}

case "$case_name" in
install_tree | manual_pages | desktop_entry | metainfo | service | deb | lintian) "case_$case_name" ;;
*) usage ;;
esac

if [ "$failures" -gt 0 ]; then
    echo "$case_name: $failures failure(s)" >&2
    exit 1
fi
echo "$case_name: passed"
