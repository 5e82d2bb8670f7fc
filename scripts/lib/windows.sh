# The Windows program: Qt for Windows (a ready prefix, the cache, or built here), the cross-build with
# mingw-w64, its tests under Wine and the MSI. Used by scripts/windows, scripts/test and scripts/demo.
# shellcheck shell=bash

WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WINDOWS_PREFIX=
# What building and testing for Windows needs beyond the Linux build.
PLENVARO_WINDOWS_PACKAGES=(wine64 fonts-wine g++-mingw-w64-x86-64-posix ninja-build xz-utils dpkg-dev
    wixl msitools xvfb xauth openbox xdotool x11-utils x11-xkb-utils imagemagick)
QT_WINDOWS_VERSION=6.4.2

# A private Wine: no debug noise, no prompts for Mono or Gecko, Windows-1252 as the ANSI code page
# (Wine takes it from the locale). DISPLAY is the caller's: empty for tests without windows.
with_wine() {
    env WINEPREFIX="$WINDOWS_PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=" LC_ALL=C "$@"
}

windows_cleanup() {
    [ -n "$WINDOWS_PREFIX" ] || return 0
    with_wine "$WINESERVER" -k >/dev/null 2>&1 || true
    with_wine "$WINESERVER" -w >/dev/null 2>&1 || true # gone before its files are
    rm -rf "$WINDOWS_PREFIX"
    WINDOWS_PREFIX=
}

# The folder Qt for Windows is kept in between runs, named after the recipe that builds it, so a
# changed recipe builds anew.
windows_qt_cache() {
    local recipe_id
    recipe_id=$(cat "$PLENVARO_ROOT/scripts/lib/build-qt-mingw.sh" | sha256sum | cut -c1-12)
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/plenvaro/qt-$QT_WINDOWS_VERSION-mingw-w64-x86_64-$recipe_id"
}

# A ready archive of Qt for Windows built by this very recipe, if this machine has one: the archive
# named by PLENVARO_QT_WINDOWS_ARCHIVE, or one in a shared/toolchains folder beside the checkout or beside
# a folder above it, whose recipe is ours.
windows_qt_archive() {
    local archive=${PLENVARO_QT_WINDOWS_ARCHIVE:-} dir shared
    if [ -z "$archive" ]; then
        dir=$PLENVARO_ROOT
        while [ "$dir" != / ]; do
            dir=$(dirname "$dir")
            shared=$dir/shared/toolchains
            if [ -f "$shared/qt-$QT_WINDOWS_VERSION-mingw-w64-x86_64.tar.xz" ] &&
                cmp -s "$shared/build-qt-mingw.sh" "$PLENVARO_ROOT/scripts/lib/build-qt-mingw.sh"; then
                archive=$shared/qt-$QT_WINDOWS_VERSION-mingw-w64-x86_64.tar.xz
                break
            fi
        done
        [ -n "$archive" ] || return 1
    fi
    [ -f "$archive" ] || return 1
    if [ -f "$archive.sha256" ]; then
        [ "$(sha256sum <"$archive" | cut -d' ' -f1)" = "$(cut -d' ' -f1 <"$archive.sha256")" ] || {
            echo "scripts/windows: $archive does not match its checksum; not used" >&2
            return 1
        }
    fi
    echo "$archive"
}

# Prints the Qt for Windows prefix to use: PLENVARO_QT_WINDOWS, else the cache, filled from a ready
# archive or, failing that, by building Qt from Debian's source (about 75 minutes on 2 cores).
windows_qt_prefix() {
    local prefix cache archive top
    if [ -n "${PLENVARO_QT_WINDOWS:-}" ]; then
        prefix=$(realpath "$PLENVARO_QT_WINDOWS")
    else
        cache=$(windows_qt_cache)
        prefix=$cache
        if [ ! -f "$cache/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
            rm -rf "$cache" "$cache.partial"
            mkdir -p "$cache.partial"
            if archive=$(windows_qt_archive); then
                echo "Unpacking Qt for Windows from $archive" >&2
                tar -C "$cache.partial" -xJf "$archive"
                top=$(find "$cache.partial" -mindepth 2 -maxdepth 3 -path '*/lib/cmake' -printf '%h\n' | head -n 1)
                top=${top%/lib}
                [ -n "$top" ] || {
                    echo "scripts/windows: $archive holds no Qt prefix" >&2
                    return 1
                }
                mv "$top" "$cache"
                rm -rf "$cache.partial"
            else
                echo "Building Qt $QT_WINDOWS_VERSION for Windows into $cache (about 75 minutes)" >&2
                rmdir "$cache.partial"
                "$PLENVARO_ROOT/scripts/lib/build-qt-mingw.sh" "$cache.partial" "$cache.work" >&2
                mv "$cache.partial" "$cache"
                rm -rf "$cache.work"
            fi
        fi
    fi
    [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] || {
        echo "scripts/windows: no Qt for Windows in $prefix" >&2
        return 1
    }
    echo "$prefix"
}

# GoogleTest for Windows, built from Debian's source into $1 (once).
windows_gtest() {
    local dir=$1 toolchain=$PLENVARO_ROOT/cmake/mingw-w64.cmake
    if [ ! -f "$dir/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
        cmake -S /usr/src/googletest -B "$dir/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$dir/install" >/dev/null
        cmake --build "$dir/build" -j "$(nproc)" >/dev/null
        cmake --install "$dir/build" >/dev/null
    fi
    echo "$dir/install/lib/cmake/GTest"
}

# build_windows BUILD_DIR [LINUX_BUILD_DIR]: the program, its tests and the MSI for Windows into
# BUILD_DIR/build; the MSI lands in BUILD_DIR. The tests that need veldor-server or the demo database
# take them from LINUX_BUILD_DIR (the Linux build of the same source).
build_windows() {
    local dir=$1 linux_build=${2:-} qt gtest
    qt=$(windows_qt_prefix)
    gtest=$(windows_gtest "$dir/_googletest")
    cmake -S "$PLENVARO_ROOT" -B "$dir/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PLENVARO_ROOT/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLENVARO_WERROR=ON -DGTest_DIR="$gtest" \
        -DPLENVARO_LINUX_BUILD_DIR="$linux_build" >/dev/null
    cmake --build "$dir/build" -j "$(nproc)"
    cmake --build "$dir/build" --target msi
}

# The MSI build_windows made in BUILD_DIR.
windows_msi() {
    find "$1/build/dist/windows" -maxdepth 1 -name '*.msi' | head -n 1
}

# Runs the Windows build's tests (through Wine, the toolchain's emulator) in a fresh Wine prefix.
run_windows_tests() {
    local dir=$1 started=$SECONDS
    WINDOWS_PREFIX=$(mktemp -d)
    trap windows_cleanup EXIT
    with_wine "$WINE" wineboot -i </dev/null >/dev/null 2>&1
    # Tests copy the booted prefix: its registry is on disk once Wine's services have ended.
    with_wine "$WINESERVER" -w >/dev/null 2>&1
    # msvcrt ends lines with CR LF on stdout.
    local rc=0
    with_wine ctest --test-dir "$dir/build" --output-on-failure -j "$(nproc)" </dev/null 2>&1 | tr -d '\r' || rc=$?
    windows_cleanup
    trap - EXIT
    echo "Windows tests: done in $((SECONDS - started)) s"
    return "$rc"
}
