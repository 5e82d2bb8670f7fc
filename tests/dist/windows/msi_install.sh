#!/usr/bin/env bash
# The Windows installer as an administrator uses it, in a Wine prefix of its own:
#   msi_install.sh BUILD_DIR VERSION WINE
# BUILD_DIR is the Windows build with its MSI (target `msi`), VERSION the program's version, WINE the
# wine64 loader. Installs BUILD_DIR/dist/windows/plenvaro-VERSION-x64.msi silently and checks the files
# under C:\Program Files\Plenvaro (the staged ones, byte for byte), the Start-menu shortcut, the uninstall
# entry and the installed program's --version; uninstalls it silently and checks that nothing is left.
# Then the same product one version newer (the same installer source, packed here) must replace an
# installed copy, the older one must refuse to replace the newer, and the newer one uninstalls cleanly.
# The prefix is a copy of the booted one WINEPREFIX names, if it is ready on disk, else booted here.
set -Eeuo pipefail
trap 'echo "msi_install: FAILED: a command failed at line $LINENO" >&2' ERR

[ $# -eq 3 ] || { echo "usage: msi_install.sh BUILD_DIR VERSION WINE" >&2; exit 2; }
build=$(realpath "$1")
version=$2
wine_loader=$3
wineserver=$(dirname "$wine_loader")/wineserver
msi=$build/dist/windows/plenvaro-$version-x64.msi
stage=$build/stage
wxs=$build/dist/windows/msi/plenvaro.wxs

fail() {
    echo "msi_install: FAILED: $*" >&2
    exit 1
}
step() { echo "msi_install: $*"; }

[ -f "$msi" ] || fail "no MSI at $msi; build it first: cmake --build $build --target msi"
[ -f "$stage/plenvaro.exe" ] || fail "no staged installation in $stage (target stage)"
[ -x "$wineserver" ] || fail "no wineserver beside $wine_loader"
for tool in wixl strings; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done

work=$(mktemp -d)
prefix=$work/prefix
source_prefix=${WINEPREFIX:-}
export WINEPREFIX=$prefix
cleanup() {
    if [ -d "$prefix" ]; then
        "$wineserver" -k >/dev/null 2>&1 || true
        "$wineserver" -w >/dev/null 2>&1 || true # gone before its files are
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# No display, no Mono or Gecko to offer, and no desktop entries on the host for the shortcut.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" LC_ALL=C

wine() { "$wine_loader" "$@" </dev/null; }
# A Wine command's output without the CR of its CR LF line ends.
wine_out() { wine "$@" 2>/dev/null | tr -d '\r'; }
windows_path() { wine_out winepath -w "$1"; }
unix_path() { wine_out winepath -u "$1"; }

# A booted prefix is on disk only once its wine server has saved it: when the server has ended, or at
# its first periodic save. A copy of one whose registry is not there yet would be no booted prefix.
started=$SECONDS
if [ -n "$source_prefix" ] && grep -qs '"ProgramFilesDir"' "$source_prefix/system.reg" &&
    cp -a "$source_prefix" "$prefix" 2>/dev/null; then
    step "copied the booted prefix $source_prefix ($((SECONDS - started)) s)"
else
    rm -rf "$prefix"
    wine wineboot -i >/dev/null 2>&1 || fail "wineboot -i failed"
    step "booted a prefix ($((SECONDS - started)) s)"
fi

# The registry as the boot left it, saved.
"$wineserver" -w

programs_user=$(unix_path "$(wine_out cmd /c 'echo %APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs")
programs_common=$(unix_path "$(wine_out cmd /c 'echo %ProgramData%')\\Microsoft\\Windows\\Start Menu\\Programs")
install_dir=$(unix_path 'C:\Program Files\Plenvaro')
drive_c=$(unix_path "C:\\")
if [ ! -d "$programs_user" ] || [ ! -d "$programs_common" ]; then
    fail "the prefix has no Start menu folders"
fi
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# msiexec ACTION MSI NAME: runs it silently with a verbose log; prints the log's end if it fails.
msiexec() {
    local log=$work/$3.log status=0
    wine msiexec "$1" "$(windows_path "$2")" /qn /l*v "$(windows_path "$log")" >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 0 ] && [ -f "$log" ]; then
        iconv -f UTF-16LE -t UTF-8 "$log" 2>/dev/null | tr -d '\r' | tail -n 20 >&2 || tail -n 20 "$log" >&2
    fi
    return "$status"
}

# The values of the uninstall entries named Plenvaro, one "KEY NAME VALUE" line each.
uninstall_entries() {
    wine_out reg query "$uninstall_root" /s | awk '
        /^HKEY_/ { key = $0; next }
        match($0, /^    [^ ].*    REG_[A-Z_]+    /) {
            line = substr($0, 5); split(line, parts, /    /)
            value = substr(line, length(parts[1]) + length(parts[2]) + 9)
            values[key, parts[1]] = value; keys[key] = 1
        }
        END { for (k in keys) if (values[k, "DisplayName"] == "Plenvaro")
                  for (kv in values) { split(kv, p, SUBSEP); if (p[1] == k) print k "\t" p[2] "\t" values[kv] } }'
}
entry_value() { awk -F'\t' -v name="$2" '$2 == name { print $3 }' <<<"$1"; }

# check_installed PRODUCT_VERSION
check_installed() {
    local expected_version=$1 entries keys lnk texts
    # The files: exactly the staged ones, byte for byte.
    [ -d "$install_dir" ] || fail "C:\\Program Files\\Plenvaro was not created"
    diff <(cd "$stage" && find . -type f | sort) <(cd "$install_dir" && find . -type f | sort) >&2 ||
        fail "C:\\Program Files\\Plenvaro does not hold the staged files (< staged, > installed)"
    while IFS= read -r file; do
        cmp -s "$stage/$file" "$install_dir/$file" || fail "installed $file differs from the staged one"
    done < <(cd "$stage" && find . -type f)
    for file in plenvaro.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll \
        libwinpthread-1.dll qt.conf platforms/qwindows.dll styles/qwindowsvistastyle.dll \
        translations/qtbase_de.qm; do
        [ -f "$install_dir/$file" ] || fail "$file is not installed"
    done
    grep -q '^Translations *= *translations' "$install_dir/qt.conf" || fail "qt.conf names no translations folder"

    # The Start-menu shortcut: the all-users menu on Windows; Wine's installer puts a per-machine
    # product's shortcut in the user's menu.
    lnk=
    for folder in "$programs_common" "$programs_user"; do
        if [ -f "$folder/Plenvaro.lnk" ]; then
            [ -z "$lnk" ] || fail "Plenvaro.lnk is in both Start menus"
            lnk=$folder/Plenvaro.lnk
        fi
    done
    [ -n "$lnk" ] || fail "no Start-menu shortcut Plenvaro.lnk"
    texts=$(strings -el "$lnk")
    grep -qi '^C:\\Program Files\\Plenvaro\\$' <<<"$texts" ||
        fail "the shortcut does not start in C:\\Program Files\\Plenvaro"
    grep -qi 'plenvaro\.exe' <<<"$texts" || fail "the shortcut does not name plenvaro.exe"
    grep -qi 'plenvaro\.ico$' <<<"$texts" || fail "the shortcut has not the program's icon"

    # The uninstall entry.
    entries=$(uninstall_entries)
    keys=$(cut -f1 <<<"$entries" | sort -u | grep -c . || true)
    [ "$keys" -eq 1 ] || fail "$keys uninstall entries named Plenvaro instead of one"
    [ "$(entry_value "$entries" DisplayVersion)" = "$expected_version" ] ||
        fail "the uninstall entry's version is '$(entry_value "$entries" DisplayVersion)', not $expected_version"
    [ "$(entry_value "$entries" Publisher)" = "Plenvaro developers" ] ||
        fail "the uninstall entry's publisher is '$(entry_value "$entries" Publisher)'"
    [ "$(entry_value "$entries" DisplayIcon)" = 'C:\Program Files\Plenvaro\plenvaro.exe,0' ] ||
        fail "the uninstall entry's icon is '$(entry_value "$entries" DisplayIcon)'"
    entry_value "$entries" UninstallString | grep -qi '^MsiExec.exe /X{' ||
        fail "the uninstall entry does not uninstall with msiexec"

    # The installed program answers without a display (the newer package holds the same program); its
    # file says what it is.
    local answer
    answer=$(wine_out 'C:\Program Files\Plenvaro\plenvaro.exe' --version) ||
        fail "the installed plenvaro.exe --version failed"
    [ "$answer" = "plenvaro $version" ] || fail "the installed plenvaro.exe --version said '$answer'"
    texts=$(strings -el "$install_dir/plenvaro.exe")
    grep -qx 'Lagerstandsabfrage aktuelle Bonusartikel' <<<"$texts" || fail "plenvaro.exe has no file description"
}

# What in the prefix names the program: files on drive C: and, as last saved, registry lines (key lines
# without their time stamps). A copied prefix may hold some from other tests of the program.
traces() {
    (cd "$drive_c" && find . -iname '*plenvaro*' | sed 's/^/file: /')
    { grep -hi plenvaro "$prefix"/*.reg 2>/dev/null || true; } | sed 's/^\(\[.*\]\) [0-9]*$/\1/; s/^/registry: /'
}
# What names the program now and did not before it was installed.
new_traces() { comm -13 <(sort -u <<<"$traces_before") <(traces | sort -u); }

check_nothing_left() {
    local left
    [ ! -e "$install_dir" ] || fail "C:\\Program Files\\Plenvaro is left: $(cd "$install_dir" && find . | head -n 5)"
    if [ -e "$programs_user/Plenvaro.lnk" ] || [ -e "$programs_common/Plenvaro.lnk" ]; then
        fail "the Start-menu shortcut is left"
    fi
    [ -z "$(uninstall_entries)" ] || fail "the uninstall entry is left"
    left=$(new_traces | grep '^file: ' | head -n 5 || true)
    [ -z "$left" ] || fail "files are left: $left"
}

traces_before=$(traces)
step "installing $msi"
msiexec /i "$msi" install || fail "msiexec /i $(basename "$msi") /qn failed"
check_installed "$version"
step "installed: the files, the Start-menu shortcut, the uninstall entry and plenvaro.exe --version ($version)"
msiexec /x "$msi" uninstall || fail "msiexec /x $(basename "$msi") /qn failed"
check_nothing_left
step "uninstalled: nothing left"

# One version newer: the same source with the next patch version and that version's own product code.
newer=${version%.*}.$((${version##*.} + 1))
newer_msi=$work/plenvaro-$newer-x64.msi
product_code=$(tr '[:lower:]' '[:upper:]' </proc/sys/kernel/random/uuid)
sed -e "s/Version=\"$version\"/Version=\"$newer\"/" \
    -e "s/<Product Id=\"[^\"]*\"/<Product Id=\"$product_code\"/" "$wxs" >"$work/newer.wxs"
grep -q "Version=\"$newer\"" "$work/newer.wxs" || fail "cannot make version $newer of $wxs"
(cd "$build" && wixl -a x64 -I "$build/dist/windows/msi" -o "$newer_msi" "$work/newer.wxs") ||
    fail "wixl cannot pack version $newer"
msiexec /i "$msi" install-again || fail "msiexec /i $(basename "$msi") /qn failed the second time"
msiexec /i "$newer_msi" upgrade || fail "msiexec /i $(basename "$newer_msi") /qn failed"
check_installed "$newer"
step "version $newer replaced version $version"
if msiexec /i "$msi" downgrade 2>/dev/null; then
    fail "version $version was installed over version $newer"
fi
check_installed "$newer"
step "version $version refused to replace version $newer"
msiexec /x "$newer_msi" uninstall-newer || fail "msiexec /x $(basename "$newer_msi") /qn failed"
check_nothing_left

# The registry, once the wine server has saved it, names the program nowhere it did not before.
"$wineserver" -w
left=$(new_traces | head -n 5)
[ -z "$left" ] || fail "the uninstalled program left: $left"
step "uninstalled version $newer: nothing left, in the files or the registry"
echo "msi_install: PASSED"
